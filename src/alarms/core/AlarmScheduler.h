#pragma once

#include "alarms/core/Recurrence.h"
#include "widgets/core/VectorGap.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace veltry {

class CellStore;
class LocaleFormats;

// One alarm pass over the task rows: rings the due tasks whose alarm is on, renews the overdue
// recurring ones whose alarm is off. It reads and writes the cells directly; the windows come
// in through the hooks.
//
// A pass runs every second over lists that may hold a hundred thousand rows, most never due.
// Each row's parsed due moment is kept with the raw texts it came from, so a row is parsed again
// only when its texts differ. Comparing the texts rather than trusting a change signal keeps
// this right whatever else inserts, removes, sorts or reloads rows between passes. Rows inserted
// or removed since the last pass are found the same way, and the kept rows below them move
// along instead of being parsed again.
//
// After a pass with nothing to do the scheduler follows the store's record of its changes, so
// the next pass costs what changed: kept entries shift with the rows inserted, removed or
// swapped, and only rows whose alarm cells were written are parsed again. Whenever that record
// is missing or broken, or belongs to another store, the pass compares every row as above.
class AlarmScheduler final
{
public:
    struct Hooks
    {
        // Shows the reminder for `row` modally; `typeIndex` is -1 for a type cell naming no type.
        std::function<void(int row, int typeIndex)> raiseReminder;
        // Appends one row at the end of the task rows and returns its index; by default the
        // store grows by one.
        std::function<int()> appendRow;
        // Tells the user a row's date or time could not be read.
        std::function<void(const QString& message)> reportUnreadable;
    };

    static const QString kUnreadableMessage;

    explicit AlarmScheduler(QStringList typeNames = Recurrence::typeNames());

    // One pass at `now` over the rows present when it starts (row 0 holds the titles).
    void checkAlarms(CellStore& cells, const QDateTime& now, const LocaleFormats& formats, const Hooks& hooks);

    // The alarm moment of a task as a comparable count of milliseconds on the local calendar;
    // nothing when the texts cannot be read. An empty time is midnight.
    static std::optional<qint64> alarmMoment(QStringView date, QStringView time, const QDate& today,
                                             const LocaleFormats& formats);
    static qint64 momentKey(const QDate& date, const QTime& time);

    // Appends the next occurrence of the recurring task in `row`, as renewal does: columns 1 to
    // 11 copied, the mark empty, the due date `next`; `row` itself becomes a one-time task, so it
    // is never renewed twice. `appendRow` as in Hooks. Returns the new row.
    static int appendOccurrence(CellStore& cells, int row, const QDate& next, const LocaleFormats& formats,
                                const std::function<int()>& appendRow);
    // A task being logged: when `row` is a recurring task with a readable due date, appends its
    // next occurrence, the first date of its series after both its due date and `today`. The
    // copy carries no UID: the logged task keeps its own, and the sync gives the copy a new one.
    // Returns the new row, or -1 when the task does not recur.
    static int renewLoggedTask(CellStore& cells, int row, const QDate& today, const LocaleFormats& formats,
                               const std::function<int()>& appendRow,
                               const QStringList& typeNames = Recurrence::typeNames());

    // Forgets the parsed rows (for a changed locale the pass notices this itself).
    void clearCache();
    // Texts already reported as unreadable; each is reported once.
    const QSet<QString>& reportedTexts() const { return m_reported; }
    // Rows parsed by the passes so far, which the rows kept from pass to pass are there to save.
    quint64 parsedRows() const { return m_parsed; }

private:
    enum Action : quint8 {
        WriteType = 1,   // the empty type cell becomes "0"
        Remind = 2,
        Renew = 4,
        Unreadable = 8,
    };

    struct Entry
    {
        static constexpr int kInline = 34;
        qint64 moment = std::numeric_limits<qint64>::max();  // due from here on; never without a date
        quint8 actions = 0;
        bool valid = false;
        quint8 len[4] = {0, 0, 0, 0};
        char bytes[kInline];
        std::unique_ptr<char[]> spill;  // the four texts when they do not fit inline
        const char* text() const { return spill ? spill.get() : bytes; }
        bool matches(const QByteArrayView (&cells)[4]) const;
        void store(const QByteArrayView (&cells)[4]);
        // What parsing and keeping an empty row leaves.
        void setBlank();
    };

    const Entry& entryFor(const CellStore& cells, int row, const QDateTime& now, const LocaleFormats& formats,
                          int& shift, int& budget);
    // The list has `shift` rows more (fewer when negative) than the cache: when the rows from
    // `row` on match entries that many places away, the entries move there. Returns how far they
    // moved, 0 for no fit; `budget` counts down the comparisons spent.
    int realign(const CellStore& cells, int row, int shift, int& budget);
    void parse(Entry& e, const QByteArrayView (&cells)[4], const QDateTime& now, const LocaleFormats& formats) const;
    bool keepCacheFor(const QDate& today, const LocaleFormats& formats);
    void renew(CellStore& cells, int row, const QDateTime& now, const LocaleFormats& formats, const Hooks& hooks);
    // Brings the entries in step with the changes the store recorded since the last quiet pass
    // and finds the first row with something to do at `nowKey` (0 for none). False when the
    // changes cannot be followed: every row must then be looked at.
    bool followChanges(const CellStore& cells, const QDateTime& now, qint64 nowKey, const LocaleFormats& formats,
                       int& first);

    // While following, inserted and removed entries open a gap in m_entries as the store does in
    // its rows, so a row added at the top does not move all the entries below; a full pass
    // closes it first.
    Entry& entryAt(int r) { return m_entries[m_gap.slot(r)]; }
    int entryCount() const { return int(m_entries.size()) - m_gap.size; }
    void insertEntries(int first, int count);
    void removeEntries(int first, int count);
    void resizeEntries(int count);

    QStringList m_typeNames;
    std::vector<Entry> m_entries;
    VectorGap m_gap;
    // The store's journal of changes since the last quiet pass (0: none); a new reader each time,
    // so that a journal on a store checked before is never taken for this one's.
    quint64 m_follow = 0;
    std::vector<int> m_dirty;
    QDate m_cacheDay;
    QString m_cacheFormat;
    QSet<QString> m_reported;
    mutable quint64 m_parsed = 0;
    // After a pass with nothing to do: the store's generation then and the earliest moment a row
    // falls due, so the passes until then cost nothing while nothing changes.
    bool m_quiet = false;
    quint64 m_quietGeneration = 0;
    qint64 m_quietUntil = 0;
};

} // namespace veltry
