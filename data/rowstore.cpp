#include "rowstore.h"

#include <cstdlib>
#include <cstring>
#include <new>

RowStore::~RowStore()
{
    clear();
}

char *RowStore::build(const Field *fields, int count, qsizetype &blockSize) const
{
    qsizetype text = 0;
    for (int i = 0; i < count && i < columns_; ++i)
        if (!fields[i].null)
            text += fields[i].size;
    const qsizetype head = qsizetype(sizeof(quint32)) * columns_;
    blockSize = head + text;
    char *blk = static_cast<char *>(std::malloc(blockSize > 0 ? blockSize : 1));
    if (!blk)
        throw std::bad_alloc();
    auto *e = reinterpret_cast<quint32 *>(blk);
    char *out = blk + head;
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
    return blk;
}

quint32 RowStore::place(char *blk)
{
    if (!free_.empty()) {
        const quint32 id = free_.back();
        free_.pop_back();
        slots_[id] = blk;
        return id;
    }
    slots_.push_back(blk);
    return quint32(slots_.size() - 1);
}

quint32 RowStore::add(const Field *fields, int count)
{
    qsizetype size = 0;
    char *blk = build(fields, count, size);
    bytes_ += size;
    return place(blk);
}

quint32 RowStore::addCopy(quint32 id)
{
    const quint32 last = ends(id)[columns_ - 1] & ~kNull;
    const qsizetype size = qsizetype(sizeof(quint32)) * columns_ + last;
    char *blk = static_cast<char *>(std::malloc(size > 0 ? size : 1));
    if (!blk)
        throw std::bad_alloc();
    std::memcpy(blk, block(id), size);
    bytes_ += size;
    return place(blk);
}

void RowStore::remove(quint32 id)
{
    if (id >= slots_.size() || !slots_[id])
        return;
    const quint32 last = columns_ ? (ends(id)[columns_ - 1] & ~kNull) : 0;
    bytes_ -= qsizetype(sizeof(quint32)) * columns_ + last;
    std::free(slots_[id]);
    slots_[id] = nullptr;
    free_.push_back(id);
}

void RowStore::clear()
{
    for (char *p : slots_)
        std::free(p);
    slots_.clear();
    free_.clear();
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
    qsizetype size = 0;
    char *blk = build(fields.data(), columns_, size);
    const quint32 last = ends(id)[columns_ - 1] & ~kNull;
    bytes_ += size - (qsizetype(sizeof(quint32)) * columns_ + last);
    std::free(slots_[id]);
    slots_[id] = blk;
}
