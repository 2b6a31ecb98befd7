#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;

namespace veltry::sync {

// Why a request to the calendar server failed. Only Unreachable is normal (offline); the others
// are worth telling the user about.
struct DavError
{
    enum Kind {
        None,
        Unreachable,        // no connection, host not found, time-out, server gone
        Authentication,     // the server refused the user name or password
        Certificate,        // the server's HTTPS certificate is not trusted; never ignored
        PreconditionFailed, // If-Match / If-None-Match did not hold: someone changed it first
        NotFound,
        InvalidSyncToken,   // the server no longer knows the sync token: list everything again
        Server,             // any other HTTP failure status
        Malformed,          // a response that could not be read
        TooLarge,           // a response over the size limit
    };
    Kind kind = None;
    QString message;  // for the user: what failed, naming the host and the reason
    explicit operator bool() const { return kind != None; }
};

// One calendar object resource of the collection as the server lists it.
struct DavResource
{
    QString href;             // as the server gave it (usually an absolute path)
    QByteArray etag;          // with its quotes, as the server gave it
    QByteArray calendarData;  // only when asked for
    bool removed = false;     // a sync report's "gone" entry (404)
};

struct DavListing
{
    QList<DavResource> resources;
    QString syncToken;        // empty when the server has none
    bool complete = false;    // true: every resource of the collection; false: only changes since the token
};

// The requests the sync needs, on Qt Network; nothing here blocks. Every callback runs once,
// on the thread of the client, also when the client is destroyed first (then not at all).
// Responses are size-limited and parsed defensively.
class CalDavClient : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxResponseBytes = 64 * 1024 * 1024;
    static constexpr qsizetype kMultigetBatch = 500;  // hrefs per calendar-multiget

    explicit CalDavClient(QObject* parent = nullptr);
    ~CalDavClient() override;

    // `collection` is the calendar collection's URL; a missing trailing "/" is added.
    void setServer(const QUrl& collection, const QString& user, const QString& password);
    QUrl collection() const { return m_collection; }
    // The host named in messages ("Server: cannot reach <host>").
    QString host() const { return m_collection.host(); }

    // PROPFIND depth 0: is this a calendar collection we may use? `name` is its display name.
    void probe(std::function<void(const DavError&, const QString& name)> done);

    // The resources changed since `syncToken` (all of them when it is empty), with ETags only,
    // through a sync-collection report. Where the server has no sync reports, or no longer knows
    // the token, falls back to a calendar-query of every VTODO's ETag (a complete listing).
    void listChanges(const QString& syncToken, std::function<void(const DavError&, const DavListing&)> done);

    // calendar-multiget: the data and ETags of `hrefs` (in batches if there are many).
    void fetch(const QStringList& hrefs, std::function<void(const DavError&, const QList<DavResource>&)> done);

    // PUT text/calendar. `ifMatch` empty: create only (If-None-Match: *); else If-Match.
    // `etag` is the new ETag from the response, empty when the server sent none.
    void put(const QString& href, const QByteArray& ics, const QByteArray& ifMatch,
             std::function<void(const DavError&, const QByteArray& etag)> done);

    // DELETE with If-Match (none when `ifMatch` is empty). A resource already gone is no error.
    void remove(const QString& href, const QByteArray& ifMatch, std::function<void(const DavError&)> done);

    // The href a new task's resource gets: the collection's path and "<uid>.ics".
    QString hrefFor(const QString& uid) const;

    // Hrefs are compared as strings, so every href given back is in one form: the absolute path,
    // each segment percent-decoded and encoded again with only letters, digits and "-._~" bare,
    // whichever way the server wrote it (a full URL, a relative path, other escapes).
    QString normalizedHref(const QString& href) const;

    // Tests lower the limits to check what happens beyond them.
    void setMaxResponseBytes(qint64 bytes) { m_maxResponseBytes = bytes; }
    void setTransferTimeout(int msecs) { m_transferTimeout = msecs; }

private:
    struct Response
    {
        DavError error;      // only failures below HTTP: network, authentication, size
        int status = 0;
        QByteArray body;
        QByteArray etag;     // the ETag header
        QString reason;      // the status line's text
    };
    using Header = std::pair<QByteArray, QByteArray>;

    void send(const QByteArray& verb, const QUrl& url, const QList<Header>& headers, const QByteArray& body,
              std::function<void(const Response&)> done);
    QUrl urlFor(const QString& href) const;
    bool isCollection(const QString& href) const;
    DavError httpError(const Response& response, const QString& href) const;
    DavError malformed(const QString& why) const;
    void syncFrom(const QString& requested, const QString& syncToken, DavListing listing, int pages,
                  std::function<void(const DavError&, const DavListing&)> done);
    void queryAll(std::function<void(const DavError&, const DavListing&)> done);
    void fetchBatch(QStringList hrefs, QList<DavResource> found,
                    std::function<void(const DavError&, const QList<DavResource>&)> done);

    QUrl m_collection;
    QString m_user;
    QString m_password;
    QNetworkAccessManager* m_network = nullptr;
    qint64 m_maxResponseBytes = kMaxResponseBytes;
    int m_transferTimeout = 120000;  // a large first listing can take a slow server a while
    bool m_noSyncReports = false;  // the server refused a sync report without a token: skip it
};

} // namespace veltry::sync
