#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace veltry::sync {

// One <response> of a multistatus, with the properties its successful propstats carried.
struct DavResponse
{
    QString href;               // as written in the document, not yet resolved
    int status = 0;             // the response's own status (a removed member's 404); 0 when none
    QByteArray etag;
    QByteArray calendarData;
    QString displayName;
    QString syncToken;          // a PROPFIND's DAV:sync-token property
    bool isCalendar = false;    // resourcetype holds a calendar
    bool hasComponentSet = false;
    QStringList components;     // supported-calendar-component-set, e.g. "VTODO"
};

struct DavMultiStatus
{
    QList<DavResponse> responses;
    QString syncToken;          // the sync report's new token; empty when none came
    QString error;              // why the document could not be read; empty when it could
};

// Request bodies and the reading of the server's answers; no network here. The reader is
// namespace-aware and bounded (nesting, number of responses, text lengths) and refuses document
// type declarations, so a hostile server can only make a request fail, never expand entities
// or exhaust memory.
namespace DavXml {

inline constexpr int kMaxDepth = 64;
inline constexpr int kMaxResponses = 1000000;
inline constexpr int kMaxShortText = 16 * 1024;             // hrefs, tokens, ETags, names
inline constexpr int kMaxCalendarData = 16 * 1024 * 1024;

QByteArray propfindCollection();
QByteArray syncCollection(const QString& syncToken);
QByteArray calendarQueryEtags();
QByteArray calendarMultiget(const QStringList& hrefs);

DavMultiStatus parseMultiStatus(const QByteArray& body);

// True when `body` is a DAV:error naming the precondition `name` in the DAV: namespace
// (e.g. "valid-sync-token"). Anything unreadable is false.
bool hasPrecondition(const QByteArray& body, const QString& name);

} // namespace DavXml

} // namespace veltry::sync
