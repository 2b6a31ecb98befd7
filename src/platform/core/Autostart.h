#pragma once

#include <QByteArray>
#include <QString>

namespace veltry::Autostart {

// Starting with the desktop session follows the XDG autostart rule: a desktop entry in
// $XDG_CONFIG_HOME/autostart/ (default ~/.config/autostart/).
QString entryPath();
bool isEnabled();
// The entry for the program file at `programPath`; a session start comes up hidden in the tray.
QByteArray entryText(const QString& programPath);
// Writes or removes the entry. False, with the reason in `error`, when that fails.
bool setEnabled(bool on, const QString& programPath, QString* error = nullptr);
// The variable the entry sets, so the program knows it was started by the session.
inline constexpr char kSessionStartVariable[] = "VELTRY_SESSION_START";

} // namespace veltry::Autostart
