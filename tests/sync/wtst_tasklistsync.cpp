// The calendar sync as the task window runs it: a server's error holds nothing up until someone
// clicks, and the changes are tried again on the usual schedule.
#include "platform/MessageBox.h"
#include "sync/TaskListSync.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace veltry;

class wtst_TaskListSync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serverErrorIsRetriedWithoutAClick()
    {
        QTcpServer server;  // answers every request with 500
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int requests = 0;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            ++requests;
            connect(s, &QTcpSocket::readyRead, s, [s] {
                s->readAll();
                s->write("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                s->disconnectFromHost();
            });
        });
        MessageBox::setTestMode(true);
        QWidget window;
        auto* link = new sync::TaskListSync({[] { return std::vector<sync::TaskRow>(1); },
                                             [] { return !QApplication::activeModalWidget(); },
                                             [](const std::vector<sync::TaskRow>&) { return true; }},
                                            &window);
        QSignalSpy status(link, &sync::TaskListSync::statusChanged);
        link->configure(QStringLiteral("http://127.0.0.1:%1/cal/").arg(server.serverPort()), QStringLiteral("me"), true);
        QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() && status.last().at(0).toString().contains("500"), 15000);
        const int failedOnce = requests;
        link->listSaved();
        QTRY_VERIFY_WITH_TIMEOUT(requests > failedOnce, 10000);
        QCOMPARE(MessageBox::shownTexts(), QStringList());
    }
};

QTEST_MAIN(wtst_TaskListSync)
#include "wtst_tasklistsync.moc"
