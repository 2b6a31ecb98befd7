#pragma once

#include <QString>

namespace veltry::DataPaths {

// Folders end with "/", as the data file names are appended to them.

// The folder of the program file; when it cannot be written (an installed program), the per-user
// data folder ($XDG_DATA_HOME/veltry/, default ~/.local/share/veltry/) stands in for it.
QString programDirectory();
// True when programDirectory() is the per-user stand-in.
bool usingStandIn();
// $XDG_CONFIG_HOME/veltry/ (default ~/.config/veltry/).
QString configDirectory();
// Test seam: pretend the program lives in `dir` (empty restores the real one).
void setProgramDirectoryOverride(const QString& dir);

} // namespace veltry::DataPaths
