// Compact storage of rows: each row is one block holding the end offsets of
// its values followed by the values' UTF-8 bytes. Rows are named by a stable
// id that survives changes to their values. New rows are carved out of large
// chunks (loading a file makes one block per line, so this spares a heap
// allocation per row); a row whose values change gets a heap block of its
// own. Chunk space of removed or changed rows is given back by clear().
//
// A row read from a file can instead leave its values where they lie in the
// file's text, which the store then keeps (retain()): its block holds the
// end offsets of the values within the line, whether each value was quoted,
// and where the line starts; when the line is exactly what writing the row
// gives, its length too, so that a writer can copy it as it stands.
//
// Most lines are plain: every value unquoted, empty exactly when null, the
// line just what writing the row gives, a line feed at its end. Such a row
// needs no block at all (addLine()): its slot is the line's address, and
// its values are found by counting tabs when asked for.
#pragma once

#include "mappedfile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <cstring>
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

    // Rows that stay in a file's text, for lines of at most kLineOffset
    // bytes. An end offset within the line may carry kLineNull and kLineQuoted.
    static constexpr quint16 kLineNull = 0x8000u;
    static constexpr quint16 kLineQuoted = 0x4000u; // the value stood in quotes (no doubled quote inside)
    static constexpr quint16 kLineOffset = 0x3FFFu;
    static constexpr quint16 kNotVerbatim = 0xFFFFu;
    // Keeps `text` for rows added by addInPlace and addLine; held until
    // clear(). The rows must point into it.
    void retain(const rt::HeldBytes &text);
    // The pages of the retained texts of mapped files leave the program's
    // memory (see HeldBytes::letGo); the rows read them again when asked.
    void letGoOfTexts() const;
    // For a look at many rows in turn: every few thousand rows, and at its
    // end, the pages it read leave the program's memory, so that a look at
    // every row of a large file holds no more of it than one step's rows.
    class Pass {
    public:
        explicit Pass(const RowStore &store) : store_(store) {}
        ~Pass() { store_.letGoOfTexts(); }
        Pass(const Pass &) = delete;
        Pass &operator=(const Pass &) = delete;
        void row()
        {
            if (++rows_ == kRowsPerStep) {
                rows_ = 0;
                store_.letGoOfTexts();
            }
        }

    private:
        static constexpr int kRowsPerStep = 16384;
        const RowStore &store_;
        int rows_ = 0;
    };
    // A row whose values lie in a retained text from `line` on: value c ends
    // at ends[c] & kLineOffset, and starts one byte (the tab) after the
    // previous value, or its closing quote, and after its own opening quote.
    // Null values keep their place. `verbatim`: the length of the line when
    // it is exactly the row as written (without the line end), else
    // kNotVerbatim.
    quint32 addInPlace(const char *line, const quint16 *ends, quint16 verbatim);
    // A plain line of a retained text as a row: `columns()` values split by
    // tabs, none quoted, none holding a carriage return, an empty one null,
    // the line ended by a line feed (after an optional carriage return).
    // `length`: the line's bytes before its line end.
    quint32 addLine(const char *line, qsizetype length);
    // The bytes of row `id` as a file holds it (without the line end) when
    // they are unchanged since reading; a null view otherwise.
    QByteArrayView verbatim(quint32 id) const;
    quint32 addCopy(quint32 id);               // a new row with the values of row `id`
    void reserve(qsizetype more);              // room for `more` rows to be added
    void remove(quint32 id);
    void clear();
    void set(quint32 id, int col0, const Field &value); // col0 is 0-based

    QByteArrayView value(quint32 id, int col0) const;
    bool isNull(quint32 id, int col0) const;
    // A mark that any change of the row takes away: whoever reads rows for
    // a fact of their values (the checks of a save) notes with it that the
    // row showed it, and need look again only at rows changed since. It is
    // no part of the values, so setting it leaves the store as it was.
    void mark(quint32 id) const;
    bool isMarked(quint32 id) const { return id < marked_.size() && marked_[id]; }
    qsizetype bytes() const { return bytes_; }  // bytes of the rows' values and end offsets

private:
    static constexpr quint32 kNull = 0x80000000u; // in the end offsets of a block of its own
    // A slot holds the block address; bit 0 set marks a heap block, bit 1 a
    // row that lies in a retained text. Such a row's block holds the length
    // of its verbatim line and the 16-bit end offsets, then the line's address.
    static constexpr quintptr kHeap = 1, kInPlace = 2;
    // A plain line's slot: its address with the top bit set (user-space
    // addresses leave it clear), the two low bits part of the address.
    static constexpr quintptr kLine = quintptr(1) << (sizeof(quintptr) * 8 - 1);
    static bool isLine(quintptr slot) { return slot & kLine; }
    static bool isHeap(quintptr slot) { return !isLine(slot) && (slot & kHeap); }
    static const char *lineOf(quintptr slot) { return reinterpret_cast<const char *>(slot & ~kLine); }
    static QByteArrayView lineValue(const char *line, int col0, int columns);
    static qsizetype lineLength(const char *line); // up to the carriage return or line feed
    static char *address(quintptr slot) { return reinterpret_cast<char *>(slot & ~quintptr(3)); }
    qsizetype lineHead() const { return (qsizetype(sizeof(quint16)) * (columns_ + 1) + 7) & ~qsizetype(7); }
    qsizetype inPlaceSize() const { return lineHead() + qsizetype(sizeof(const char *)); }
    static const quint16 *lineEnds(quintptr slot) { return reinterpret_cast<const quint16 *>(address(slot)) + 1; }
    const char *lineStart(quintptr slot) const
    {
        const char *start;
        std::memcpy(&start, address(slot) + lineHead(), sizeof start);
        return start;
    }
    qsizetype rowBytes(quint32 id) const;   // what the row counts in bytes()
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
    std::vector<rt::HeldBytes> texts_;
    mutable std::vector<bool> marked_; // by id
    qsizetype bytes_ = 0;
};
