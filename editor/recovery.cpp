#include "recovery.h"

#include "eventdocument.h"
#include "runtime.h"

namespace {
const QString kTitle = QStringLiteral("Recover Unsaved Event Data");
} // namespace

namespace recovery {

bool offer(EventDocument &doc)
{
    const UnsavedWork work = doc.unsavedWork();
    if (work.state == UnsavedWork::State::None) {
        if (!work.path.isEmpty())
            doc.discardUnsavedWork(); // a journal without changes
        return false;
    }
    if (work.state == UnsavedWork::State::Damaged) {
        const QString aside = putJournalAside(work.path);
        rt::MessageBox(kTitle,
                       QStringLiteral("The unsaved changes of an earlier session cannot be restored: ") + work.problem
                           + QStringLiteral(".\r\n")
                           + (aside.isEmpty() ? QStringLiteral("The file ") + work.path
                                                    + QStringLiteral(" could not be moved aside either.")
                                              : QStringLiteral("The file is kept as ") + aside + QStringLiteral("."))
                           + QStringLiteral("\r\nVantel starts with the data as last saved."),
                       rt::Icon::Exclamation);
        return false;
    }
    // The changes are let go only on No: a box closed without an answer
    // (Escape) asks again.
    const QString question =
        QStringLiteral("Vantel ended on ") + work.written.toString(QStringLiteral("yyyy-MM-dd hh:mm"))
        + QStringLiteral(" without saving your latest changes to the event data.\r\n"
                         "Do you want to restore the unsaved changes ?\r\n\r\n"
                         "Yes restores them (the data files change only when you save); "
                         "No discards them.");
    int answer = 0;
    while (answer == 0)
        answer = rt::MessageBox(kTitle, question, rt::Icon::Question, rt::Buttons::YesNo, 1);
    if (answer != 1) {
        doc.discardUnsavedWork();
        return false;
    }
    if (!doc.restore(work)) {
        const QString aside = putJournalAside(work.path);
        rt::MessageBox(kTitle,
                       QStringLiteral("The unsaved changes do not fit the data files and were not restored.\r\n"
                                      "The file is kept as ")
                           + aside + QStringLiteral("."),
                       rt::Icon::Exclamation);
        return false;
    }
    return true;
}

} // namespace recovery
