// Where the program's companion files live.
#pragma once

#include <QString>

namespace velorin {

// The folder of the running executable (symbolic links resolved), with a trailing '/'.
// "default.kvf", "lang.xml" and "background.png" are looked up here.
QString executableDir();

// Overrides executableDir() (tests); an empty string restores the real folder.
void setExecutableDirForTesting(const QString& dir);

} // namespace velorin
