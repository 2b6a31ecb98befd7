#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltry {

class ConfigStore;

// The preferences in memory. Read once when the main window is created, written once when it
// is destroyed; the preferences dialog changes them in between.
struct Settings
{
    bool SavePosition = false;
    bool SaveSize = false;
    bool StartMinimized = false;
    bool ShowNotes = false;
    bool NoConfirmations = false;
    bool ShowDayIcon = false;
    bool TaskHints = false;
    bool FloatEditedTask = false;
    bool UseAltDirPath = false;
    QString AltDirPath;  // ends with a separator; empty when it named no existing folder
    QStringList Categories;
    bool Networkable = false;
    std::optional<qint32> ListHeight;
    std::optional<qint32> ListWidth;
    std::optional<qint32> Left;
    std::optional<qint32> Top;
    qint32 clOne = 255;         // red, as $00BBGGRR
    qint32 clTwo = 32768;       // green
    qint32 clThree = 16711680;  // blue
    qint32 clElse = 0;          // black
    bool LogOnStartup = false;
    bool StartCalMonday = false;
    bool ColHidden[4] = {false, false, false, false};  // task grid columns 2..5
    // The calendar server the list is kept in step with; its password is not a setting.
    QString SyncUrl;
    QString SyncUser;
    bool SyncEnabled = false;

    bool colHidden(int col) const { return col >= 2 && col <= 5 && ColHidden[col - 2]; }
};

// What the main window holds at exit, beside the settings themselves.
struct SettingsExitState
{
    QRect window;               // the main window's frame: left, top, width, height
    int sortKeys[4] = {5, 0, 2, 0};
    bool colHidden[4] = {false, false, false, false};
    // False where the window system hides where a window stands (Wayland): the stored position,
    // kept for the next start on a desktop that tells it, is then left as it is.
    bool positionKnown = true;
};

namespace SettingsIO {

inline const QString kRoot = QStringLiteral("HKEY_LOCAL_MACHINE");
inline const QString kKey = QStringLiteral("SOFTWARE\\Veltry Pro\\");

// Reads every value in the store's order; absent values keep their defaults. A value stored with
// the wrong kind is reported in `errors` ("Invalid data type for '...'") and treated as absent,
// so one bad value does not cost the others. A damaged settings file is reported there first.
Settings load(ConfigStore& store, QStringList* errors = nullptr);

// Writes every value in the store's order. Throws AppError ("Failed to set data for '...'").
void save(ConfigStore& store, const Settings& settings, const SettingsExitState& exit);

// Where and how large the main window comes up: the designed frame unless the saved size or
// position apply; a saved position that is absent centres the window on the screen.
QRect windowFrame(const Settings& settings, const QRect& designed, const QSize& screen);

} // namespace SettingsIO
} // namespace veltry
