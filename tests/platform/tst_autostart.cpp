#include "TestEnv.h"
#include "platform/core/Autostart.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace veltry;

class TestAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Switched on, a valid desktop entry that starts this program file; switched off, gone.
    void entryWrittenAndRemoved_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/veltry");
        QTest::newRow("blanks and quotes") << QStringLiteral("/home/a user/my \"apps\"/veltry");
        QTest::newRow("backslash, dollar, percent") << QStringLiteral("/opt/x\\y/$HOME/100%/veltry");
    }
    void entryWrittenAndRemoved()
    {
        QFETCH(QString, program);
        QVERIFY(Autostart::entryPath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/"));
        QVERIFY(!Autostart::isEnabled());
        QString error;
        QVERIFY2(Autostart::setEnabled(true, program, &error), qPrintable(error));
        QVERIFY(Autostart::isEnabled());
        QFile entry(Autostart::entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QCOMPARE(entry.readAll(), Autostart::entryText(program));
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validator.isEmpty()) {
            QProcess check;
            check.start(validator, {Autostart::entryPath()});
            QVERIFY(check.waitForFinished());
            QVERIFY2(check.exitCode() == 0 && check.readAll().trimmed().isEmpty(),
                     qPrintable(QString::fromUtf8(check.readAllStandardOutput())));
        }
        QVERIFY(Autostart::setEnabled(false, program));
        QVERIFY(!Autostart::isEnabled());
        QVERIFY(Autostart::setEnabled(false, program));  // already off
    }

    void execLineQuotesThePath()
    {
        const QByteArray text = Autostart::entryText(QStringLiteral("/a b/\"q\"/x\\y/100%"));
        QVERIFY(text.contains("Exec=env VELTRY_SESSION_START=1 \"/a b/\\\\\"q\\\\\"/x\\\\\\\\y/100%%\"\n"));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
