#include "platform/core/Settings.h"

#include "platform/core/AppError.h"
#include "platform/core/ConfigStore.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace veltry::SettingsIO {

namespace {
// Runs one read; a wrong-kind value is reported and leaves the default.
template <typename Fn>
void guarded(QStringList* errors, Fn&& fn)
{
    try {
        fn();
    } catch (const AppError& e) {
        if (errors)
            errors->append(e.message());
    }
}
} // namespace

Settings load(ConfigStore& store, QStringList* errors)
{
    Settings s;
    if (errors && !store.damageNotice().isEmpty())
        errors->append(store.damageNotice());
    ConfigKey key(store, kRoot, kKey, true);
    if (!key.isOpen())
        return s;
    auto readBool = [&](const QString& name, bool& target) {
        guarded(errors, [&] {
            if (key.valueExists(name))
                target = key.readBool(name);
        });
    };
    auto readInt = [&](const QString& name, auto& target) {
        guarded(errors, [&] {
            if (key.valueExists(name))
                target = key.readInteger(name);
        });
    };

    readBool(QStringLiteral("SavePosition"), s.SavePosition);
    readBool(QStringLiteral("SaveSize"), s.SaveSize);
    readBool(QStringLiteral("StartMinimized"), s.StartMinimized);
    readBool(QStringLiteral("ShowNotes"), s.ShowNotes);
    readBool(QStringLiteral("NoConfirmations"), s.NoConfirmations);
    readBool(QStringLiteral("ShowDayIcon"), s.ShowDayIcon);
    readBool(QStringLiteral("TaskHints"), s.TaskHints);
    readBool(QStringLiteral("FloatEditedTask"), s.FloatEditedTask);
    readBool(QStringLiteral("UseAltDirPath"), s.UseAltDirPath);
    if (s.UseAltDirPath) {
        guarded(errors, [&] {
            if (key.valueExists(QStringLiteral("AltDirPath")))
                s.AltDirPath = key.readString(QStringLiteral("AltDirPath"));
        });
        if (s.AltDirPath.isEmpty() || !QFileInfo(s.AltDirPath).isDir())
            s.AltDirPath.clear();
    }
    guarded(errors, [&] {
        if (!key.valueExists(QStringLiteral("CategoryNum")))
            return;
        const qint32 count = key.readInteger(QStringLiteral("CategoryNum"));
        for (qint32 n = 0; n < count && n < 100000; ++n) {
            const QString name = QStringLiteral("Cat%1").arg(n);
            guarded(errors, [&] {
                if (key.valueExists(name))
                    s.Categories.append(key.readString(name));
            });
        }
    });
    readBool(QStringLiteral("Networkable"), s.Networkable);
    readInt(QStringLiteral("ListHeight"), s.ListHeight);
    readInt(QStringLiteral("ListWidth"), s.ListWidth);
    readInt(QStringLiteral("Left"), s.Left);
    readInt(QStringLiteral("Top"), s.Top);
    readInt(QStringLiteral("clOne"), s.clOne);
    readInt(QStringLiteral("clTwo"), s.clTwo);
    readInt(QStringLiteral("clThree"), s.clThree);
    readInt(QStringLiteral("clElse"), s.clElse);
    readBool(QStringLiteral("LogOnStartup"), s.LogOnStartup);
    readBool(QStringLiteral("StartCalMonday"), s.StartCalMonday);
    for (int c = 2; c <= 5; ++c)
        readBool(QStringLiteral("Col%1Hidden").arg(c), s.ColHidden[c - 2]);
    auto readString = [&](const QString& name, QString& target) {
        guarded(errors, [&] {
            if (key.valueExists(name))
                target = key.readString(name);
        });
    };
    readString(QStringLiteral("SyncUrl"), s.SyncUrl);
    readString(QStringLiteral("SyncUser"), s.SyncUser);
    readBool(QStringLiteral("SyncEnabled"), s.SyncEnabled);
    return s;
}

void save(ConfigStore& store, const Settings& s, const SettingsExitState& exit)
{
    ConfigKey key(store, kRoot, kKey, true);
    key.writeBool(QStringLiteral("SavePosition"), s.SavePosition);
    key.writeBool(QStringLiteral("SaveSize"), s.SaveSize);
    if (s.SaveSize) {
        key.writeInteger(QStringLiteral("ListHeight"), exit.window.height());
        key.writeInteger(QStringLiteral("ListWidth"), exit.window.width());
    }
    key.writeBool(QStringLiteral("StartMinimized"), s.StartMinimized);
    key.writeBool(QStringLiteral("LogOnStartup"), s.LogOnStartup);
    key.writeBool(QStringLiteral("ShowNotes"), s.ShowNotes);
    key.writeBool(QStringLiteral("NoConfirmations"), s.NoConfirmations);
    key.writeBool(QStringLiteral("ShowDayIcon"), s.ShowDayIcon);
    key.writeBool(QStringLiteral("TaskHints"), s.TaskHints);
    key.writeBool(QStringLiteral("FloatEditedTask"), s.FloatEditedTask);
    key.writeBool(QStringLiteral("StartCalMonday"), s.StartCalMonday);
    key.writeInteger(QStringLiteral("PKey"), exit.sortKeys[0]);
    key.writeInteger(QStringLiteral("PDir"), exit.sortKeys[1]);
    key.writeInteger(QStringLiteral("SKey"), exit.sortKeys[2]);
    key.writeInteger(QStringLiteral("SDir"), exit.sortKeys[3]);
    for (int c = 2; c <= 5; ++c)
        key.writeBool(QStringLiteral("Col%1Hidden").arg(c), exit.colHidden[c - 2]);
    key.writeBool(QStringLiteral("UseAltDirPath"), s.UseAltDirPath);
    if (s.UseAltDirPath)
        key.writeString(QStringLiteral("AltDirPath"), s.AltDirPath);
    key.writeBool(QStringLiteral("Networkable"), s.Networkable);
    if (s.SavePosition) {
        if (exit.positionKnown) {
            key.writeInteger(QStringLiteral("Left"), exit.window.left());
            key.writeInteger(QStringLiteral("Top"), exit.window.top());
        }
    } else {
        key.deleteValue(QStringLiteral("Left"));
        key.deleteValue(QStringLiteral("Top"));
    }
    key.writeInteger(QStringLiteral("clOne"), s.clOne);
    key.writeInteger(QStringLiteral("clTwo"), s.clTwo);
    key.writeInteger(QStringLiteral("clThree"), s.clThree);
    key.writeInteger(QStringLiteral("clElse"), s.clElse);
    key.writeInteger(QStringLiteral("VisibleTasks"), 8);
    if (!s.Categories.isEmpty()) {
        key.writeInteger(QStringLiteral("CategoryNum"), qint32(s.Categories.size()));
        for (qsizetype n = 0; n < s.Categories.size(); ++n)
            key.writeString(QStringLiteral("Cat%1").arg(n), s.Categories.at(n));
    }
    key.writeString(QStringLiteral("SyncUrl"), s.SyncUrl);
    key.writeString(QStringLiteral("SyncUser"), s.SyncUser);
    key.writeBool(QStringLiteral("SyncEnabled"), s.SyncEnabled);
    key.close();
}

QRect windowFrame(const Settings& s, const QRect& designed, const QSize& screen)
{
    // Stored numbers may be anything; a rectangle's far edge must not overflow.
    static constexpr int kLimit = 1 << 20;
    const auto bounded = [](qint32 v, int lo) { return std::clamp(int(v), lo, kLimit); };
    QRect r = designed;
    // A size no screen could show (none at all, or more than the screen) is no size the window
    // was left at: the designed one stands.
    if (s.SaveSize) {
        if (s.ListHeight && *s.ListHeight > 0 && *s.ListHeight <= screen.height())
            r.setHeight(*s.ListHeight);
        if (s.ListWidth && *s.ListWidth > 0 && *s.ListWidth <= screen.width())
            r.setWidth(*s.ListWidth);
    }
    if (s.SavePosition) {
        // Integer division truncates toward zero, as the centring always did.
        const int left = s.Left ? bounded(*s.Left, -kLimit) : (screen.width() - r.width()) / 2;
        const int top = s.Top ? bounded(*s.Top, -kLimit) : (screen.height() - r.height()) / 2;
        r.moveTo(left, top);
    }
    return r;
}

} // namespace veltry::SettingsIO
