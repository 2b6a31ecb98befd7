// The calendar server's protocol: the reading of hostile answers, and the requests against a real
// Radicale (started around this program by with_radicale.sh; those tests are skipped without it).
#include "TestEnv.h"
#include "sync/core/DavXml.h"
#include "sync/net/CalDavClient.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <memory>
#include <optional>
#include <tuple>

using namespace veltry::sync;

Q_DECLARE_METATYPE(DavError::Kind)

namespace {

// Runs the event loop until the client calls back; a client that never does fails the test.
template <typename... Args, typename Call>
std::tuple<Args...> await(Call call)
{
    std::optional<std::tuple<Args...>> result;
    QEventLoop loop;
    call([&](const Args&... args) {
        result.emplace(args...);
        loop.quit();
    });
    if (!result) {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!result)
        qFatal("the calendar server client never answered");
    return *result;
}

DavError probe(CalDavClient& client, QString* name = nullptr)
{
    auto [error, found] = await<DavError, QString>([&](auto done) { client.probe(done); });
    if (name)
        *name = found;
    return error;
}

std::tuple<DavError, DavListing> listChanges(CalDavClient& client, const QString& token)
{
    return await<DavError, DavListing>([&](auto done) { client.listChanges(token, done); });
}

std::tuple<DavError, QList<DavResource>> fetch(CalDavClient& client, const QStringList& hrefs)
{
    return await<DavError, QList<DavResource>>([&](auto done) { client.fetch(hrefs, done); });
}

std::tuple<DavError, QByteArray> put(CalDavClient& client, const QString& href, const QByteArray& ics,
                                     const QByteArray& ifMatch)
{
    return await<DavError, QByteArray>([&](auto done) { client.put(href, ics, ifMatch, done); });
}

DavError remove(CalDavClient& client, const QString& href, const QByteArray& ifMatch)
{
    return std::get<0>(await<DavError>([&](auto done) { client.remove(href, ifMatch, done); }));
}

QByteArray todo(const QString& uid, const QString& summary)
{
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\n"
                          "UID:%1\r\nDTSTAMP:20240101T000000Z\r\nSUMMARY:%2\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        .arg(uid, summary)
        .toUtf8();
}

QStringList hrefsOf(const DavListing& listing, bool removed)
{
    QStringList hrefs;
    for (const DavResource& resource : listing.resources)
        if (resource.removed == removed)
            hrefs.append(resource.href);
    hrefs.sort();
    return hrefs;
}

// The number of sync reports the server has been sent so far, from its log.
int syncReportsSoFar()
{
    QFile log(qEnvironmentVariable("RADICALE_LOG"));
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    return int(log.readAll().count("REPORT request for"));
}

// A server that answers every request badly, in the way named by `mode`.
class HostileServer : public QTcpServer
{
public:
    explicit HostileServer(const QString& mode) : m_mode(mode)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/cal/").arg(serverPort())); }
    // What the server has handed to its connection so far.
    qint64 sent() const { return *m_sent; }

private:
    void answer(QTcpSocket* socket)
    {
        socket->readAll();
        if (socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        if (m_mode == QLatin1String("declared")) {
            socket->write("HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\n"
                          "Content-Length: 500000000\r\n\r\n<?xml version=\"1.0\"?>");
        } else if (m_mode == QLatin1String("chunked") || m_mode == QLatin1String("unsized")
                   || m_mode == QLatin1String("endless")) {
            const bool chunked = m_mode != QLatin1String("unsized");
            // "endless": far more than anyone would hold, at the pace the client takes it.
            const qint64 total = m_mode == QLatin1String("endless") ? qint64(128) << 20 : qint64(8) << 20;
            socket->write(chunked ? "HTTP/1.1 207 Multi-Status\r\nTransfer-Encoding: chunked\r\n\r\n"
                                  : "HTTP/1.0 207 Multi-Status\r\nConnection: close\r\n\r\n");
            // A well-formed answer, only far too long: read whole, it would parse.
            auto sent = m_sent;
            auto more = [socket, chunked, sent, total] {
                while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 256 * 1024
                       && *sent < total) {
                    QByteArray piece = *sent == 0 ? QByteArray("<multistatus xmlns=\"DAV:\"><!--") : QByteArray();
                    piece += QByteArray(64 * 1024, 'x');
                    *sent += piece.size();
                    if (*sent >= total)
                        piece += "--><sync-token>t</sync-token></multistatus>";
                    socket->write(chunked ? QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n" : piece);
                    if (*sent >= total) {
                        if (chunked)
                            socket->write("0\r\n\r\n");
                        else
                            socket->disconnectFromHost();
                    }
                }
            };
            connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
        } else if (m_mode == QLatin1String("garbage")) {
            socket->write("HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nContent-Length: 9\r\n\r\nnot a DAV");
        } else if (m_mode == QLatin1String("hangup")) {
            socket->abort();
        }
        // "silent": no answer at all.
    }

    QString m_mode;
    std::shared_ptr<qint64> m_sent = std::make_shared<qint64>(0);
};

} // namespace

class TestCalDavClient : public QObject
{
    Q_OBJECT

private:
    bool haveServer() const { return qEnvironmentVariableIsSet("RADICALE_URL"); }
    void connectTo(CalDavClient& client, const QString& password = QStringLiteral("secret")) const
    {
        client.setServer(QUrl(qEnvironmentVariable("RADICALE_URL")), qEnvironmentVariable("RADICALE_USER"), password);
    }

private Q_SLOTS:
    void parseRefusesHostileAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        const QByteArray open = "<D:multistatus xmlns:D=\"DAV:\">";
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not XML") << QByteArray("<html>Bad gateway");
        QTest::newRow("truncated") << open + "<D:response><D:href>/cal/a.ics</D:href><D:propstat>";
        QByteArray entities = "<?xml version=\"1.0\"?><!DOCTYPE D:multistatus [<!ENTITY a \"aaaaaaaaaa\">"
                              "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>";
        QTest::newRow("DTD with entities")
            << entities + open + "<D:response><D:href>/cal/&b;.ics</D:href></D:response></D:multistatus>";
        QTest::newRow("external entity")
            << "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + open
                   + "<D:response><D:href>&x;</D:href></D:response></D:multistatus>";
        QTest::newRow("nested 1,000 deep")
            << open + QByteArray("<D:x>").repeated(1000) + QByteArray("</D:x>").repeated(1000) + "</D:multistatus>";
        QTest::newRow("wrong namespace")
            << QByteArray("<multistatus xmlns=\"urn:other\"><response><href>/cal/a.ics</href></response></multistatus>");
        QTest::newRow("no namespace")
            << QByteArray("<multistatus><response><href>/cal/a.ics</href></response></multistatus>");
        QTest::newRow("response without href")
            << open + "<D:response><D:propstat><D:prop><D:getetag>\"1\"</D:getetag></D:prop>"
                      "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response></D:multistatus>";
        QTest::newRow("huge href")
            << open + "<D:response><D:href>/" + QByteArray(200000, 'a') + "</D:href></D:response></D:multistatus>";
        QTest::newRow("huge sync token")
            << open + "<D:sync-token>" + QByteArray(200000, 't') + "</D:sync-token></D:multistatus>";
    }

    void parseRefusesHostileAnswers()
    {
        QFETCH(QByteArray, body);
        const DavMultiStatus answer = DavXml::parseMultiStatus(body);
        QVERIFY2(!answer.error.isEmpty(), "a hostile answer was read as a good one");
        QVERIFY(answer.responses.isEmpty());
        QVERIFY(answer.syncToken.isEmpty());
    }

    void parseReadsMultiStatus()
    {
        // Any prefixes, the default namespace, and properties the server could not give.
        const DavMultiStatus sync = DavXml::parseMultiStatus(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<multistatus xmlns=\"DAV:\" xmlns:cal=\"urn:ietf:params:xml:ns:caldav\">"
            "<response><href>/cal/a.ics</href><propstat><prop><getetag>\"e1\"</getetag></prop>"
            "<status>HTTP/1.1 200 OK</status></propstat></response>"
            "<response><href>/cal/gone.ics</href><status>HTTP/1.1 404 Not Found</status></response>"
            "<sync-token>http://example.com/sync/2</sync-token></multistatus>");
        QCOMPARE(sync.error, QString());
        QCOMPARE(sync.syncToken, QStringLiteral("http://example.com/sync/2"));
        QCOMPARE(sync.responses.size(), 2);
        QCOMPARE(sync.responses.at(0).href, QStringLiteral("/cal/a.ics"));
        QCOMPARE(sync.responses.at(0).etag, QByteArray("\"e1\""));
        QCOMPARE(sync.responses.at(0).status, 0);
        QCOMPARE(sync.responses.at(1).status, 404);
        QVERIFY(sync.responses.at(1).etag.isEmpty());

        const DavMultiStatus multiget = DavXml::parseMultiStatus(
            "<x:multistatus xmlns:x=\"DAV:\" xmlns=\"urn:ietf:params:xml:ns:caldav\">"
            "<x:response><x:href>/cal/a.ics</x:href><x:propstat><x:prop><x:getetag>\"e1\"</x:getetag>"
            "<calendar-data><![CDATA[BEGIN:VCALENDAR\nEND:VCALENDAR\n]]></calendar-data></x:prop>"
            "<x:status>HTTP/1.1 200 OK</x:status></x:propstat></x:response>"
            "<x:response><x:href>/cal/b.ics</x:href><x:propstat><x:prop><x:getetag/><calendar-data/></x:prop>"
            "<x:status>HTTP/1.1 404 Not Found</x:status></x:propstat></x:response>"
            // The same local names in a foreign namespace are not the calendar's data.
            "<x:response><x:href>/cal/c.ics</x:href><x:propstat><x:prop xmlns:o=\"urn:other\">"
            "<o:getetag>\"no\"</o:getetag><x:calendar-data>no</x:calendar-data></x:prop>"
            "<x:status>HTTP/1.1 200 OK</x:status></x:propstat></x:response></x:multistatus>");
        QCOMPARE(multiget.error, QString());
        QCOMPARE(multiget.responses.size(), 3);
        QCOMPARE(multiget.responses.at(0).calendarData, QByteArray("BEGIN:VCALENDAR\nEND:VCALENDAR\n"));
        QVERIFY(multiget.responses.at(1).etag.isEmpty() && multiget.responses.at(1).calendarData.isEmpty());
        QVERIFY(multiget.responses.at(2).etag.isEmpty() && multiget.responses.at(2).calendarData.isEmpty());

        QVERIFY(DavXml::hasPrecondition("<d:error xmlns:d=\"DAV:\"><d:valid-sync-token/></d:error>",
                                        QStringLiteral("valid-sync-token")));
        QVERIFY(!DavXml::hasPrecondition("<error xmlns=\"urn:other\"><valid-sync-token/></error>",
                                         QStringLiteral("valid-sync-token")));
    }

    void hrefsHaveOneForm_data()
    {
        QTest::addColumn<QString>("href");
        QTest::newRow("relative") << QStringLiteral("x%40y%20z.ics");
        QTest::newRow("absolute path") << QStringLiteral("/cal/my%20tasks/x@y%20z.ics");
        QTest::newRow("full URL") << QStringLiteral("https://dav.example/cal/my tasks/x%40y z.ics");
        QTest::newRow("dot segments") << QStringLiteral("/cal/other/../my%20tasks/./x%40y%20z.ics");
    }

    void hrefsHaveOneForm()
    {
        QFETCH(QString, href);
        CalDavClient client;
        client.setServer(QUrl(QStringLiteral("https://dav.example/cal/my%20tasks")), QString(), QString());
        QCOMPARE(client.normalizedHref(href), QStringLiteral("/cal/my%20tasks/x%40y%20z.ics"));
        QCOMPARE(client.hrefFor(QStringLiteral("x@y z")), QStringLiteral("/cal/my%20tasks/x%40y%20z.ics"));
    }

    void hostileServerFailsCleanly_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<DavError::Kind>("kind");
        QTest::newRow("declared too large") << QStringLiteral("declared") << DavError::TooLarge;
        QTest::newRow("chunked too large") << QStringLiteral("chunked") << DavError::TooLarge;
        QTest::newRow("unsized too large") << QStringLiteral("unsized") << DavError::TooLarge;
        QTest::newRow("not XML") << QStringLiteral("garbage") << DavError::Malformed;
        QTest::newRow("hangs up") << QStringLiteral("hangup") << DavError::Unreachable;
        QTest::newRow("says nothing") << QStringLiteral("silent") << DavError::Unreachable;
        QTest::newRow("closed port") << QStringLiteral("closed") << DavError::Unreachable;
    }

    void hostileServerFailsCleanly()
    {
        QFETCH(QString, mode);
        QFETCH(DavError::Kind, kind);
        HostileServer server(mode);
        QVERIFY(server.isListening());
        const QUrl url = server.url();
        if (mode == QLatin1String("closed"))
            server.close();
        CalDavClient client;
        client.setServer(url, QString(), QString());
        client.setMaxResponseBytes(1024 * 1024);
        client.setTransferTimeout(mode == QLatin1String("silent") ? 300 : 20000);
        const auto [error, listing] = listChanges(client, QString());
        QCOMPARE(error.kind, kind);
        QVERIFY(error.message.contains(QLatin1String("127.0.0.1")));
        QVERIFY(listing.resources.isEmpty());
        if (mode == QLatin1String("closed"))
            QCOMPARE(error.message, QStringLiteral("Cannot reach 127.0.0.1: the connection was refused"));
    }

    // An answer far over the limit is refused as it comes, not once it is all there: the
    // connection ends while the server has sent little more than the limit (what the system's
    // buffers hold on the way), and nothing beyond the limit is kept meanwhile.
    void endlessAnswerIsCutOffEarly()
    {
        HostileServer server(QStringLiteral("endless"));
        QVERIFY(server.isListening());
        CalDavClient client;
        client.setServer(server.url(), QString(), QString());
        constexpr qint64 kLimit = 256 * 1024;
        client.setMaxResponseBytes(kLimit);
        const auto [error, listing] = listChanges(client, QString());
        QCOMPARE(error.kind, DavError::TooLarge);
        QVERIFY2(server.sent() < qint64(32) << 20, QByteArray::number(server.sent()).constData());
    }

    // A server whose certificate nobody vouches for is never talked to, and the user learns why.
    void untrustedCertificateIsRefused()
    {
        QFile certFile(QStringLiteral(VELTRY_TEST_DATA "/tls/selfsigned.crt"));
        QFile keyFile(QStringLiteral(VELTRY_TEST_DATA "/tls/selfsigned.key"));
        QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
        tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        QSslServer server;
        server.setSslConfiguration(tls);
        bool requestSeen = false;
        connect(&server, &QSslServer::pendingConnectionAvailable, this, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [&requestSeen] { requestSeen = true; });
        });
        QVERIFY(server.listen(QHostAddress::LocalHost));
        CalDavClient client;
        client.setServer(QUrl(QStringLiteral("https://127.0.0.1:%1/cal/").arg(server.serverPort())),
                         QStringLiteral("alice"), QStringLiteral("secret"));
        DavError error;
        bool done = false;
        client.probe([&](const DavError& e, const QString&) {
            error = e;
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 20000);
        QCOMPARE(error.kind, DavError::Certificate);
        QVERIFY2(error.message.contains(QLatin1String("127.0.0.1")) && error.message.contains(QLatin1String("self-signed")),
                 qPrintable(error.message));
        QVERIFY(!requestSeen);  // no password went out
    }

    void destroyedClientCallsNothingBack()
    {
        HostileServer server(QStringLiteral("silent"));
        auto client = std::make_unique<CalDavClient>();
        client->setServer(server.url(), QStringLiteral("alice"), QStringLiteral("secret"));
        bool called = false;
        client->listChanges(QString(), [&called](const DavError&, const DavListing&) { called = true; });
        QTRY_VERIFY(server.findChildren<QTcpSocket*>().size() == 1);
        client->fetch({}, [&called](const DavError&, const QList<DavResource>&) { called = true; });
        client.reset();
        QTest::qWait(50);
        QVERIFY(!called);
    }

    void probeTellsWhatIsWrong_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<DavError::Kind>("kind");
        const QString calendar = qEnvironmentVariable("RADICALE_URL");
        const QString open = qEnvironmentVariable("RADICALE_NOAUTH_URL");
        QTest::newRow("calendar") << calendar << "alice" << "secret" << DavError::None;
        QTest::newRow("not a calendar") << QUrl(calendar).resolved(QUrl(QStringLiteral(".."))).toString() << "alice" << "secret" << DavError::NotFound;
        QTest::newRow("no such address") << calendar + QStringLiteral("nothing/") << "alice" << "secret" << DavError::NotFound;
        QTest::newRow("wrong password") << calendar << "alice" << "wrong" << DavError::Authentication;
        QTest::newRow("no user") << calendar << "" << "" << DavError::Authentication;
        QTest::newRow("server without authentication") << open << "" << "" << DavError::None;
    }

    void probeTellsWhatIsWrong()
    {
        if (!haveServer())
            QSKIP("no calendar server; run through with_radicale.sh");
        QFETCH(QString, url);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(DavError::Kind, kind);
        CalDavClient client;
        client.setServer(QUrl(url), user, password);
        QString name;
        const DavError error = probe(client, &name);
        QCOMPARE(error.kind, kind);
        if (kind == DavError::None)
            QCOMPARE(name, QStringLiteral("Tasks"));
        if (kind == DavError::Authentication)
            QCOMPARE(error.message, QStringLiteral("The server 127.0.0.1 refused the user name or password."));
    }

    void writesHonourPreconditions()
    {
        if (!haveServer())
            QSKIP("no calendar server; run through with_radicale.sh");
        CalDavClient client;
        connectTo(client);
        const QString href = client.hrefFor(QUuid::createUuid().toString(QUuid::WithoutBraces));

        const auto [created, etag1] = put(client, href, todo(QStringLiteral("u1"), QStringLiteral("one")), QByteArray());
        QCOMPARE(created.kind, DavError::None);
        QVERIFY(!etag1.isEmpty());
        const auto [again, none] = put(client, href, todo(QStringLiteral("u1"), QStringLiteral("two")), QByteArray());
        QCOMPARE(again.kind, DavError::PreconditionFailed);
        const auto [changed, etag2] = put(client, href, todo(QStringLiteral("u1"), QStringLiteral("two")), etag1);
        QCOMPARE(changed.kind, DavError::None);
        QVERIFY(!etag2.isEmpty() && etag2 != etag1);
        const auto [stale, none2] = put(client, href, todo(QStringLiteral("u1"), QStringLiteral("three")), etag1);
        QCOMPARE(stale.kind, DavError::PreconditionFailed);
        // The same to-do under a second name: the answer says so.
        const auto [twice, none3] = put(client, href + QStringLiteral("-2.ics"), todo(QStringLiteral("u1"), QStringLiteral("one")), QByteArray());
        QVERIFY2(twice.message.contains(QLatin1String("already holds that to-do")), qPrintable(twice.message));

        QCOMPARE(remove(client, href, etag1).kind, DavError::PreconditionFailed);
        QCOMPARE(remove(client, href, etag2).kind, DavError::None);
        QCOMPARE(remove(client, href, QByteArray()).kind, DavError::None);
        const auto [fetched, found] = fetch(client, {href});
        QCOMPARE(fetched.kind, DavError::None);
        QVERIFY(found.isEmpty());
    }

    void listChangesFollowsTheToken()
    {
        if (!haveServer())
            QSKIP("no calendar server; run through with_radicale.sh");
        CalDavClient client;
        connectTo(client);
        const QString uidA = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString uidB = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString a = client.hrefFor(uidA);
        const QString b = client.hrefFor(uidB);
        const auto [createdA, etagA] = put(client, a, todo(uidA, QStringLiteral("first")), QByteArray());
        QCOMPARE(createdA.kind, DavError::None);

        const auto [error1, all] = listChanges(client, QString());
        QCOMPARE(error1.kind, DavError::None);
        QVERIFY(all.complete);
        QVERIFY(!all.syncToken.isEmpty());
        QVERIFY(hrefsOf(all, false).contains(a));
        QVERIFY(!hrefsOf(all, false).contains(client.normalizedHref(QString())));

        // Nothing changed: one request, nothing listed.
        const int before = syncReportsSoFar();
        const auto [error2, nothing] = listChanges(client, all.syncToken);
        QCOMPARE(error2.kind, DavError::None);
        QVERIFY(!nothing.complete);
        QVERIFY(nothing.resources.isEmpty());
        if (before >= 0)
            QCOMPARE(syncReportsSoFar() - before, 1);

        const auto [createdB, etagB] = put(client, b, todo(uidB, QStringLiteral("second")), QByteArray());
        QCOMPARE(createdB.kind, DavError::None);
        const auto [error3, added] = listChanges(client, nothing.syncToken);
        QCOMPARE(error3.kind, DavError::None);
        QCOMPARE(hrefsOf(added, false), QStringList{b});
        QCOMPARE(added.resources.first().etag, etagB);

        QCOMPARE(remove(client, a, etagA).kind, DavError::None);
        const auto [error4, removed] = listChanges(client, added.syncToken);
        QCOMPARE(error4.kind, DavError::None);
        QCOMPARE(hrefsOf(removed, true), QStringList{a});
        QVERIFY(hrefsOf(removed, false).isEmpty());

        // The data, for what is there; what is gone is left out.
        const auto [error5, fetched] = fetch(client, {a, b});
        QCOMPARE(error5.kind, DavError::None);
        QCOMPARE(fetched.size(), 1);
        QCOMPARE(fetched.first().href, b);
        QCOMPARE(fetched.first().etag, etagB);
        QVERIFY(fetched.first().calendarData.contains(("UID:" + uidB).toUtf8()));

        // A token the server does not know: everything again.
        const auto [error6, again] = listChanges(client, QStringLiteral("http://radicale.org/ns/sync/") + QString(64, QLatin1Char('0')));
        QCOMPARE(error6.kind, DavError::None);
        QVERIFY(again.complete);
        QVERIFY(hrefsOf(again, false).contains(b));
        QVERIFY(!hrefsOf(again, false).contains(a));
        QVERIFY(!again.syncToken.isEmpty());
        const auto [error7, after] = listChanges(client, again.syncToken);
        QCOMPARE(error7.kind, DavError::None);
        QVERIFY(after.resources.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCalDavClient)
#include "tst_caldavclient.moc"
