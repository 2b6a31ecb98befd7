#pragma once

#include <QString>

namespace veltry::DataPaths {

// Folders end with "/", as the data file names are appended to them.

// The folder of the program file; when it cannot be written or is a system folder (an installed
// program under /usr, /opt, ...), the per-user data folder ($XDG_DATA_HOME/veltry/, default
// ~/.local/share/veltry/) stands in for it.
QString programDirectory();
// True when programDirectory() is the per-user stand-in.
bool usingStandIn();
// The folder of the program file itself, even when it cannot be written.
QString programFileDirectory();
// $XDG_DATA_HOME/veltry/ (default ~/.local/share/veltry/), whether or not it is in use.
QString userDataDirectory();
// $XDG_CONFIG_HOME/veltry/ (default ~/.config/veltry/).
QString configDirectory();
// Test seam: pretend the program lives in `dir` (empty restores the real one), a folder that
// cannot be written when `readOnly` (a root user can write anywhere, so tests cannot make one).
void setProgramDirectoryOverride(const QString& dir, bool readOnly = false);

} // namespace veltry::DataPaths
