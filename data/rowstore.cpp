#include "rowstore.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
constexpr qsizetype kChunk = qsizetype(1) << 20;

// Where the values of the plain line last asked about end: the checks of a
// save and the cells of a grid ask for one row's values in turn, so the
// line is split once for all of them. One per thread; it holds no pointer
// that is followed unless the line and the generation of the texts match.
constexpr int kSplitColumns = 64;
struct LineSplit {
    const char *line = nullptr;
    quint64 generation = 0;
    int columns = 0;
    quint32 ends[kSplitColumns]; // value c ends at ends[c] (its tab, or the line end)
};
thread_local LineSplit lastSplit;
// Changes whenever the text of plain lines may be freed, so that a split
// never outlives its line.
std::atomic<quint64> textGeneration{1};

// Splits a plain line of `columns` values into `ends`.
void splitLine(const char *line, int columns, quint32 *ends)
{
    const char *lf = static_cast<const char *>(rawmemchr(line, '\n'));
    int c = 0;
    const char *p = line;
#ifdef __SSE2__
    const __m128i tab = _mm_set1_epi8('\t');
    for (; c < columns - 1 && p + 16 <= lf; p += 16) {
        unsigned tabs = unsigned(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), tab)));
        for (; tabs && c < columns - 1; tabs &= tabs - 1)
            ends[c++] = quint32(p - line) + quint32(__builtin_ctz(tabs));
    }
#endif
    for (; c < columns - 1; ++p)
        if (*p == '\t')
            ends[c++] = quint32(p - line);
    const char *lastStart = columns > 1 ? line + ends[columns - 2] + 1 : line;
    ends[columns - 1] = quint32(lf - line) - (lf > lastStart && lf[-1] == '\r' ? 1 : 0);
}
} // namespace

qsizetype RowStore::lineLength(const char *line)
{
    const char *lf = static_cast<const char *>(rawmemchr(line, '\n'));
    return lf - line - (lf > line && lf[-1] == '\r' ? 1 : 0);
}

QByteArrayView RowStore::lineValue(const char *line, int col0, int columns)
{
    LineSplit &split = lastSplit;
    const quint64 generation = textGeneration.load(std::memory_order_relaxed);
    if (split.line != line || split.generation != generation || split.columns != columns) {
        if (col0 == 0 && columns > 1) // the key column, asked for alone (filters, indexes)
            return QByteArrayView(line, static_cast<const char *>(rawmemchr(line, '\t')) - line);
        if (columns > kSplitColumns) {
            std::vector<quint32> ends(size_t(columns), 0);
            splitLine(line, columns, ends.data());
            const quint32 start = col0 == 0 ? 0 : ends[size_t(col0) - 1] + 1;
            return QByteArrayView(line + start, ends[size_t(col0)] - start);
        }
        splitLine(line, columns, split.ends);
        split.line = line;
        split.generation = generation;
        split.columns = columns;
    }
    const quint32 start = col0 == 0 ? 0 : split.ends[col0 - 1] + 1;
    return QByteArrayView(line + start, split.ends[col0] - start);
}

RowStore::~RowStore()
{
    clear();
}

qsizetype RowStore::blockSize(const Field *fields, int count) const
{
    qsizetype text = 0;
    for (int i = 0; i < count && i < columns_; ++i)
        if (!fields[i].null)
            text += fields[i].size;
    return qsizetype(sizeof(quint32)) * columns_ + text;
}

void RowStore::fill(char *blk, const Field *fields, int count) const
{
    auto *e = reinterpret_cast<quint32 *>(blk);
    char *out = blk + sizeof(quint32) * columns_;
    quint32 end = 0;
    for (int i = 0; i < columns_; ++i) {
        if (i < count && !fields[i].null) {
            if (fields[i].size)
                std::memcpy(out, fields[i].data, fields[i].size);
            out += fields[i].size;
            end += quint32(fields[i].size);
            e[i] = end;
        } else {
            e[i] = end | kNull;
        }
    }
}

char *RowStore::chunkAlloc(qsizetype size)
{
    size = (size + 7) & ~qsizetype(7); // keeps end offsets and line addresses aligned
    if (size > chunkLeft_) {
        const qsizetype n = std::max(kChunk, size);
        chunks_.emplace_back(new char[n]);
        chunkPos_ = chunks_.back().get();
        chunkLeft_ = n;
    }
    char *p = chunkPos_;
    chunkPos_ += size;
    chunkLeft_ -= size;
    return p;
}

quint32 RowStore::place(quintptr slot)
{
    quint32 id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
        slots_[id] = slot;
    } else {
        slots_.push_back(slot);
        id = quint32(slots_.size() - 1);
    }
    if (id < marked_.size())
        marked_[id] = false;
    return id;
}

void RowStore::mark(quint32 id) const
{
    if (id >= slots_.size())
        return;
    if (id >= marked_.size())
        marked_.resize(slots_.size());
    marked_[id] = true;
}

qsizetype RowStore::rowBytes(quint32 id) const
{
    if (!columns_)
        return 0;
    const quintptr s = slots_[id];
    if (isLine(s))
        return lineLength(lineOf(s));
    if (s & kInPlace)
        return qsizetype(sizeof(quint16)) * (columns_ + 1) + (lineEnds(s)[columns_ - 1] & kLineOffset);
    return qsizetype(sizeof(quint32)) * columns_ + (ends(id)[columns_ - 1] & ~kNull);
}

quint32 RowStore::add(const Field *fields, int count)
{
    const qsizetype size = blockSize(fields, count);
    char *blk = chunkAlloc(size);
    fill(blk, fields, count);
    bytes_ += size;
    return place(reinterpret_cast<quintptr>(blk));
}

void RowStore::retain(const rt::HeldBytes &text)
{
    texts_.push_back(text);
}

void RowStore::letGoOfTexts() const
{
    for (const rt::HeldBytes &text : texts_)
        text.letGoOfAll();
}

quint32 RowStore::addInPlace(const char *start, const quint16 *ends, quint16 verbatim)
{
    char *blk = chunkAlloc(inPlaceSize());
    std::memcpy(blk, &verbatim, sizeof verbatim);
    std::memcpy(blk + sizeof verbatim, ends, sizeof(quint16) * columns_);
    std::memcpy(blk + lineHead(), &start, sizeof start);
    const quint32 id = place(reinterpret_cast<quintptr>(blk) | kInPlace);
    bytes_ += rowBytes(id);
    return id;
}

quint32 RowStore::addLine(const char *line, qsizetype length)
{
    const quintptr slot = reinterpret_cast<quintptr>(line);
    Q_ASSERT(!isLine(slot) && length == lineLength(line));
    bytes_ += length;
    return place(slot | kLine);
}

QByteArrayView RowStore::verbatim(quint32 id) const
{
    const quintptr s = slots_[id];
    if (isLine(s))
        return QByteArrayView(lineOf(s), lineLength(lineOf(s)));
    if (!(s & kInPlace))
        return {};
    const quint16 length = lineEnds(s)[-1];
    return length == kNotVerbatim ? QByteArrayView() : QByteArrayView(lineStart(s), length);
}

void RowStore::reserve(qsizetype more)
{
    if (more > 0)
        slots_.reserve(slots_.size() + size_t(more));
}

quint32 RowStore::addCopy(quint32 id)
{
    const quintptr s = slots_[id];
    if (isLine(s)) { // the line stays where it is: the copy names it too
        bytes_ += rowBytes(id);
        return place(s);
    }
    const qsizetype size = s & kInPlace ? inPlaceSize() : rowBytes(id);
    char *blk = chunkAlloc(size);
    std::memcpy(blk, block(id), size);
    bytes_ += rowBytes(id);
    return place(reinterpret_cast<quintptr>(blk) | (s & kInPlace));
}

void RowStore::release(quint32 id)
{
    if (isLine(slots_[id])) // its text may be freed next
        textGeneration.fetch_add(1, std::memory_order_relaxed);
    bytes_ -= rowBytes(id);
    if (isHeap(slots_[id]))
        std::free(address(slots_[id]));
    slots_[id] = 0;
    if (id < marked_.size())
        marked_[id] = false;
}

void RowStore::remove(quint32 id)
{
    if (id >= slots_.size() || !slots_[id])
        return;
    release(id);
    free_.push_back(id);
}

void RowStore::clear()
{
    textGeneration.fetch_add(1, std::memory_order_relaxed);
    for (quintptr s : slots_)
        if (isHeap(s))
            std::free(address(s));
    slots_.clear();
    free_.clear();
    marked_.clear();
    chunks_.clear();
    texts_.clear();
    chunkPos_ = nullptr;
    chunkLeft_ = 0;
    bytes_ = 0;
}

QByteArrayView RowStore::value(quint32 id, int col0) const
{
    const quintptr s = slots_[id];
    if (isLine(s))
        return lineValue(lineOf(s), col0, columns_);
    if (s & kInPlace) {
        const quint16 *e = lineEnds(s);
        if (e[col0] & kLineNull)
            return {};
        const quint32 end = e[col0] & kLineOffset;
        quint32 start = e[col0] & kLineQuoted ? 1 : 0;
        if (col0 > 0)
            start += (e[col0 - 1] & kLineOffset) + (e[col0 - 1] & kLineQuoted ? 2 : 1);
        return QByteArrayView(lineStart(s) + start, end - start);
    }
    const quint32 *e = reinterpret_cast<const quint32 *>(address(s));
    const quint32 start = col0 == 0 ? 0 : (e[col0 - 1] & ~kNull);
    const quint32 end = e[col0] & ~kNull;
    return QByteArrayView(address(s) + sizeof(quint32) * columns_ + start, end - start);
}

bool RowStore::isNull(quint32 id, int col0) const
{
    const quintptr s = slots_[id];
    if (isLine(s)) {
        // The key column, asked about by filters and indexes for every
        // row: empty exactly when the line starts with its tab.
        if (col0 == 0 && columns_ > 1)
            return lineOf(s)[0] == '\t';
        return lineValue(lineOf(s), col0, columns_).isEmpty();
    }
    if (s & kInPlace)
        return lineEnds(s)[col0] & kLineNull;
    return ends(id)[col0] & kNull;
}

void RowStore::set(quint32 id, int col0, const Field &value)
{
    std::vector<Field> fields(columns_);
    for (int i = 0; i < columns_; ++i) {
        const QByteArrayView v = this->value(id, i);
        fields[i] = Field{v.data(), v.size(), isNull(id, i)};
    }
    fields[col0] = value;
    const qsizetype size = blockSize(fields.data(), columns_);
    char *blk = static_cast<char *>(std::malloc(size > 0 ? size : 1));
    if (!blk)
        throw std::bad_alloc();
    fill(blk, fields.data(), columns_);
    release(id); // the old block's values were copied above
    slots_[id] = reinterpret_cast<quintptr>(blk) | kHeap;
    bytes_ += size;
}
