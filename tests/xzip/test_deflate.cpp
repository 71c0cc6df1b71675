// Deflating files in pieces on several threads: the joined stream must be one
// standard deflate stream of exactly the file's bytes.
#include "deflate.h"

#include "zipreader.h"

#include <zlib.h>

#include <random>

using xzip::DeflatedFile;
using xzip::DeflateOptions;

namespace {

// Text with long repeats, short repeats and stretches that do not compress,
// so that pieces end on every kind of block and at every bit position.
QByteArray mixedData(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    const char *words[] = {"concert\t", "market ", "2026-05-01\t", "\r\n", "theatre ", "\"quoted\" "};
    QByteArray out;
    while (size_t(out.size()) < size) {
        switch (rng() % 4) {
        case 0: // a stretch of random bytes
            for (int i = 0, n = int(rng() % 3000); i < n; ++i)
                out.append(char(rng()));
            break;
        case 1: // a copy of something earlier
            if (!out.isEmpty()) {
                const qsizetype from = qsizetype(rng() % out.size());
                out.append(out.mid(from, qsizetype(rng() % 20000)));
            }
            break;
        default:
            for (int i = 0, n = int(rng() % 400); i < n; ++i)
                out.append(words[rng() % std::size(words)]);
        }
    }
    out.truncate(qsizetype(size));
    return out;
}

// Inflates a raw deflate stream; empty and `ok` false unless the stream is
// complete and nothing follows it.
QByteArray inflateRaw(const std::vector<unsigned char> &stream, size_t expected, bool &ok)
{
    QByteArray out(qsizetype(expected + 1), '\0');
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<unsigned char *>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = reinterpret_cast<unsigned char *>(out.data());
    z.avail_out = uInt(out.size());
    ok = inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_in == 0;
    out.truncate(qsizetype(z.total_out));
    inflateEnd(&z);
    return out;
}

class DeflateTest : public ::testing::Test {
protected:
    std::string write(const QString &name, const QByteArray &data)
    {
        writeBytes(dir_.filePath(name), data);
        return dir_.filePath(name).toStdString();
    }
    QTemporaryDir dir_;
};

TEST_F(DeflateTest, PiecesOfSeveralFilesJoinIntoOneStreamEach)
{
    const QByteArray big = mixedData(3'000'000, 1), small = mixedData(70'000, 2);
    const std::vector<std::string> paths = {write("big", big), write("empty", {}), write("small", small)};
    const QByteArray *expected[] = {&big, nullptr, &small};
    for (int level : {1, 6, 9}) {
        for (unsigned threads : {1u, 3u}) {
            SCOPED_TRACE(testing::Message() << "level " << level << ", " << threads << " threads");
            std::vector<DeflatedFile> out;
            // 64 KiB pieces: dozens of joins in the big file.
            ASSERT_TRUE(xzip::deflateFiles(paths, DeflateOptions{level, 64 << 10, threads, {}}, out));
            ASSERT_EQ(out.size(), 3u);
            for (size_t i = 0; i < 3; ++i) {
                const QByteArray want = expected[i] ? *expected[i] : QByteArray();
                bool ok = false;
                EXPECT_EQ(inflateRaw(out[i].data, size_t(want.size()), ok), want) << i;
                EXPECT_TRUE(ok) << i;
                EXPECT_EQ(out[i].size, uint64_t(want.size()));
                EXPECT_EQ(out[i].crc, crc32(0, reinterpret_cast<const Bytef *>(want.constData()), uInt(want.size())));
            }
        }
    }
}

TEST_F(DeflateTest, FileThatCannotBeReadFailsTheWholeCall)
{
    const std::string good = write("good", mixedData(10'000, 3));
    std::vector<DeflatedFile> out;
    EXPECT_FALSE(xzip::deflateFiles({good, dir_.filePath("missing").toStdString()}, {}, out));
    EXPECT_FALSE(xzip::deflateFiles({good, dir_.path().toStdString()}, {}, out)); // a folder
    EXPECT_FALSE(xzip::deflateFiles({good}, DeflateOptions{10, 1 << 20, 0, {}}, out));
    EXPECT_TRUE(xzip::deflateFiles({good}, {}, out));
}

// Followed, the work is told how far it is and gives the same streams; told
// to stop, it stops and says so.
TEST_F(DeflateTest, ProgressFollowsTheWorkAndMayStopIt)
{
    const std::vector<std::string> paths = {write("a", mixedData(3'000'000, 5)), write("b", mixedData(40'000, 6))};
    std::vector<DeflatedFile> plain, followed;
    ASSERT_TRUE(xzip::deflateFiles(paths, DeflateOptions{6, 64 << 10, 3, {}}, plain));

    std::vector<double> told;
    DeflateOptions options{6, 64 << 10, 3, {}};
    options.progress = [&told](double done) {
        told.push_back(done);
        return true;
    };
    bool stopped = true;
    ASSERT_TRUE(xzip::deflateFiles(paths, options, followed, &stopped));
    EXPECT_FALSE(stopped);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.front(), 0.0);
    for (size_t i = 1; i < told.size(); ++i)
        EXPECT_GE(told[i], told[i - 1]);
    EXPECT_LE(told.back(), 1.0);
    ASSERT_EQ(followed.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(followed[i].data, plain[i].data) << i;
        EXPECT_EQ(followed[i].crc, plain[i].crc) << i;
    }

    // Stopped while it works: a file big enough to keep the workers busy
    // for longer than the first look at them.
    const std::vector<std::string> big = {write("c", mixedData(16'000'000, 7))};
    options.level = 9;
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        int calls = 0;
        options.threads = threads;
        options.progress = [&calls](double) { return ++calls < 2; };
        std::vector<DeflatedFile> out;
        EXPECT_FALSE(xzip::deflateFiles(big, options, out, &stopped));
        EXPECT_TRUE(stopped);
        EXPECT_EQ(calls, 2); // not asked again once it said stop
    }
    options.progress = [](double) { return false; };
    std::vector<DeflatedFile> out;
    EXPECT_FALSE(xzip::deflateFiles(paths, options, out, &stopped));
    EXPECT_TRUE(stopped);
}

} // namespace
