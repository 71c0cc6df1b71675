// Deflating files in pieces on several threads: the joined stream must be one
// standard deflate stream of exactly the file's bytes.
#include "deflate.h"

#include "zipreader.h"

#include <zlib.h>

#include <cmath>
#include <random>

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

struct DeflatedFile {
    std::vector<unsigned char> data;
    uint64_t size = 0;
    uint32_t crc = 0;
};

// Reads every file's stream from `stream` in turn; false when a read fails.
bool drain(xzip::DeflateStream &stream, size_t files, std::vector<DeflatedFile> &out)
{
    out.assign(files, DeflatedFile{});
    for (size_t f = 0; f < files; ++f) {
        for (;;) {
            const unsigned char *data = nullptr;
            size_t length = 0;
            if (!stream.read(f, data, length))
                return false;
            if (length == 0)
                break;
            out[f].data.insert(out[f].data.end(), data, data + length);
        }
        if (!stream.finished(f))
            return false;
        out[f].size = stream.size(f);
        out[f].crc = stream.crc(f);
    }
    return true;
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
    // Level 8, and 8 where a probe says it pays and 7 elsewhere, the probe
    // deciding either way.
    struct Levels {
        int level, cheaper;
        double gain;
    };
    for (const Levels levels : {Levels{1, 0, 0}, Levels{8, 0, 0}, Levels{8, 7, 0.0}, Levels{8, 7, 2.0}}) {
        for (unsigned threads : {1u, 3u}) {
            SCOPED_TRACE(testing::Message() << "level " << levels.level << "/" << levels.cheaper << " gain "
                                            << levels.gain << ", " << threads << " threads");
            // 64 KiB pieces: dozens of joins in the big file.
            DeflateOptions options{levels.level, levels.cheaper, levels.gain, 64 << 10, threads, {}};
            xzip::DeflateStream stream(paths, options);
            ASSERT_TRUE(stream.ok());
            std::vector<DeflatedFile> out;
            ASSERT_TRUE(drain(stream, 3, out));
            for (size_t i = 0; i < 3; ++i) {
                const QByteArray want = expected[i] ? *expected[i] : QByteArray();
                bool ok = false;
                EXPECT_EQ(inflateRaw(out[i].data, size_t(want.size()), ok), want) << i;
                EXPECT_TRUE(ok) << i;
                EXPECT_EQ(out[i].size, uint64_t(want.size()));
                EXPECT_EQ(out[i].crc, crc32(0, reinterpret_cast<const Bytef *>(want.constData()), uInt(want.size())));
            }
            // The probe's choice is taken for the rest of the big file: its
            // stream is about the one of the level chosen, not the other's.
            if (levels.cheaper) {
                std::vector<DeflatedFile> chosen, other;
                xzip::DeflateStream a(paths, DeflateOptions{levels.gain > 1 ? 7 : 8, 0, 0, 64 << 10, threads, {}});
                xzip::DeflateStream b(paths, DeflateOptions{levels.gain > 1 ? 8 : 7, 0, 0, 64 << 10, threads, {}});
                ASSERT_TRUE(drain(a, 3, chosen));
                ASSERT_TRUE(drain(b, 3, other));
                const double size = double(out[0].data.size());
                EXPECT_LT(std::abs(size - double(chosen[0].data.size())), std::abs(size - double(other[0].data.size())));
            }
        }
    }
}

TEST_F(DeflateTest, FileThatCannotBeReadFailsTheWholeCall)
{
    const std::string good = write("good", mixedData(10'000, 3)), other = write("other", mixedData(10'000, 4));
    EXPECT_FALSE(xzip::DeflateStream({good, dir_.filePath("missing").toStdString()}, {}).ok());
    EXPECT_FALSE(xzip::DeflateStream({good, dir_.path().toStdString()}, {}).ok()); // a folder
    EXPECT_FALSE(xzip::DeflateStream({good}, DeflateOptions{13, 0, 0, 1 << 20, 0, {}}).ok());

    // Read out of turn, a stream fails instead of waiting for ever.
    xzip::DeflateStream stream({good, other}, {});
    ASSERT_TRUE(stream.ok());
    const unsigned char *data = nullptr;
    size_t length = 0;
    EXPECT_FALSE(stream.read(1, data, length));
    EXPECT_TRUE(stream.read(0, data, length));
    EXPECT_GT(length, 0u);
}

// Followed, the work is told how far it is and gives the same streams; told
// to stop, it stops and says so.
TEST_F(DeflateTest, ProgressFollowsTheWorkAndMayStopIt)
{
    const std::vector<std::string> paths = {write("a", mixedData(3'000'000, 5)), write("b", mixedData(40'000, 6))};
    std::vector<DeflatedFile> plain, followed;
    DeflateOptions options{6, 0, 0, 64 << 10, 3, {}};
    {
        xzip::DeflateStream stream(paths, options);
        ASSERT_TRUE(drain(stream, 2, plain));
    }

    std::vector<double> told;
    options.progress = [&told](double done) {
        told.push_back(done);
        return true;
    };
    {
        xzip::DeflateStream stream(paths, options);
        ASSERT_TRUE(drain(stream, 2, followed));
        EXPECT_FALSE(stream.stopped());
    }
    ASSERT_FALSE(told.empty());
    for (size_t i = 1; i < told.size(); ++i)
        EXPECT_GE(told[i], told[i - 1]);
    EXPECT_EQ(told.back(), 1.0);
    ASSERT_EQ(followed.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(followed[i].data, plain[i].data) << i;
        EXPECT_EQ(followed[i].crc, plain[i].crc) << i;
    }

    // Stopped while it works, on the reader's thread or by it alone.
    const std::vector<std::string> big = {write("c", mixedData(16'000'000, 7))};
    options.level = 9;
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        int calls = 0;
        options.threads = threads;
        options.progress = [&calls](double) { return ++calls < 2; };
        xzip::DeflateStream stream(big, options);
        std::vector<DeflatedFile> out;
        EXPECT_FALSE(drain(stream, 1, out));
        EXPECT_TRUE(stream.stopped());
        EXPECT_EQ(calls, 2); // not asked again once it said stop
    }
}

} // namespace
