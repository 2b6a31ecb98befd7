#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "platform/MessageBox.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DataPaths.h"
#include "store/core/Task.h"
#include "tray/SingleInst.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QTest>
#include <future>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace veltry;
using namespace veltry::test;

namespace {
// Stands in for a running first copy on another thread: answers one request on the channel
// and hands back what it was sent.
std::future<QByteArray> answerOneRequest(const QString& name, std::promise<void>& listening)
{
    return std::async(std::launch::async, [name, &listening] {
        QLocalServer server;
        QLocalServer::removeServer(TPreviousInstance::channelPath(name));
        const bool ok = server.listen(TPreviousInstance::channelPath(name));
        listening.set_value();
        if (!ok || !server.waitForNewConnection(5000))
            return QByteArray("<no connection>");
        QLocalSocket* socket = server.nextPendingConnection();
        while (!socket->canReadLine() && socket->waitForReadyRead(5000)) {
        }
        const QByteArray line = socket->readLine();
        socket->write("ok\n");
        socket->waitForBytesWritten(1000);
        return line;
    });
}
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameForProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("installed") << "/usr/bin/veltry" << "veltry";
        QTest::newRow("capitalised file") << "/usr/bin/Veltry" << "Veltry";
        QTest::newRow("upper case with extension") << "C:/Apps/PROGRAM.EXE" << "Program";
        QTest::newRow("another file name") << "/opt/PROGRAM2.EXE" << "Program2";
        QTest::newRow("cut at the first dot") << "/home/u/my.tool.bin" << "my";
        QTest::newRow("mixed case") << "./vELTRY" << "veltry";
        QTest::newRow("at most 255") << "/x/" + QString(300, QLatin1Char('a')) << QString(255, QLatin1Char('a'));
    }

    void nameForProgram()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        QCOMPARE(TPreviousInstance::nameForProgram(program), name);
    }

    void channelIsPerUserAndInTheRuntimeFolder()
    {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const QString channel = TPreviousInstance::channelPath(QStringLiteral("Veltry"));
        QCOMPARE(QFileInfo(channel).absolutePath(), QFileInfo(runtime).absoluteFilePath());
        QVERIFY(QFileInfo(channel).fileName().startsWith(QStringLiteral("Veltry-")));
        QVERIFY(channel != TPreviousInstance::channelPath(QStringLiteral("Veltry2")));
        // A very long program name still gives an address a socket can take.
        QVERIFY(TPreviousInstance::channelPath(QString(255, QLatin1Char('a'))).toLocal8Bit().size() <= 100);
    }

    void guardHeldAndFreed()
    {
        auto first = std::make_unique<TPreviousInstance>(QStringLiteral("Guarded"));
        QVERIFY(!first->AlreadyRunning);
        QVERIFY(first->holdsName());
        {
            TPreviousInstance second(QStringLiteral("Guarded"));
            QVERIFY(second.AlreadyRunning);
            QVERIFY(!second.holdsName());
            TPreviousInstance other(QStringLiteral("Guarded2"));  // another program file
            QVERIFY(!other.AlreadyRunning);
        }
        // A refused second try does not free the name either.
        QVERIFY(TPreviousInstance(QStringLiteral("Guarded")).AlreadyRunning);
        first.reset();
        TPreviousInstance third(QStringLiteral("Guarded"));
        QVERIFY(!third.AlreadyRunning);
        QVERIFY(third.holdsName());
    }

    // A runtime folder that cannot be written must not leave copies unguarded: the lock moves
    // to the settings folder, where every copy finds it, and the channel goes with it.
    void unwritableRuntimeFolderFallsBack()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", "/proc/self/fdinfo");  // a folder nobody can create files in
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
        const QString name = QStringLiteral("Fallback");
        QCOMPARE(TPreviousInstance::guardDirectory(name) + QLatin1Char('/'), DataPaths::configDirectory());
        TPreviousInstance first(name);
        QVERIFY(first.holdsName());
        TSingleInstance listening(&first);
        QVERIFY(listening.isListening());
        QSignalSpy shown(&listening, &TSingleInstance::showRequested);
        TPreviousInstance second(name);
        QVERIFY(second.AlreadyRunning);
        QVERIFY(TPreviousInstance::channelPath(name).startsWith(DataPaths::configDirectory()));
        auto delivered = std::async(std::launch::async, [&] { return TSingleInstance::bringRunningForward(name); });
        QTRY_COMPARE(shown.count(), 1);
        QTRY_VERIFY(delivered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
        QVERIFY(delivered.get());
    }

    // A copy that dies without any clean-up leaves the name free.
    void nameFreeAfterKill()
    {
        int ready[2];
        QCOMPARE(pipe(ready), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            TPreviousInstance held(QStringLiteral("Killed"));
            const char c = held.holdsName() ? '1' : '0';
            (void)!write(ready[1], &c, 1);
            pause();
            _exit(0);
        }
        char c = 0;
        QCOMPARE(read(ready[0], &c, 1), ssize_t(1));
        QCOMPARE(c, '1');
        QVERIFY(TPreviousInstance(QStringLiteral("Killed")).AlreadyRunning);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        TPreviousInstance next(QStringLiteral("Killed"));
        QVERIFY(!next.AlreadyRunning);
        ::close(ready[0]);
        ::close(ready[1]);
    }

    // The later copy's activation token travels with the request, so the running copy's window
    // may take the focus; a token that cannot travel safely is left behind.
    void requestReachesTheFirstCopy_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("received");
        QTest::newRow("no token") << QString() << QString();
        QTest::newRow("token") << "kwin-42_a1b2c3" << "kwin-42_a1b2c3";
        QTest::newRow("token with a line break") << "abc\nshow" << QString();
        QTest::newRow("token too long") << QString(600, QLatin1Char('t')) << QString();
    }

    void requestReachesTheFirstCopy()
    {
        QFETCH(QString, token);
        QFETCH(QString, received);
        TPreviousInstance first(QStringLiteral("Channel"));
        TSingleInstance listener(&first);
        QVERIFY(listener.isListening());
        QSignalSpy spy(&listener, &TSingleInstance::showRequested);
        auto delivered = std::async(std::launch::async, [token] {
            return TSingleInstance::bringRunningForward(QStringLiteral("Channel"), 3000, token);
        });
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), received);
        QTRY_VERIFY(delivered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
        QVERIFY(delivered.get());
        QTest::qWait(50);
        QCOMPARE(spy.count(), 1);  // one request, however many lines it took
    }

    // A running copy of an older edition knows only the bare request; with a token in front it
    // must still answer, so the later copy ends at once as before.
    void tokenPassesAnOlderCopy()
    {
        const QString path = TPreviousInstance::channelPath(QStringLiteral("Older"));
        QLocalServer::removeServer(path);
        QLocalServer older;
        QVERIFY(older.listen(path));
        QByteArray seen;
        connect(&older, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* socket = older.nextPendingConnection();
            connect(socket, &QLocalSocket::readyRead, socket, [socket, &seen] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine();
                    seen += line;
                    if (line == "show\n")
                        socket->write("ok\n");
                }
            });
        });
        auto delivered = std::async(std::launch::async, [] {
            return TSingleInstance::bringRunningForward(QStringLiteral("Older"), 3000, QStringLiteral("tok"));
        });
        QTRY_VERIFY(delivered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
        QVERIFY(delivered.get());
        QCOMPARE(seen, QByteArray("token tok\nshow\n"));
    }

    // A socket left by a killed copy must not stop the next first copy from listening.
    void staleChannelIsReplaced()
    {
        const QString path = TPreviousInstance::channelPath(QStringLiteral("Stale"));
        QVERIFY(writeAll(path, "left over"));
        TPreviousInstance first(QStringLiteral("Stale"));
        TSingleInstance listener(&first);
        QVERIFY(listener.isListening());
    }

    void nobodyListening()
    {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!TSingleInstance::bringRunningForward(QStringLiteral("Nobody"), 400));
        QVERIFY(timer.elapsed() < 3000);
    }

    // The second copy decides before any window exists, so it reads and writes nothing: not
    // the task list, the history, the settings nor the grid's column widths.
    void secondCopyTouchesNothing()
    {
        ProgramFolder program;
        const QString list = program.filePath(kTaskListFileName);
        const QString log = program.filePath(kHistoryFileName);
        const QString settings = ConfigStore::shared().filePath();
        // A list the program would write back differently (no CR LF at the end of its last line).
        const QByteArray listBytes = "12,2\r\n1,0,Task\r\n1,1,Pay the rent";
        QVERIFY(writeAll(list, listBytes));
        QVERIFY(writeAll(log, "7,2\r\n1,1,done"));
        QDir().mkpath(QFileInfo(settings).absolutePath());
        QVERIFY(writeAll(settings, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n\"ShowNotes\"=dword:00000001\n"));
        ConfigStore::shared().reload();
        const QByteArray settingsBytes = readAll(settings);
        const QDateTime listTime = QFileInfo(list).lastModified();

        const QString name = TPreviousInstance::nameForProgram(QCoreApplication::applicationFilePath());
        TPreviousInstance running(name);
        QVERIFY(running.holdsName());
        std::promise<void> listening;
        auto request = answerOneRequest(name, listening);
        listening.get_future().wait();

        QTest::qWait(20);  // a rewrite would show in the modification time
        {
            VeltryApp app;
            QVERIFY(!app.start());
            QVERIFY(app.isSecondCopy());
            QCOMPARE(app.form1(), nullptr);
            QCOMPARE(app.toDo(), nullptr);
            QVERIFY(QApplication::topLevelWidgets().isEmpty());
            QCOMPARE(app.run(), 0);
        }
        QCOMPARE(request.get(), QByteArray("show\n"));
        QCOMPARE(readAll(list), listBytes);
        QCOMPARE(QFileInfo(list).lastModified(), listTime);
        QCOMPARE(readAll(log), QByteArray("7,2\r\n1,1,done"));
        QCOMPARE(readAll(settings), settingsBytes);
        QVERIFY(MessageBox::shownTexts().isEmpty());
        DataPaths::setProgramDirectoryOverride(QString());
    }

    // The guard is held for the whole run, saves included, and free once the run has ended.
    void runHoldsTheName()
    {
        ProgramFolder program;
        const QString name = TPreviousInstance::nameForProgram(QCoreApplication::applicationFilePath());
        {
            VeltryApp app;
            QVERIFY(app.start());
            QVERIFY(TPreviousInstance(name).AlreadyRunning);
            app.shutdown();
            QVERIFY(!TPreviousInstance(name).AlreadyRunning);
        }
        DataPaths::setProgramDirectoryOverride(QString());
    }
};

QTEST_MAIN(TestSingleInstance)
#include "wtst_singleinst.moc"
