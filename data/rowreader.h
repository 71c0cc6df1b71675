// Reading the rows of a data file's text into a record set's store (see
// datafiles.h for the layout), and what the reader and the writer agree on.
#pragma once

#include "mappedfile.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

class RecordSet;

namespace datafiles {

// Collects the problems of one file and sums them up in one line.
struct Problems {
    QString fileName;
    QString first;
    int firstLine = 0;
    int count = 0;
    void add(int line, const QString &what)
    {
        if (count++ == 0) {
            firstLine = line;
            first = what;
        }
    }
    QString summary() const
    {
        QString s = QStringLiteral("%1: line %2: %3").arg(fileName).arg(firstLine).arg(first);
        if (count > 1)
            s += QStringLiteral(" (%1 problems in all)").arg(count);
        return s;
    }
};

// A value that the writer puts in quotes.
bool needsQuotes(QByteArrayView v);

// Reads the rows of `data` (`n` bytes followed by a zero byte) into the
// record set's store, appending their ids. Rows stay where they lie in
// `data` (which the store must keep) unless a value had doubled quotes to
// undo. With `checkUtf8`, stops at the first row that is not valid UTF-8
// and answers false with no row added. When `data` are the bytes `held`,
// the pages read leave the program's memory as the reading goes on.
bool readRows(RecordSet &rs, const char *data, qsizetype n, bool checkUtf8, std::vector<quint32> &ids,
              Problems &problems, const rt::HeldBytes *held = nullptr);

} // namespace datafiles
