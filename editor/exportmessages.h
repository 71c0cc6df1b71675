// What the window says after packing: where the zip package lies and where
// to mail it, or why no package was made.
#pragma once

#include "package.h"

#include <QString>

namespace exportmessages {

// The three lines that tell where the zip package lies and where to mail it.
QString zipMessage(const QString &directory, const QString &thirdLine);
// "Email this zip file to <mailbox>, specifying 'VantelEvents' as the subject."
QString mailLine();

// The message boxes after Export of the data files of `directory`. A
// cancelled export says so and shows no success message. The success
// message offers "Send by e-mail" beside OK: answers whether it was chosen.
bool showDataPackage(const PackageResult &r, const QString &directory);
// The message boxes after packing the program for shipping into `package`;
// `made` is the text shown when the package was made.
void showDeployment(const PackageResult &r, const QString &made, const QString &package);

} // namespace exportmessages
