// Feeds arbitrary bytes to the calendar reader, as an imported file and as one to-do a server
// sends: it must refuse or read, never crash, overrun, hang on a long line or allocate without
// bound. What it reads must go out and come back as the same number of to-dos, and a to-do
// changed here over the server's copy must come back changed.
#include "FuzzCheck.h"
#include "platform/core/AppError.h"
#include "store/core/ICalendar.h"


namespace {

const veltry::ICalendar::Context& context()
{
    static const veltry::ICalendar::Context pinned = [] {
        veltry::ICalendar::Context c;
        c.formats = veltry::LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'));
        c.local = QTimeZone(2 * 3600);
        c.now = QDateTime(QDate(2026, 5, 10), QTime(12, 0), c.local);
        return c;
    }();
    return pinned;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace veltry;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const ICalendar::Tasks tasks = ICalendar::decode(bytes, context());
        check(tasks.rows.rowCount() == 1 + tasks.todos);
        check(tasks.todos >= 0 && tasks.skipped >= 0);
        const ICalendar::Tasks again = ICalendar::decode(ICalendar::encode(tasks.rows, context()), context());
        int written = 0;
        for (int r = 1; r < tasks.rows.rowCount(); ++r)
            for (int c = 0; c < tasks.rows.columnCount(); ++c)
                if (!tasks.rows.isCellEmpty(c, r)) {
                    ++written;
                    break;
                }
        check(again.todos == written);
    } catch (const AppError&) {
    }
    try {
        if (auto task = ICalendar::decodeTask(bytes, context())) {
            check(!(*task)[TaskCol::Task].isEmpty());
            // Written over the copy it came from, with its description changed: read back as such.
            (*task)[TaskCol::Task] = QStringLiteral("changed here");
            const auto back = ICalendar::decodeTask(ICalendar::encodeTask(*task, QDateTime(), context(), bytes), context());
            check(back && (*back)[TaskCol::Task] == QStringLiteral("changed here"));
        }
    } catch (const AppError&) {
    }
    return 0;
}
