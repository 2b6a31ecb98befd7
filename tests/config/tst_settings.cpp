#include "platform/core/Settings.h"
#include "platform/core/AppError.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/ScreenFit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <optional>
#include <cerrno>
#include <cstring>

using namespace veltry;

namespace {
const QString kKeyPath = SettingsIO::kRoot + QLatin1Char('\\') + SettingsIO::kKey;

std::optional<ConfigStore::Value> stored(ConfigStore& store, const char* name)
{
    return store.value(kKeyPath, QString::fromLatin1(name));
}
QString optionalText(const std::optional<qint32>& v)
{
    return v ? QString::number(*v) : QStringLiteral("absent");
}

// Every value the settings hold, named, so that two of them compare whole.
QStringList valuesOf(const Settings& s)
{
    QStringList out;
    const std::pair<const char*, bool> flags[] = {
        {"SavePosition", s.SavePosition}, {"SaveSize", s.SaveSize},         {"StartMinimized", s.StartMinimized},
        {"ShowNotes", s.ShowNotes},       {"NoConfirmations", s.NoConfirmations}, {"ShowDayIcon", s.ShowDayIcon},
        {"TaskHints", s.TaskHints},       {"FloatEditedTask", s.FloatEditedTask}, {"UseAltDirPath", s.UseAltDirPath},
        {"Networkable", s.Networkable},   {"LogOnStartup", s.LogOnStartup},   {"StartCalMonday", s.StartCalMonday},
        {"Col2Hidden", s.ColHidden[0]},   {"Col3Hidden", s.ColHidden[1]},     {"Col4Hidden", s.ColHidden[2]},
        {"Col5Hidden", s.ColHidden[3]},   {"SyncEnabled", s.SyncEnabled}};
    for (const auto& [name, on] : flags)
        out << QString::fromLatin1(name) + (on ? QStringLiteral("=1") : QStringLiteral("=0"));
    out << QStringLiteral("AltDirPath=") + s.AltDirPath << QStringLiteral("Categories=") + s.Categories.join(QLatin1Char('|'))
        << QStringLiteral("ListHeight=") + optionalText(s.ListHeight) << QStringLiteral("ListWidth=") + optionalText(s.ListWidth)
        << QStringLiteral("Left=") + optionalText(s.Left) << QStringLiteral("Top=") + optionalText(s.Top)
        << QStringLiteral("clOne=%1").arg(s.clOne) << QStringLiteral("clTwo=%1").arg(s.clTwo)
        << QStringLiteral("clThree=%1").arg(s.clThree) << QStringLiteral("clElse=%1").arg(s.clElse)
        << QStringLiteral("SyncUrl=") + s.SyncUrl << QStringLiteral("SyncUser=") + s.SyncUser;
    return out;
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString storePath() const { return m_dir.filePath(QStringLiteral("registry.reg")); }

private Q_SLOTS:
    void init() { QFile::remove(storePath()); }

    void freshStoreHasDefaultsAndWritesEveryAlwaysValue()
    {
        ConfigStore store(storePath());
        const Settings s = SettingsIO::load(store);
        QVERIFY(!s.SavePosition && !s.SaveSize && !s.StartMinimized && !s.TaskHints && !s.Networkable);
        QCOMPARE(s.clOne, 255);
        QCOMPARE(s.clTwo, 32768);
        QCOMPARE(s.clThree, 16711680);
        QCOMPARE(s.clElse, 0);
        QVERIFY(s.Categories.isEmpty());
        QCOMPARE(SettingsIO::windowFrame(s, QRect(293, 197, 407, 264), QSize(1920, 1080)), QRect(293, 197, 407, 264));

        SettingsIO::save(store, s, SettingsExitState{QRect(10, 20, 400, 300), {5, 0, 2, 0}, {false, true, false, false}});
        ConfigStore reread(storePath());
        const QStringList names = reread.valueNames(kKeyPath);
        const QStringList always = {"SavePosition", "SaveSize", "StartMinimized", "LogOnStartup", "ShowNotes",
                                    "NoConfirmations", "ShowDayIcon", "TaskHints", "FloatEditedTask", "StartCalMonday",
                                    "PKey", "PDir", "SKey", "SDir", "Col2Hidden", "Col3Hidden", "Col4Hidden",
                                    "Col5Hidden", "UseAltDirPath", "Networkable", "clOne", "clTwo", "clThree",
                                    "clElse", "VisibleTasks", "SyncUrl", "SyncUser", "SyncEnabled"};
        QCOMPARE(names, always);  // exactly these, in this order
        QCOMPARE(std::get<qint32>(*stored(reread, "VisibleTasks")), 8);
        QCOMPARE(std::get<qint32>(*stored(reread, "PKey")), 5);
        QCOMPARE(std::get<qint32>(*stored(reread, "SKey")), 2);
        QCOMPARE(std::get<qint32>(*stored(reread, "Col3Hidden")), 1);
    }

    void roundTrip()
    {
        ConfigStore store(storePath());
        Settings s;
        s.SavePosition = s.SaveSize = s.TaskHints = s.StartCalMonday = true;
        s.clTwo = 0x123456;
        s.Categories = {QStringLiteral("Home"), QStringLiteral("Work")};
        s.UseAltDirPath = true;
        s.AltDirPath = m_dir.path() + QLatin1Char('/');
        SettingsIO::save(store, s, SettingsExitState{QRect(11, 22, 500, 350), {5, 0, 2, 0}, {true, false, false, true}});
        ConfigStore reread(storePath());
        const Settings back = SettingsIO::load(reread);
        QVERIFY(back.SavePosition && back.SaveSize && back.TaskHints && back.StartCalMonday);
        QCOMPARE(back.clTwo, 0x123456);
        QCOMPARE(back.Categories, s.Categories);
        QCOMPARE(back.AltDirPath, s.AltDirPath);
        QCOMPARE(SettingsIO::windowFrame(back, QRect(293, 197, 407, 264), QSize(1920, 1080)), QRect(11, 22, 500, 350));
        QVERIFY(back.colHidden(2) && back.colHidden(5) && !back.colHidden(3));

        // Where the window system does not tell a window's position, the one stored stays for
        // the next start on a desktop that does.
        SettingsExitState hidden{QRect(0, 0, 640, 480), {5, 0, 2, 0}, {false, false, false, false}};
        hidden.positionKnown = false;
        SettingsIO::save(reread, back, hidden);
        ConfigStore third(storePath());
        QCOMPARE(SettingsIO::windowFrame(SettingsIO::load(third), QRect(293, 197, 407, 264), QSize(1920, 1080)),
                 QRect(11, 22, 640, 480));
    }

    // Every value comes back as saved, switched on or off, over a store that held the other
    // setting of each.
    void everyValueRoundTrips()
    {
        Settings on;
        on.SavePosition = on.SaveSize = on.StartMinimized = on.ShowNotes = on.NoConfirmations = on.ShowDayIcon = true;
        on.TaskHints = on.FloatEditedTask = on.UseAltDirPath = on.Networkable = on.LogOnStartup = on.StartCalMonday = true;
        on.AltDirPath = m_dir.path() + QLatin1Char('/');
        on.Categories = {QStringLiteral("Garden, shed"), QStringLiteral("Home"), QStringLiteral("Work")};
        on.clOne = 0x010203;
        on.clTwo = 0x040506;
        on.clThree = 0x070809;
        on.clElse = 0x0A0B0C;
        on.ColHidden[0] = on.ColHidden[2] = true;
        on.SyncUrl = QStringLiteral("https://dav.example.org/cal/tasks/");
        on.SyncUser = QStringLiteral("ann");
        on.SyncEnabled = true;
        Settings off;
        off.Categories = {QStringLiteral("Errands")};
        off.clOne = 0x111111;
        off.clTwo = 0x222222;
        off.clThree = 0x333333;
        off.clElse = 0x444444;
        off.ColHidden[1] = off.ColHidden[3] = true;
        off.SyncUrl = QStringLiteral("https://other.example.org/tasks/");
        off.SyncUser = QStringLiteral("bob");

        const QRect window(11, 22, 500, 350);
        std::optional<qint32> height, width;
        for (const Settings* s : {&on, &off, &on}) {
            SettingsExitState exit{window, {5, 0, 2, 0}, {}};
            std::copy(std::begin(s->ColHidden), std::end(s->ColHidden), exit.colHidden);
            {
                ConfigStore store(storePath());
                SettingsIO::save(store, *s, exit);
            }
            ConfigStore reread(storePath());
            Settings expected = *s;
            // The size is kept from an earlier save while it is not saved; the place is dropped.
            if (s->SaveSize) {
                height = window.height();
                width = window.width();
            }
            expected.ListHeight = height;
            expected.ListWidth = width;
            expected.Left = s->SavePosition ? std::optional<qint32>(window.left()) : std::nullopt;
            expected.Top = s->SavePosition ? std::optional<qint32>(window.top()) : std::nullopt;
            QCOMPARE(valuesOf(SettingsIO::load(reread)), valuesOf(expected));
        }
    }

    // The calendar server's values: defaults when absent, a round trip, a wrong kind reported
    // and left at its default without costing the others.
    void syncValues_data()
    {
        QTest::addColumn<QVariantList>("stored");  // SyncUrl, SyncUser, SyncEnabled; invalid: absent
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("absent") << QVariantList{QVariant(), QVariant(), QVariant()} << QString() << QString() << false
                                << QStringList();
        QTest::newRow("set") << QVariantList{QStringLiteral("https://dav.example.org/cal/tasks/"), QStringLiteral("ann"), 1}
                             << "https://dav.example.org/cal/tasks/" << "ann" << true << QStringList();
        QTest::newRow("wrong kinds")
            << QVariantList{7, QStringLiteral("ann"), QStringLiteral("yes")} << QString() << "ann" << false
            << QStringList{"Invalid data type for 'SyncUrl'", "Invalid data type for 'SyncEnabled'"};
    }
    void syncValues()
    {
        QFETCH(QVariantList, stored);
        QFETCH(QString, url);
        QFETCH(QString, user);
        QFETCH(bool, enabled);
        QFETCH(QStringList, errors);
        ConfigStore store(storePath());
        const char* names[3] = {"SyncUrl", "SyncUser", "SyncEnabled"};
        for (int i = 0; i < 3; ++i) {
            if (stored[i].typeId() == QMetaType::Int)
                store.setValue(kKeyPath, QString::fromLatin1(names[i]), qint32(stored[i].toInt()));
            else if (stored[i].isValid())
                store.setValue(kKeyPath, QString::fromLatin1(names[i]), stored[i].toString());
        }
        QStringList reported;
        const Settings s = SettingsIO::load(store, &reported);
        QCOMPARE(reported, errors);
        QCOMPARE(s.SyncUrl, url);
        QCOMPARE(s.SyncUser, user);
        QCOMPARE(s.SyncEnabled, enabled);
        SettingsIO::save(store, s, SettingsExitState{});
        ConfigStore reread(storePath());
        const Settings back = SettingsIO::load(reread);
        QCOMPARE(back.SyncUrl, url);
        QCOMPARE(back.SyncUser, user);
        QCOMPARE(back.SyncEnabled, enabled);
    }

    void positionRules()
    {
        ConfigStore store(storePath());
        Settings s;
        s.SavePosition = true;  // without Left/Top: centred, truncating
        QCOMPARE(SettingsIO::windowFrame(s, QRect(293, 197, 407, 264), QSize(1025, 769)).topLeft(), QPoint(309, 252));
        s.SavePosition = false;
        store.setValue(kKeyPath, QStringLiteral("Left"), qint32(5));
        store.setValue(kKeyPath, QStringLiteral("Top"), qint32(6));
        SettingsIO::save(store, s, SettingsExitState{});
        QVERIFY(!stored(store, "Left") && !stored(store, "Top"));
    }

    void missingAltDirIsDroppedAndWrittenEmpty()
    {
        ConfigStore store(storePath());
        store.setValue(kKeyPath, QStringLiteral("UseAltDirPath"), qint32(1));
        store.setValue(kKeyPath, QStringLiteral("AltDirPath"), QStringLiteral("/no/such/folder/"));
        const Settings s = SettingsIO::load(store);
        QVERIFY(s.UseAltDirPath);
        QVERIFY(s.AltDirPath.isEmpty());
        SettingsIO::save(store, s, SettingsExitState{});
        QCOMPARE(std::get<QString>(*stored(store, "AltDirPath")), QString());
    }

    // Whatever was stored, the window lies wholly on one screen, shrunk only to that screen's
    // size and moved only as far as needed.
    void keepOnScreen_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("onScreen");
        const QRect designed(293, 197, 407, 264);
        QTest::newRow("designed stays") << designed << designed;
        QTest::newRow("huge size") << QRect(0, 0, 2147483647 / 2, 32767) << QRect(0, 0, 1920, 1040);
        QTest::newRow("huge size at a stored place") << QRect(300, 200, 2500, 1300) << QRect(0, 0, 1920, 1040);
        QTest::newRow("far up and left") << QRect(-32768, -32768, 407, 264) << QRect(0, 0, 407, 264);
        QTest::newRow("far down and right") << QRect(5000, 5000, 407, 264) << QRect(1513, 776, 407, 264);
        QTest::newRow("partly off the left edge") << QRect(-200, 100, 407, 264) << QRect(0, 100, 407, 264);
        QTest::newRow("partly off the right edge") << QRect(1700, 100, 407, 264) << QRect(1513, 100, 407, 264);
        QTest::newRow("title row under the bottom edge") << QRect(100, 1020, 407, 264) << QRect(100, 776, 407, 264);
        QTest::newRow("rows under the bottom edge") << QRect(100, 900, 407, 264) << QRect(100, 776, 407, 264);
        QTest::newRow("on the second screen") << QRect(2000, 100, 407, 264) << QRect(2000, 100, 407, 264);
        QTest::newRow("too tall for the second screen") << QRect(2000, 100, 407, 2000) << QRect(2000, 0, 407, 1024);
        QTest::newRow("mostly on the second screen") << QRect(1800, 100, 407, 264) << QRect(1920, 100, 407, 264);
    }
    void keepOnScreen()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, onScreen);
        const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(veltry::keepOnScreen(frame, screens), onScreen);
        // A 1280 x 900 screen at twice the scale: 640 x 450 in the units positions are kept in.
        const QRect scaled = veltry::keepOnScreen(frame, {QRect(0, 0, 640, 450)});
        QVERIFY(QRect(0, 0, 640, 450).contains(scaled));
        // A window that cannot shrink to the screen keeps its top left corner on it.
        const QRect unshrinkable = veltry::keepOnScreen(frame, {QRect(0, 0, 640, 450)}, QSize(700, 500));
        QCOMPARE(unshrinkable.topLeft(), QPoint(0, 0));
        QVERIFY(unshrinkable.width() >= 700 && unshrinkable.height() >= 500);
    }

    void extremeStoredFrameStaysOnScreen_data()
    {
        QTest::addColumn<qint32>("left");
        QTest::addColumn<qint32>("top");
        QTest::addColumn<qint32>("width");
        QTest::addColumn<qint32>("height");
        QTest::newRow("huge size, far up and left") << qint32(-32768) << qint32(-32768) << qint32(2147483647) << qint32(2147483647);
        QTest::newRow("far right and down, small") << qint32(0x7fffffff) << qint32(0x7fffffff) << qint32(407) << qint32(50);
        QTest::newRow("huge size at the designed place") << qint32(293) << qint32(197) << qint32(5000) << qint32(5000);
        QTest::newRow("size -1") << qint32(293) << qint32(197) << qint32(-1) << qint32(-1);
        QTest::newRow("size 0x80000000") << qint32(293) << qint32(197) << qint32(0x80000000) << qint32(0x80000000);
    }
    void extremeStoredFrameStaysOnScreen()
    {
        QFETCH(qint32, left);
        QFETCH(qint32, top);
        QFETCH(qint32, width);
        QFETCH(qint32, height);
        Settings s;
        s.SaveSize = s.SavePosition = true;
        s.ListWidth = width;
        s.ListHeight = height;
        s.Left = left;
        s.Top = top;
        const QRect frame = SettingsIO::windowFrame(s, QRect(293, 197, 407, 264), QSize(1920, 1080));
        const QRect screen(0, 0, 1920, 1040);
        const QRect placed = veltry::keepOnScreen(frame, {screen});
        // A size no screen shows is no size the window was left at: the designed one stands.
        QCOMPARE(frame.size(), QSize(width > 0 && width <= 1920 ? width : 407, height > 0 && height <= 1080 ? height : 264));
        QVERIFY2(screen.contains(placed), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(placed.x()).arg(placed.y())
                                                          .arg(placed.width()).arg(placed.height())));
    }

    void categoriesWithGaps()
    {
        ConfigStore store(storePath());
        store.setValue(kKeyPath, QStringLiteral("CategoryNum"), qint32(3));
        store.setValue(kKeyPath, QStringLiteral("Cat0"), QStringLiteral("A"));
        store.setValue(kKeyPath, QStringLiteral("Cat2"), QStringLiteral("C"));
        store.setValue(kKeyPath, QStringLiteral("Cat3"), QStringLiteral("ignored"));
        QCOMPARE(SettingsIO::load(store).Categories, QStringList({"A", "C"}));
    }

    // Names are found without regard to case; the first of two equal names counts; the order
    // of the file stays through changes and removals.
    void valueNamesIgnoreCase()
    {
        QFile f(storePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n\"Cat0\"=\"first\"\n\"b\"=dword:00000002\n"
                "\"CAT0\"=\"second\"\n\"c\"=\"3\"\n");
        f.close();
        ConfigStore store(storePath());
        QVERIFY(store.reload());
        QCOMPARE(std::get<QString>(*store.value(kKeyPath, QStringLiteral("cat0"))), QStringLiteral("first"));
        store.setValue(kKeyPath, QStringLiteral("CaT0"), QStringLiteral("changed"));
        QVERIFY(store.deleteValue(kKeyPath, QStringLiteral("B")));
        QVERIFY(!store.deleteValue(kKeyPath, QStringLiteral("b")));
        store.setValue(kKeyPath, QStringLiteral("d"), qint32(4));
        QCOMPARE(store.valueNames(kKeyPath), QStringList({"Cat0", "c", "d"}));
        QCOMPARE(std::get<QString>(*store.value(kKeyPath, QStringLiteral("C"))), QStringLiteral("3"));
        QCOMPARE(std::get<QString>(*store.value(kKeyPath, QStringLiteral("CAT0"))), QStringLiteral("changed"));
    }

    void wrongKindIsReportedAndOthersStillRead()
    {
        ConfigStore store(storePath());
        store.setValue(kKeyPath, QStringLiteral("TaskHints"), QStringLiteral("yes"));
        store.setValue(kKeyPath, QStringLiteral("ShowNotes"), qint32(7));
        QStringList errors;
        const Settings s = SettingsIO::load(store, &errors);
        QCOMPARE(errors, QStringList{QStringLiteral("Invalid data type for 'TaskHints'")});
        QVERIFY(!s.TaskHints);
        QVERIFY(s.ShowNotes);  // any non-zero integer is true
    }

    void failedWriteIsReported()
    {
        QFile blocker(m_dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ConfigStore store(m_dir.filePath(QStringLiteral("file/registry.reg")));
        try {
            SettingsIO::save(store, Settings{}, SettingsExitState{});
            QFAIL("no error");
        } catch (const AppError& e) {
            // The store's own words first, then the file and the system's reason.
            QVERIFY2(e.message().startsWith(QStringLiteral("Failed to set data for 'SavePosition'\n\nCould not save \"")
                                            + store.filePath() + QStringLiteral("\": ")),
                     qPrintable(e.message()));
            QVERIFY(!e.message().contains(QStringLiteral("Unknown error")));
        }
    }

    void fullDiskIsNamed()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        ConfigStore store(storePath());
        store.setValue(kKeyPath, QStringLiteral("ShowNotes"), qint32(1));
        QFile full(QStringLiteral("/dev/full"));
        QVERIFY(full.open(QIODevice::WriteOnly));
        QString reason;
        QVERIFY(!store.saveTo(&full, &reason));
        QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    }

    // A settings file with a line that cannot be read is copied aside untouched before it can be
    // written over, the user is told, and the values that could be read are used.
    void damagedFileIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("badLine");  // 0: the file is whole
        const QByteArray head = "; Veltry Professional settings\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"
                                "\"ShowNotes\"=dword:00000001\n";
        QTest::newRow("whole") << QByteArray(head + "\"AltDirPath\"=\"/srv/caf\xC3\xA9/\"\n") << 0;
        QTest::newRow("whole, CR LF, mark, no last line end")
            << QByteArray("\xEF\xBB\xBF[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\r\n\"ShowNotes\"=dword:00000001") << 0;
        QTest::newRow("not utf-8") << QByteArray(head + "\"AltDirPath\"=\"/srv/caf\xE9/\"\n\"Left\"=dword:00000005\n") << 5;
        QTest::newRow("cut number") << QByteArray(head + "\"Left\"=dword:0000") << 5;
        QTest::newRow("cut text") << QByteArray(head + "\"AltDirPath\"=\"/srv/li") << 5;
        QTest::newRow("text with more after it") << QByteArray(head + "\"AltDirPath\"=\"/a\"x\n") << 5;
        QTest::newRow("value before any key") << QByteArray("\"Top\"=dword:00000001\n" + head) << 1;
        QTest::newRow("stray line") << QByteArray(head + "garbage\n") << 5;
    }
    void damagedFileIsKeptAside()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, badLine);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registry.reg"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(bytes), bytes.size());
        }
        ConfigStore store(path);
        const QStringList copies = QDir(dir.path()).entryList({QStringLiteral("registry-unreadable-*.reg")});
        QStringList errors;
        const Settings s = SettingsIO::load(store, &errors);
        QVERIFY(s.ShowNotes);  // read before the damage
        if (badLine == 0) {
            QVERIFY(copies.isEmpty());
            QVERIFY(errors.isEmpty());
            return;
        }
        QCOMPARE(copies.size(), 1);
        const QString copy = dir.filePath(copies.first());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first(), store.damageNotice());
        QVERIFY(errors.first().contains(QStringLiteral("line %1 could not be read").arg(badLine)));
        QVERIFY(errors.first().contains(copy));
        SettingsIO::save(store, s, SettingsExitState{});
        QFile kept(copy);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        ConfigStore reread(path);
        QVERIFY(reread.damageNotice().isEmpty());  // written back whole
    }

    void storeFileFormat()
    {
        ConfigStore store(storePath());
        store.setValue(QStringLiteral("HKEY_CURRENT_USER\\ HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\ColumnSize"),
                       QStringLiteral("col0"), QStringLiteral("20"));
        store.setValue(kKeyPath, QStringLiteral("AltDirPath"), QStringLiteral("C:\\a \"b\"\nc"));
        store.setValue(kKeyPath, QStringLiteral("clOne"), qint32(-1));
        QVERIFY(store.save());
        ConfigStore reread(storePath());
        QCOMPARE(std::get<QString>(*stored(reread, "AltDirPath")), QStringLiteral("C:\\a \"b\"\nc"));
        QCOMPARE(std::get<qint32>(*stored(reread, "clOne")), -1);
        QCOMPARE(std::get<QString>(*reread.value(QStringLiteral("HKEY_CURRENT_USER\\ HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\ColumnSize\\"),
                                                 QStringLiteral("col0"))),
                 QStringLiteral("20"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
