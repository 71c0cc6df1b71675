// The event-listing operator the package is mailed to.
#pragma once

#include <QString>

namespace vantel_operator {

inline const QString events_mailbox = QStringLiteral(VANTEL_EVENTS_MAILBOX);
inline const QString web_site = QStringLiteral(VANTEL_OPERATOR_SITE);

} // namespace vantel_operator
