#include "rowstore.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
constexpr qsizetype kChunk = qsizetype(1) << 20;
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
    size = (size + 3) & ~qsizetype(3); // keeps the end offsets aligned
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
    if (!free_.empty()) {
        const quint32 id = free_.back();
        free_.pop_back();
        slots_[id] = slot;
        return id;
    }
    slots_.push_back(slot);
    return quint32(slots_.size() - 1);
}

quint32 RowStore::add(const Field *fields, int count)
{
    const qsizetype size = blockSize(fields, count);
    char *blk = chunkAlloc(size);
    fill(blk, fields, count);
    bytes_ += size;
    return place(reinterpret_cast<quintptr>(blk));
}

quint32 RowStore::addCopy(quint32 id)
{
    const quint32 last = columns_ ? (ends(id)[columns_ - 1] & ~kNull) : 0;
    const qsizetype size = qsizetype(sizeof(quint32)) * columns_ + last;
    char *blk = chunkAlloc(size);
    std::memcpy(blk, block(id), size);
    bytes_ += size;
    return place(reinterpret_cast<quintptr>(blk));
}

void RowStore::release(quint32 id)
{
    const quint32 last = columns_ ? (ends(id)[columns_ - 1] & ~kNull) : 0;
    bytes_ -= qsizetype(sizeof(quint32)) * columns_ + last;
    if (slots_[id] & 1)
        std::free(address(slots_[id]));
    slots_[id] = 0;
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
    for (quintptr s : slots_)
        if (s & 1)
            std::free(address(s));
    slots_.clear();
    free_.clear();
    chunks_.clear();
    chunkPos_ = nullptr;
    chunkLeft_ = 0;
    bytes_ = 0;
}

QByteArrayView RowStore::value(quint32 id, int col0) const
{
    const quint32 *e = ends(id);
    const quint32 start = col0 == 0 ? 0 : (e[col0 - 1] & ~kNull);
    const quint32 end = e[col0] & ~kNull;
    return QByteArrayView(block(id) + sizeof(quint32) * columns_ + start, end - start);
}

bool RowStore::isNull(quint32 id, int col0) const
{
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
    slots_[id] = reinterpret_cast<quintptr>(blk) | 1;
    bytes_ += size;
}
