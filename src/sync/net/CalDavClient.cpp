#include "sync/net/CalDavClient.h"

#include "sync/core/DavXml.h"

#include <QAuthenticator>
#include <QHash>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <memory>
#ifndef QT_NO_SSL
#include <QSslError>
#endif

namespace veltry::sync {

namespace {

constexpr char kAuthTried[] = "veltryAuthTried";
// A server that keeps saying "more to come" is not followed for ever.
constexpr int kMaxSyncPages = 1000;

const QByteArray kXmlType = QByteArrayLiteral("application/xml; charset=utf-8");
const QByteArray kCalendarType = QByteArrayLiteral("text/calendar; charset=utf-8");

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

// Errors below HTTP: the status code, if any, does not tell what happened.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return (error > QNetworkReply::NoError && error < QNetworkReply::ProxyConnectionRefusedError)
           || (error >= QNetworkReply::ProxyConnectionRefusedError && error < QNetworkReply::ContentAccessDenied);
}

} // namespace

CalDavClient::CalDavClient(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    // Credentials are given once per request: a second question for the same request means the
    // server refused them, and answering again would only loop.
    connect(m_network, &QNetworkAccessManager::authenticationRequired, this,
            [this](QNetworkReply* reply, QAuthenticator* auth) {
                if (m_user.isEmpty() || reply->property(kAuthTried).toBool())
                    return;
                reply->setProperty(kAuthTried, true);
                auth->setUser(m_user);
                auth->setPassword(m_password);
            });
}

// Replies still running go with the network manager; their callbacks are disconnected first,
// as this object is their context.
CalDavClient::~CalDavClient() = default;

void CalDavClient::setServer(const QUrl& collection, const QString& user, const QString& password)
{
    m_collection = collection;
    m_collection.setQuery(QString());
    m_collection.setFragment(QString());
    if (!m_collection.path().endsWith(QLatin1Char('/')))
        m_collection.setPath(m_collection.path(QUrl::FullyEncoded) + QLatin1Char('/'), QUrl::TolerantMode);
    m_user = user;
    m_password = password;
    m_noSyncReports = false;
    // Credentials the manager remembers from the previous server must not be offered to this one.
    m_network->clearAccessCache();
    m_network->clearConnectionCache();
}

QString CalDavClient::normalizedHref(const QString& href) const
{
    const QUrl resolved = m_collection.resolved(QUrl(href, QUrl::TolerantMode));
    QStringList segments = resolved.path(QUrl::FullyEncoded).split(QLatin1Char('/'));
    for (QString& segment : segments)
        segment = QString::fromLatin1(QUrl::toPercentEncoding(QUrl::fromPercentEncoding(segment.toLatin1())));
    return segments.join(QLatin1Char('/'));
}

QString CalDavClient::hrefFor(const QString& uid) const
{
    return normalizedHref(m_collection.path(QUrl::FullyEncoded)
                          + QString::fromLatin1(QUrl::toPercentEncoding(uid)) + QStringLiteral(".ics"));
}

QUrl CalDavClient::urlFor(const QString& href) const
{
    QUrl url = m_collection;
    url.setPath(normalizedHref(href), QUrl::TolerantMode);
    return url;
}

// The collection itself, and any collection inside it, are no calendar objects.
bool CalDavClient::isCollection(const QString& href) const
{
    return href.endsWith(QLatin1Char('/')) || href + QLatin1Char('/') == normalizedHref(QString());
}

DavError CalDavClient::httpError(const Response& response, const QString& href) const
{
    const QString path = normalizedHref(href);
    switch (response.status) {
    case 404:
    case 410:
        return {DavError::NotFound, tr("The server %1 has no %2.").arg(host(), path)};
    case 412:
        return {DavError::PreconditionFailed, tr("%1 was changed on the server %2 meanwhile.").arg(path, host())};
    default:
        return {DavError::Server, tr("The server %1 answered %2 %3 for %4.")
                                      .arg(host()).arg(response.status).arg(response.reason, path)};
    }
}

DavError CalDavClient::malformed(const QString& why) const
{
    return {DavError::Malformed, tr("The server %1 sent an answer that cannot be read: %2.").arg(host(), why)};
}

void CalDavClient::send(const QByteArray& verb, const QUrl& url, const QList<Header>& headers,
                        const QByteArray& body, std::function<void(const Response&)> done)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(m_transferTimeout);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    for (const Header& header : headers)
        request.setRawHeader(header.first, header.second);
    QNetworkReply* reply = m_network->sendCustomRequest(request, verb, body);
    // Qt buffers what arrives without bound unless told: the answer is held to the limit (and
    // the byte that tells it went over) from the first byte on.
    reply->setReadBufferSize(m_maxResponseBytes + 1);

    struct State
    {
        QByteArray body;
        bool tooLarge = false;
        bool finished = false;
        QStringList sslErrors;
    };
    auto state = std::make_shared<State>();
    const qint64 limit = m_maxResponseBytes;
    // abort() finishes the reply at once; the finished handler then reports the size.
    auto refuse = [reply, state] {
        if (state->tooLarge || state->finished)
            return;
        state->tooLarge = true;
        state->body.clear();
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, limit, refuse] {
        bool ok = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && length > limit)
            refuse();
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, state, limit, refuse] {
        if (state->tooLarge || state->finished)
            return;
        state->body += reply->read(limit + 1 - state->body.size());
        if (state->body.size() > limit || reply->bytesAvailable() > 0)
            refuse();
    });
#ifndef QT_NO_SSL
    // Never ignored: the reply fails, and the user is told why.
    connect(reply, &QNetworkReply::sslErrors, this, [state](const QList<QSslError>& errors) {
        for (const QSslError& error : errors)
            state->sslErrors.append(error.errorString());
    });
#endif
    connect(reply, &QNetworkReply::finished, this, [reply, state, limit, url, done = std::move(done)] {
        if (state->finished)
            return;
        state->finished = true;
        reply->deleteLater();
        const QString server = url.host();
        Response response;
        if (!state->tooLarge && reply->isOpen()) {
            state->body += reply->read(limit + 1 - state->body.size());
            state->tooLarge = state->body.size() > limit || reply->bytesAvailable() > 0;
        }
        const QNetworkReply::NetworkError error = reply->error();
        response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (state->tooLarge) {
            response.error = {DavError::TooLarge, tr("The server %1 sent an answer over the limit of %2 bytes.")
                                                      .arg(server).arg(limit)};
        } else if (!state->sslErrors.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
            const QString why = state->sslErrors.isEmpty() ? reply->errorString() : state->sslErrors.join(QStringLiteral("; "));
            response.error = {DavError::Certificate, tr("The certificate of the server %1 is not trusted: %2").arg(server, why)};
        } else if (response.status == 401 || error == QNetworkReply::AuthenticationRequiredError) {
            response.error = {DavError::Authentication, tr("The server %1 refused the user name or password.").arg(server)};
        } else if (error == QNetworkReply::TooManyRedirectsError || error == QNetworkReply::InsecureRedirectError) {
            response.error = {DavError::Server, tr("The server %1 sent the request on to another server.").arg(server)};
        } else if (isTransportError(error) || response.status == 0) {
            QString reason;
            switch (error) {
            case QNetworkReply::ConnectionRefusedError: reason = tr("the connection was refused"); break;
            case QNetworkReply::HostNotFoundError: reason = tr("the host was not found"); break;
            case QNetworkReply::TimeoutError:
            case QNetworkReply::OperationCanceledError: reason = tr("no answer in time"); break;
            case QNetworkReply::RemoteHostClosedError: reason = tr("the server closed the connection"); break;
            default: reason = reply->errorString(); break;
            }
            response.error = {DavError::Unreachable, tr("Cannot reach %1: %2").arg(server, reason)};
        } else {
            response.body = std::move(state->body);
            response.etag = reply->rawHeader("ETag");
            response.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        }
        done(response);
    });
}

void CalDavClient::probe(std::function<void(const DavError&, const QString& name)> done)
{
    send("PROPFIND", m_collection, {{"Depth", "0"}, {"Content-Type", kXmlType}}, DavXml::propfindCollection(),
         [this, done](const Response& r) {
             if (r.error)
                 return done(r.error, QString());
             if (r.status != 207)
                 return done(httpError(r, QString()), QString());
             const DavMultiStatus answer = DavXml::parseMultiStatus(r.body);
             if (!answer.error.isEmpty())
                 return done(malformed(answer.error), QString());
             const QString self = normalizedHref(QString());
             const DavResponse* found = nullptr;
             for (const DavResponse& response : answer.responses)
                 if (normalizedHref(response.href) == self || normalizedHref(response.href) + QLatin1Char('/') == self)
                     found = &response;
             if (!found || !found->isCalendar)
                 return done({DavError::NotFound, tr("The address %1 on the server %2 is not a calendar.")
                                                     .arg(self, host())}, QString());
             if (found->hasComponentSet && !found->components.contains(QLatin1String("VTODO")))
                 return done({DavError::NotFound, tr("The calendar %1 on the server %2 takes no tasks.")
                                                     .arg(self, host())}, QString());
             QString name = found->displayName.trimmed();
             if (name.isEmpty())
                 name = QUrl::fromPercentEncoding(self.section(QLatin1Char('/'), -2, -2).toLatin1());
             done(DavError(), name);
         });
}

void CalDavClient::listChanges(const QString& syncToken, std::function<void(const DavError&, const DavListing&)> done)
{
    if (m_noSyncReports)
        return queryAll(std::move(done));
    syncFrom(syncToken, syncToken, DavListing(), 0, std::move(done));
}

void CalDavClient::syncFrom(const QString& requested, const QString& syncToken, DavListing listing, int pages,
                            std::function<void(const DavError&, const DavListing&)> done)
{
    // The report applies to the collection's members by definition; RFC 6578 wants Depth 0.
    send("REPORT", m_collection, {{"Depth", "0"}, {"Content-Type", kXmlType}}, DavXml::syncCollection(syncToken),
         [this, requested, syncToken, listing = std::move(listing), pages, done](const Response& r) mutable {
             if (r.error)
                 return done(r.error, DavListing());
             if (r.status != 207) {
                 const bool tokenRefused = !syncToken.isEmpty()
                     && (r.status == 400 || r.status == 403 || r.status == 409
                         || DavXml::hasPrecondition(r.body, QStringLiteral("valid-sync-token")));
                 const bool noReports = r.status == 501 || r.status == 405
                     || (syncToken.isEmpty() && (r.status == 400 || r.status == 403));
                 if (noReports)
                     m_noSyncReports = true;
                 if (tokenRefused || noReports)
                     return queryAll(done);
                 return done(httpError(r, QString()), DavListing());
             }
             const DavMultiStatus answer = DavXml::parseMultiStatus(r.body);
             if (!answer.error.isEmpty())
                 return done(malformed(answer.error), DavListing());
             if (answer.syncToken.isEmpty()) {
                 m_noSyncReports = true;
                 return queryAll(done);
             }
             QHash<QString, qsizetype> index;
             for (qsizetype i = 0; i < listing.resources.size(); ++i)
                 index.insert(listing.resources.at(i).href, i);
             bool truncated = false;
             for (const DavResponse& response : answer.responses) {
                 const QString href = normalizedHref(response.href);
                 if (isCollection(href)) {
                     // 507 on the collection: more changes than one answer holds.
                     truncated = truncated || response.status == 507;
                     continue;
                 }
                 DavResource resource;
                 resource.href = href;
                 if (response.status == 404)
                     resource.removed = true;
                 else if (!response.etag.isEmpty())
                     resource.etag = response.etag;
                 else
                     continue;
                 if (const auto at = index.constFind(href); at != index.constEnd())
                     listing.resources[*at] = resource;
                 else {
                     index.insert(href, listing.resources.size());
                     listing.resources.append(resource);
                 }
             }
             listing.syncToken = answer.syncToken;
             listing.complete = requested.isEmpty();
             if (truncated && answer.syncToken != syncToken && pages + 1 < kMaxSyncPages)
                 return syncFrom(requested, answer.syncToken, std::move(listing), pages + 1, done);
             done(DavError(), listing);
         });
}

void CalDavClient::queryAll(std::function<void(const DavError&, const DavListing&)> done)
{
    auto query = [this, done](const QString& token) {
        send("REPORT", m_collection, {{"Depth", "1"}, {"Content-Type", kXmlType}}, DavXml::calendarQueryEtags(),
             [this, token, done](const Response& r) {
                 if (r.error)
                     return done(r.error, DavListing());
                 if (r.status != 207)
                     return done(httpError(r, QString()), DavListing());
                 const DavMultiStatus answer = DavXml::parseMultiStatus(r.body);
                 if (!answer.error.isEmpty())
                     return done(malformed(answer.error), DavListing());
                 DavListing listing;
                 listing.complete = true;
                 listing.syncToken = token;
                 QSet<QString> seen;
                 for (const DavResponse& response : answer.responses) {
                     const QString href = normalizedHref(response.href);
                     if (isCollection(href) || response.etag.isEmpty() || response.status == 404 || seen.contains(href))
                         continue;
                     seen.insert(href);
                     listing.resources.append({href, response.etag, QByteArray(), false});
                 }
                 done(DavError(), listing);
             });
    };
    if (m_noSyncReports)
        return query(QString());
    // The token is read before the listing, so a change made between the two is listed again
    // next time rather than missed.
    send("PROPFIND", m_collection, {{"Depth", "0"}, {"Content-Type", kXmlType}}, DavXml::propfindCollection(),
         [this, done, query](const Response& r) {
             if (r.error)
                 return done(r.error, DavListing());
             QString token;
             if (r.status == 207) {
                 const DavMultiStatus answer = DavXml::parseMultiStatus(r.body);
                 for (const DavResponse& response : answer.responses)
                     if (isCollection(normalizedHref(response.href)))
                         token = response.syncToken;
             }
             query(token);
         });
}

void CalDavClient::fetch(const QStringList& hrefs, std::function<void(const DavError&, const QList<DavResource>&)> done)
{
    QStringList wanted;
    wanted.reserve(hrefs.size());
    for (const QString& href : hrefs)
        wanted.append(normalizedHref(href));
    wanted.removeDuplicates();
    if (wanted.isEmpty()) {
        // Still called back later, like every other answer.
        QMetaObject::invokeMethod(this, [done] { done(DavError(), QList<DavResource>()); }, Qt::QueuedConnection);
        return;
    }
    fetchBatch(wanted, QList<DavResource>(), std::move(done));
}

void CalDavClient::fetchBatch(QStringList hrefs, QList<DavResource> found,
                              std::function<void(const DavError&, const QList<DavResource>&)> done)
{
    const QStringList batch = hrefs.mid(0, CalDavClient::kMultigetBatch);
    hrefs.remove(0, batch.size());
    send("REPORT", m_collection, {{"Depth", "1"}, {"Content-Type", kXmlType}}, DavXml::calendarMultiget(batch),
         [this, batch, hrefs, found = std::move(found), done](const Response& r) mutable {
             if (r.error)
                 return done(r.error, QList<DavResource>());
             if (r.status != 207)
                 return done(httpError(r, QString()), QList<DavResource>());
             const DavMultiStatus answer = DavXml::parseMultiStatus(r.body);
             if (!answer.error.isEmpty())
                 return done(malformed(answer.error), QList<DavResource>());
             QSet<QString> asked(batch.cbegin(), batch.cend());
             for (const DavResponse& response : answer.responses) {
                 const QString href = normalizedHref(response.href);
                 // Gone meanwhile (404), or something not asked for: left out.
                 if (response.status == 404 || response.etag.isEmpty() || response.calendarData.isEmpty()
                     || !asked.remove(href))
                     continue;
                 found.append({href, response.etag, response.calendarData, false});
             }
             if (hrefs.isEmpty())
                 return done(DavError(), found);
             fetchBatch(std::move(hrefs), std::move(found), std::move(done));
         });
}

void CalDavClient::put(const QString& href, const QByteArray& ics, const QByteArray& ifMatch,
                       std::function<void(const DavError&, const QByteArray& etag)> done)
{
    QList<Header> headers{{"Content-Type", kCalendarType}};
    if (ifMatch.isEmpty())
        headers.append(Header("If-None-Match", "*"));
    else
        headers.append(Header("If-Match", ifMatch));
    send("PUT", urlFor(href), headers, ics, [this, href, done](const Response& r) {
        if (r.error)
            return done(r.error, QByteArray());
        // A collection holds one resource a UID (RFC 4791's no-uid-conflict, in the CalDAV
        // namespace; the word alone is enough to tell the user).
        if ((r.status == 403 || r.status == 409) && r.body.contains("no-uid-conflict"))
            return done({DavError::Server, tr("The server %1 did not take %2: it already holds that to-do (the same UID) "
                                              "under another name, or another to-do under that name.")
                                               .arg(host(), normalizedHref(href))},
                        QByteArray());
        if (!isSuccess(r.status))
            return done(httpError(r, href), QByteArray());
        done(DavError(), r.etag);
    });
}

void CalDavClient::remove(const QString& href, const QByteArray& ifMatch, std::function<void(const DavError&)> done)
{
    QList<Header> headers;
    if (!ifMatch.isEmpty())
        headers.append(Header("If-Match", ifMatch));
    send("DELETE", urlFor(href), headers, QByteArray(), [this, href, done](const Response& r) {
        if (r.error)
            return done(r.error);
        if (isSuccess(r.status) || r.status == 404 || r.status == 410)
            return done(DavError());
        done(httpError(r, href));
    });
}

} // namespace veltry::sync
