// The windows of an import: the columns of a spreadsheet matched to
// Vantel's fields, and the report of what an import added, left out or
// changed.
#pragma once

#include "spreadsheet.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QTableWidget;

class w_import_columns : public QDialog {
    Q_OBJECT
public:
    // Offers `sheet`'s header for each field, starting from `mapping`.
    w_import_columns(const interop::Spreadsheet &sheet, const interop::ColumnMapping &mapping,
                     QWidget *parent = nullptr);
    // The column chosen for each field (fields without one left out).
    interop::ColumnMapping mapping() const;

    // The name a field goes by in the window ("Event Name").
    static QString fieldLabel(const QString &field);

private:
    void updatePreview();

    const interop::Spreadsheet &sheet_;
    std::vector<QComboBox *> choices_; // one per field of interop::importFields()
    QTableWidget *preview_ = nullptr;
};

// What an import did, line by line, read-only.
class w_import_report : public QDialog {
    Q_OBJECT
public:
    w_import_report(const QString &title, const QStringList &lines, QWidget *parent = nullptr);
};
