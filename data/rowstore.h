// Compact storage of rows: each row is one block holding the end offsets of
// its values followed by the values' UTF-8 bytes. Rows are named by a stable
// id that survives changes to their values. New rows are carved out of large
// chunks (loading a file makes one block per line, so this spares a heap
// allocation per row); a row whose values change gets a heap block of its
// own. Chunk space of removed or changed rows is given back by clear().
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <memory>
#include <vector>

class RowStore {
public:
    explicit RowStore(int columns) : columns_(columns) {}
    ~RowStore();
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    int columns() const { return columns_; }

    // A value being put into a row: its bytes and whether it is null.
    struct Field {
        const char *data = nullptr;
        qsizetype size = 0;
        bool null = true;
    };
    // Adds a row of `columns()` fields (missing ones null); answers its id.
    quint32 add(const Field *fields, int count);
    quint32 addCopy(quint32 id);               // a new row with the values of row `id`
    void remove(quint32 id);
    void clear();
    void set(quint32 id, int col0, const Field &value); // col0 is 0-based

    QByteArrayView value(quint32 id, int col0) const;
    bool isNull(quint32 id, int col0) const;
    qsizetype bytes() const { return bytes_; }  // bytes held by the row blocks

private:
    static constexpr quint32 kNull = 0x80000000u;
    // A slot holds the block address; bit 0 set marks a heap block.
    static char *address(quintptr slot) { return reinterpret_cast<char *>(slot & ~quintptr(1)); }
    char *block(quint32 id) const { return address(slots_[id]); }
    const quint32 *ends(quint32 id) const { return reinterpret_cast<const quint32 *>(block(id)); }
    qsizetype blockSize(const Field *fields, int count) const;
    void fill(char *blk, const Field *fields, int count) const;
    char *chunkAlloc(qsizetype size);
    void release(quint32 id);
    quint32 place(quintptr slot);

    int columns_;
    std::vector<quintptr> slots_;
    std::vector<std::unique_ptr<char[]>> chunks_;
    char *chunkPos_ = nullptr;
    qsizetype chunkLeft_ = 0;
    std::vector<quint32> free_;
    qsizetype bytes_ = 0;
};
