// The application's one setting: the game folder last opened through the folder dialog, as the
// user typed or browsed it. Kept per user under "Merrow Applications" / "Sonvault" (the registry
// on Windows, "$XDG_CONFIG_HOME/Merrow Applications/Sonvault.conf" on Linux), section
// "StartupValues", entry "PreviousArena2Path"; whatever the executable is called.
#pragma once

#include <QString>

namespace sv {

// Empty when the entry, the section or the whole store is missing.
QString ReadPreviousArena2Path();
void WritePreviousArena2Path(const QString& folder);

} // namespace sv
