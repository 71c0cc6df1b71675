// A record set's properties by name, as the windows ask for them:
// Describe answers them, Modify changes the ones that may change.
#include "recordset.h"

namespace {

QString coltypeText(const ColumnDef &c)
{
    switch (c.type) {
    case ColType::Char: return QStringLiteral("char(%1)").arg(c.width);
    case ColType::Date: return QStringLiteral("date");
    case ColType::Number: return QStringLiteral("number");
    case ColType::Long: return QStringLiteral("long");
    }
    return QString();
}

// The edit style that a Describe path names, as the definition knows it.
bool hasStyle(const ColumnDef &c, const QString &style)
{
    const QString s = style.toLower();
    switch (c.edit) {
    case EditStyle::Edit:
    case EditStyle::MultiLineEdit:
    case EditStyle::Hidden:
    case EditStyle::None: return s == "edit";
    case EditStyle::EditMask: return s == "editmask";
    case EditStyle::DropDownDW: return s == "dddw";
    }
    return false;
}

} // namespace

QString RecordSet::Describe(const QString &property) const
{
    const QString p = property.trimmed();
    const QString lower = p.toLower();
    if (lower == "datawindow.column.count")
        return QString::number(columnCount());
    if (lower == "datawindow.nouserprompt")
        return noUserPrompt_ ? "yes" : "no";
    const qsizetype dot = p.indexOf('.');
    if (dot <= 0)
        return "!";
    const QString object = p.left(dot);
    const QString prop = lower.mid(dot + 1);
    int col = 0;
    if (object.startsWith('#')) {
        bool ok = false;
        col = object.mid(1).toInt(&ok);
        if (!ok || !validCol(col))
            return "!";
    } else {
        col = columnIndex(object);
        if (col == 0)
            return "!";
    }
    const ColumnDef &c = def_.columns[col - 1];
    if (prop == "name")
        return c.name;
    if (prop == "coltype")
        return coltypeText(c);
    if (prop == "tag")
        return c.tag;
    if (prop == "border")
        return QString::number(std::max(0, border_[col - 1]));
    if (prop == "color")
        return QString::number(std::max(0, color_[col - 1]));
    if (prop == "id")
        return QString::number(col);
    if (prop == "editmask.mask")
        return c.edit == EditStyle::EditMask || !mask_[col - 1].isNull() ? editMask(col) : "!";
    for (const char *style : {"edit", "editmask", "dddw", "ddlb"}) {
        if (prop == QLatin1StringView(style) + ".required")
            return hasStyle(c, QLatin1StringView(style)) ? (c.required ? "yes" : "no") : "!";
    }
    return "!";
}

QString RecordSet::Modify(const QString &assignments) const
{
    // Each assignment is property=value, the value quoted ('...' or "...") or
    // a run of non-blank characters; assignments are separated by blanks.
    struct Change { int kind; int col; int value; QString text; };
    std::vector<Change> changes;
    const QString s = assignments;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        while (i < n && s[i].isSpace())
            ++i;
        if (i >= n)
            break;
        const qsizetype eq = s.indexOf('=', i);
        if (eq < 0)
            return QStringLiteral("Line 1 Column %1: Expecting '='.").arg(i + 1);
        const QString prop = s.mid(i, eq - i).trimmed();
        i = eq + 1;
        QString value;
        if (i < n && (s[i] == '\'' || s[i] == '"')) {
            const QChar q = s[i];
            const qsizetype close = s.indexOf(q, i + 1);
            if (close < 0)
                return QStringLiteral("Line 1 Column %1: Unterminated string.").arg(i + 1);
            value = s.mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const qsizetype start = i;
            while (i < n && !s[i].isSpace())
                ++i;
            value = s.mid(start, i - start);
        }
        const QString lp = prop.toLower();
        if (lp == "datawindow.nouserprompt") {
            const QString v = value.trimmed().toLower();
            if (v != "yes" && v != "no")
                return QStringLiteral("Invalid value for %1: %2").arg(prop, value);
            changes.push_back({0, 0, v == "yes", QString()});
            continue;
        }
        const qsizetype dot = prop.indexOf('.');
        int col = 0;
        if (dot > 0) {
            const QString object = prop.left(dot);
            if (object.startsWith('#')) {
                bool ok = false;
                col = object.mid(1).toInt(&ok);
                if (!ok)
                    col = 0;
            } else {
                col = columnIndex(object);
            }
        }
        if (!validCol(col))
            return QStringLiteral("Unknown property: %1").arg(prop);
        const QString what = lp.mid(dot + 1);
        if (what == "editmask.mask") {
            changes.push_back({3, col, 0, value});
            continue;
        }
        bool ok = false;
        const int v = value.trimmed().toInt(&ok);
        if ((what != "border" && what != "color") || !ok)
            return QStringLiteral("Unsupported property: %1").arg(prop);
        changes.push_back({what == "border" ? 1 : 2, col, v, QString()});
    }
    bool presentation = false;
    for (const Change &c : changes) {
        if (c.kind == 0) {
            noUserPrompt_ = c.value != 0;
        } else if (c.kind == 3) {
            mask_[c.col - 1] = c.text;
            presentation = true;
        } else {
            (c.kind == 1 ? border_ : color_)[c.col - 1] = c.value;
            presentation = true;
        }
    }
    if (presentation)
        emit presentationChanged();
    return QString();
}

QString RecordSet::editMask(int col) const
{
    if (!validCol(col))
        return QString();
    return mask_[col - 1].isNull() ? def_.columns[col - 1].editMask : mask_[col - 1];
}

int RecordSet::cellBorder(int col) const { return validCol(col) ? border_[col - 1] : -1; }

int RecordSet::cellColor(int col) const { return validCol(col) ? color_[col - 1] : -1; }

