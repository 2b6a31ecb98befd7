// Feeds arbitrary bytes to the reader of the calendar server's answers (multistatus documents
// and error bodies): it must refuse or read, never crash, overrun, expand entities or hold more
// than its bounds allow.
#include "FuzzCheck.h"
#include "sync/core/DavXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace veltry::sync;
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const DavMultiStatus status = DavXml::parseMultiStatus(body);
    check(status.responses.size() <= DavXml::kMaxResponses);
    check(status.syncToken.size() <= DavXml::kMaxShortText);
    for (const DavResponse& r : status.responses) {
        check(r.href.size() <= DavXml::kMaxShortText);
        check(r.etag.size() <= DavXml::kMaxShortText);
        check(r.syncToken.size() <= DavXml::kMaxShortText);
        check(r.displayName.size() <= DavXml::kMaxShortText);
        check(r.calendarData.size() <= DavXml::kMaxCalendarData);
    }
    DavXml::hasPrecondition(body, QStringLiteral("valid-sync-token"));
    return 0;
}
