#include "datepattern.h"

#include <QLineEdit>
#include <QValidator>

namespace {

// The text of a "00:00" field with its blanks: every digit typed must fit
// its place in hh:mm (hours to 23, minutes to 59); the blanks are what is
// still to come.
class ClockTimeValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        QString digits = input;
        digits.remove(QLatin1Char(':'));
        if (digits.size() != 4)
            return Invalid;
        bool complete = true;
        for (int i = 0; i < 4; ++i) {
            const QChar c = digits[i];
            if (!c.isDigit()) {
                complete = false;
                continue;
            }
            const char last = i == 0 ? '2' : i == 1 ? (digits[0] == QLatin1Char('2') ? '3' : '9') : i == 2 ? '5' : '9';
            if (c > QLatin1Char(last))
                return Invalid;
        }
        return complete ? Acceptable : Intermediate;
    }
};

} // namespace

void setEditMask(QLineEdit *edit, const QString &mask)
{
    edit->setInputMask(inputMaskFor(mask));
    if (mask == QLatin1String("00:00"))
        edit->setValidator(new ClockTimeValidator(edit));
}

QString inputMaskFor(const QString &mask)
{
    if (mask.isEmpty())
        return {};
    QString out;
    for (QChar c : mask) {
        const QChar l = c.toLower();
        if (c == QLatin1Char('0') || c == QLatin1Char('#') || l == QLatin1Char('d') || l == QLatin1Char('m')
            || l == QLatin1Char('y'))
            out += QLatin1Char('9');
        else if (c == QLatin1Char('9') || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('!')
                 || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + QString(c);
        else
            out += c;
    }
    return out + QStringLiteral(";_");
}
