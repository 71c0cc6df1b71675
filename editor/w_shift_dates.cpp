#include "w_shift_dates.h"

#include "datepattern.h"
#include "dialogfields.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

w_shift_dates::w_shift_dates(const QDate &first, const QString &datePattern, QWidget *parent)
    : DatesPageDialog(parent), first_(first), pattern_(datePattern)
{
    setObjectName(QStringLiteral("w_shift_dates"));
    setWindowTitle(QStringLiteral("Shift Dates"));

    auto *intro = new QLabel(QStringLiteral("Moves every date line of this event, keeping its times."), this);
    days_ = new QSpinBox(this);
    days_->setObjectName(QStringLiteral("shift_days"));
    days_->setAccessibleName(QStringLiteral("Days to move by"));
    days_->setRange(-kMaxDays, kMaxDays);
    days_->setSuffix(QStringLiteral(" days"));
    to_ = dialogfields::dateField(this, "shift_to", pattern_, QStringLiteral("New first date"));
    to_->setText(dateText(first_, pattern_));

    auto *buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("Shift dates"), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("pb_shift_ok"));
    ok_->setDefault(true);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("pb_shift_cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (ok_->isEnabled())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(dialogfields::labelFor(days_, QStringLiteral("Move by &days:")), days_);
    form->addRow(dialogfields::labelFor(to_, QStringLiteral("or &new first date:")), to_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(days_, &QSpinBox::valueChanged, this, &w_shift_dates::daysChanged);
    connect(to_, &QLineEdit::textEdited, this, &w_shift_dates::firstDateTyped);
    ok_->setEnabled(false);
    days_->setFocus();
    days_->selectAll();
}

int w_shift_dates::days() const
{
    return days_->value();
}

void w_shift_dates::daysChanged(int days)
{
    to_->setText(dateText(first_.addDays(days), pattern_));
    ok_->setEnabled(days != 0);
}

void w_shift_dates::firstDateTyped()
{
    // A new first date sets the count; until it is a whole date nothing moves.
    const QDate date = dialogfields::dateIn(to_, pattern_);
    const qint64 days = date.isValid() ? first_.daysTo(date) : 0;
    if (!date.isValid() || days < -kMaxDays || days > kMaxDays) {
        ok_->setEnabled(false);
        return;
    }
    const QSignalBlocker quiet(days_);
    days_->setValue(int(days));
    ok_->setEnabled(days != 0);
}
