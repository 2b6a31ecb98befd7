#include "alarms/core/AlarmScheduler.h"

#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/core/CellStore.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace veltry {

namespace {
// The four cells a row's alarm depends on, in the order the cache keeps them.
constexpr int kKeyColumns[4] = {TaskCol::DueDate, TaskCol::DueTime, TaskCol::Alarm, TaskCol::Type};
constexpr qint64 kMsPerDay = 86'400'000;
// Past this many changes between passes, looking at every row costs about as much.
constexpr size_t kMaxFollowed = 512;

bool isKeyColumn(int col)
{
    return std::find(std::begin(kKeyColumns), std::end(kKeyColumns), col) != std::end(kKeyColumns);
}

inline void readKey(const CellStore& cells, int row, QByteArrayView (&out)[4])
{
    if (row >= cells.rowCount()) {
        for (auto& v : out)
            v = {};
        return;
    }
    const RowCells& rc = cells.row(row);
    for (int i = 0; i < 4; ++i)
        out[i] = rc.cell(kKeyColumns[i]);
}

QString text(QByteArrayView utf8)
{
    return QString::fromUtf8(utf8);
}

// The texts compared here are a few bytes long, far below where a library memcmp pays off.
inline bool sameBytes(const char* a, const char* b, size_t n)
{
    if (n >= 8) {
        quint64 x, y;
        for (size_t i = 0; i + 8 <= n; i += 8) {
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y)
                return false;
        }
        std::memcpy(&x, a + n - 8, 8);
        std::memcpy(&y, b + n - 8, 8);
        return x == y;
    }
    if (n >= 4) {
        quint32 x, y, u, v;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        std::memcpy(&u, a + n - 4, 4);
        std::memcpy(&v, b + n - 4, 4);
        return x == y && u == v;
    }
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}
} // namespace

const QString AlarmScheduler::kUnreadableMessage = QStringLiteral("got screwed up in check alarms. Blank due date maybe?");

AlarmScheduler::AlarmScheduler(QStringList typeNames) : m_typeNames(std::move(typeNames)) {}

qint64 AlarmScheduler::momentKey(const QDate& date, const QTime& time)
{
    return date.toJulianDay() * kMsPerDay + time.msecsSinceStartOfDay();
}

std::optional<qint64> AlarmScheduler::alarmMoment(QStringView date, QStringView time, const QDate& today,
                                                  const LocaleFormats& formats)
{
    const QDate d = formats.parseDate(date, today);
    if (!d.isValid())
        return std::nullopt;
    QTime t(0, 0);
    if (!time.isEmpty()) {
        const auto parsed = formats.parseTime(time);
        if (!parsed)
            return std::nullopt;
        t = *parsed;
    }
    return momentKey(d, t);
}

Q_ALWAYS_INLINE bool AlarmScheduler::Entry::matches(const QByteArrayView (&cells)[4]) const
{
    if (!valid)
        return false;
    for (int i = 0; i < 4; ++i)
        if (cells[i].size() != len[i])
            return false;
    const char* p = text();
    for (int i = 0; i < 4;) {
        // Neighbouring cells usually lie side by side in the row; compare them in one go.
        size_t run = len[i];
        int next = i + 1;
        while (next < 4 && cells[next].data() == cells[i].data() + run) {
            run += len[next];
            ++next;
        }
        if (run && !sameBytes(p, cells[i].data(), run))
            return false;
        p += run;
        i = next;
    }
    return true;
}

void AlarmScheduler::Entry::store(const QByteArrayView (&cells)[4])
{
    size_t total = 0;
    for (int i = 0; i < 4; ++i)
        total += size_t(cells[i].size());
    spill.reset();
    // A text longer than a length byte holds is never a readable date; it is kept out of the
    // cache, so the row is looked at afresh each pass.
    for (int i = 0; i < 4; ++i)
        if (cells[i].size() > 255) {
            valid = false;
            return;
        }
    char* p = bytes;
    if (total > size_t(kInline)) {
        spill.reset(new char[total]);
        p = spill.get();
    }
    for (int i = 0; i < 4; ++i) {
        len[i] = quint8(cells[i].size());
        if (len[i])
            std::memcpy(p, cells[i].data(), len[i]);
        p += len[i];
    }
    valid = true;
}

void AlarmScheduler::Entry::setBlank()
{
    spill.reset();
    moment = std::numeric_limits<qint64>::max();
    actions = 0;
    valid = true;
    std::fill(std::begin(len), std::end(len), quint8(0));
}

void AlarmScheduler::parse(Entry& e, const QByteArrayView (&cells)[4], const QDateTime& now,
                           const LocaleFormats& formats) const
{
    ++m_parsed;
    e.actions = 0;
    e.moment = std::numeric_limits<qint64>::max();
    if (cells[0].isEmpty())
        return;  // no due date, never due, whatever the other cells say
    const QDate today = now.date();
    const QString dateText = text(cells[0]);
    const QDate due = formats.parseDate(dateText, today);
    QTime time(0, 0);
    bool readable = due.isValid();
    if (readable && !cells[1].isEmpty()) {
        const auto t = formats.parseTime(text(cells[1]));
        readable = t.has_value();
        if (t)
            time = *t;
    }
    if (!readable) {
        e.actions = Unreadable;
        e.moment = std::numeric_limits<qint64>::min();
        return;
    }
    if (cells[3].isEmpty())
        e.actions |= WriteType;
    if (cells[2] == QByteArrayView("Y")) {
        e.actions |= Remind;
    } else {
        const int index = cells[3].isEmpty() ? 0 : Recurrence::typeIndex(text(cells[3]), m_typeNames);
        if (index >= 0 && today > due) {
            const QString name = m_typeNames.at(index).toUpper();
            // A name without a step would never move on; such a task is left as it is.
            if (name != QLatin1String("ONE-TIME") && !Recurrence::stepFor(name).isNone())
                e.actions |= Renew;
        }
    }
    e.moment = momentKey(due, time);
}

Q_ALWAYS_INLINE const AlarmScheduler::Entry& AlarmScheduler::entryFor(const CellStore& cells, int row,
                                                                      const QDateTime& now,
                                                                      const LocaleFormats& formats, int& shift,
                                                                      int& budget)
{
    if (size_t(row) >= m_entries.size()) [[unlikely]]
        m_entries.resize(size_t(row) + 1);
    QByteArrayView key[4];
    readKey(cells, row, key);
    if (!m_entries[size_t(row)].matches(key)) [[unlikely]] {
        if (shift)
            shift -= realign(cells, row, shift, budget);
        Entry& e = m_entries[size_t(row)];
        if (!e.matches(key)) {
            parse(e, key, now, formats);
            e.store(key);
        }
    }
    return m_entries[size_t(row)];
}

int AlarmScheduler::realign(const CellStore& cells, int row, int shift, int& budget)
{
    // Several rows must agree, so that a run of rows with like texts is no false lead.
    constexpr int kConfirm = 4;
    const int rowCount = cells.rowCount();
    const int size = int(m_entries.size());
    if (shift > 0 && !m_entries[size_t(row)].valid)
        return 0;  // nothing kept here that could have moved down
    QByteArrayView key[4];
    for (int s = 1; s <= std::abs(shift) && budget > 0; ++s) {
        int agreed = 0;
        for (int j = 0; j < kConfirm; ++j) {
            const int cellRow = shift > 0 ? row + s + j : row + j;
            const int entry = shift > 0 ? row + j : row + s + j;
            if (cellRow >= rowCount || entry >= size || (shift > 0 && row + s >= size))
                break;
            --budget;
            readKey(cells, cellRow, key);
            if (!m_entries[size_t(entry)].matches(key)) {
                agreed = 0;
                break;
            }
            ++agreed;
        }
        if (!agreed)
            continue;
        const auto at = m_entries.begin() + row;
        if (shift > 0) {
            // The entries past the old end are blank; `s` of them make room here.
            std::move_backward(at, m_entries.end() - s, m_entries.end());
            for (int i = 0; i < s; ++i)
                at[i] = Entry{};
            return s;
        }
        m_entries.erase(at, at + s);
        return -s;
    }
    return 0;
}

bool AlarmScheduler::keepCacheFor(const QDate& today, const LocaleFormats& formats)
{
    // What a text means depends on the day (years written with two digits, dates without a
    // year, whether renewal is due) and on the locale's formats.
    const QString format = formats.shortDateFormat() + formats.dateSeparator() + formats.timeSeparator()
        + formats.amDesignator() + QChar(0x1f) + formats.pmDesignator();
    if (today == m_cacheDay && format == m_cacheFormat)
        return true;
    m_cacheDay = today;
    m_cacheFormat = format;
    return false;
}

void AlarmScheduler::clearCache()
{
    m_entries.clear();
    m_gap = {};
    m_quiet = false;
    m_follow = 0;
}

void AlarmScheduler::insertEntries(int first, int count)
{
    m_gap.open(m_entries, first, count);
    for (int i = 0; i < count; ++i)
        entryAt(first + i).setBlank();
}

void AlarmScheduler::removeEntries(int first, int count)
{
    m_gap.take(m_entries, first, count, [](Entry& e) { e.spill.reset(); });
}

void AlarmScheduler::resizeEntries(int count)
{
    const int old = entryCount();
    m_gap.resize(m_entries, count);
    for (int r = old; r < count; ++r)
        entryAt(r).setBlank();
}

bool AlarmScheduler::followChanges(const CellStore& cells, const QDateTime& now, qint64 nowKey,
                                   const LocaleFormats& formats, int& first)
{
    CellJournal changes;
    const quint64 reader = std::exchange(m_follow, 0);  // until the changes are all taken in
    if (!reader || !cells.takeRowJournal(reader, changes) || changes.ops.size() > kMaxFollowed)
        return false;
    // The rows whose alarm cells were written, kept where those rows are now. Row 0 holds the
    // titles, never parsed: a change that moves it is not followed.
    std::vector<int>& dirty = m_dirty;
    dirty.clear();
    constexpr int kLastKey = *std::max_element(std::begin(kKeyColumns), std::end(kKeyColumns));
    for (const CellJournal::Op& op : changes.ops) {
        switch (op.kind) {
        case CellJournal::SetCell:
            if (op.b > 0 && isKeyColumn(op.a))
                dirty.push_back(op.b);
            break;
        case CellJournal::SetColumnCount:
            if (std::clamp(op.a, 0, CellStore::kMaxColumns) <= kLastKey)
                return false;
            break;
        case CellJournal::SetRowCount: {
            const int n = std::clamp(op.a, 0, CellStore::kMaxRows);
            if (n < 1)
                return false;
            resizeEntries(n);
            std::erase_if(dirty, [n](int r) { return r >= n; });
            break;
        }
        case CellJournal::ClearRows: {
            if (op.a <= 0 && op.b > 0)
                return false;
            const int end = int(std::min<qint64>(entryCount(), qint64(op.a) + op.b));
            for (int r = op.a; r < end; ++r)
                entryAt(r).setBlank();
            break;
        }
        case CellJournal::RemoveRows:
            if (op.a == 0 || qint64(op.a) + op.b > entryCount())
                return false;
            removeEntries(op.a, op.b);
            std::erase_if(dirty, [&](int r) { return r >= op.a && r < op.a + op.b; });
            for (int& r : dirty)
                if (r >= op.a)
                    r -= op.b;
            break;
        case CellJournal::InsertRows:
            if (op.a == 0 || op.a > entryCount())
                return false;
            insertEntries(op.a, op.b);
            for (int& r : dirty)
                if (r >= op.a)
                    r += op.b;
            break;
        case CellJournal::SwapRows:
            if (op.a == 0 || op.b == 0 || std::max(op.a, op.b) >= entryCount())
                return false;
            std::swap(entryAt(op.a), entryAt(op.b));
            for (int& r : dirty)
                r = r == op.a ? op.b : r == op.b ? op.a : r;
            break;
        case CellJournal::ClearAll: return false;
        }
    }
    if (entryCount() != cells.rowCount())
        return false;
    std::sort(dirty.begin(), dirty.end());
    dirty.erase(std::unique(dirty.begin(), dirty.end()), dirty.end());
    first = 0;
    for (const int r : dirty) {
        QByteArrayView key[4];
        readKey(cells, r, key);
        Entry& e = entryAt(r);
        parse(e, key, now, formats);
        e.store(key);
        if (nowKey >= e.moment && e.actions) {
            if (!first)
                first = r;
        } else if (nowKey < e.moment) {
            m_quietUntil = std::min(m_quietUntil, e.moment);
        }
    }
    m_follow = reader;
    return true;
}

void AlarmScheduler::checkAlarms(CellStore& cells, const QDateTime& now, const LocaleFormats& formats,
                                 const Hooks& hooks)
{
    const qint64 nowKey = momentKey(now.date(), now.time());
    int first = 0;
    bool followed = false;
    if (!keepCacheFor(now.date(), formats)) {
        clearCache();
    } else if (m_quiet && nowKey < m_quietUntil) {
        // Nothing falls due before m_quietUntil among the rows of a pass that found nothing to
        // do: with nothing changed since, this pass would find nothing either; else only the
        // rows changed since can have something to do.
        if (cells.generation() == m_quietGeneration)
            return;
        followed = followChanges(cells, now, nowKey, formats, first);
        if (followed && !first) {
            m_quietGeneration = cells.generation();
            return;
        }
    }
    m_quiet = false;
    m_gap.close(m_entries);
    const int rows = cells.rowCount() - 1;
    if (rows <= 0)
        return;
    // The cache holds the rows of the last pass: a list longer or shorter now had rows inserted or
    // removed, and the kept entries below them are found again rather than parsed again.
    int shift = m_entries.empty() ? 0 : cells.rowCount() - int(m_entries.size());
    int budget = 4096;  // comparisons spent looking, for a list that was also reordered
    if (m_entries.size() < size_t(cells.rowCount()))
        m_entries.resize(size_t(cells.rowCount()));
    // The earliest moment any row falls due; rows already past due here have nothing to do.
    qint64 nextMoment = std::numeric_limits<qint64>::max();

    // Most passes find nothing to do: look for the first row with something to do, reading no
    // more of each row than its cached state depends on. A row without a date depends on that
    // cell alone, a row not yet due on its date and time alone; only a row that is due depends on
    // its alarm and type as well.
    Entry* entries = m_entries.data();
    const CellStore& view = cells;
    for (int r = 1; !followed && r <= rows; ++r) {
        const RowCells& rc = view.row(r);
        Entry& e = entries[r];
        QByteArrayView key[4];
        key[0] = rc.cell(kKeyColumns[0]);
        if (e.valid && key[0].size() == e.len[0] && sameBytes(e.text(), key[0].data(), size_t(e.len[0]))) {
            if (e.len[0] == 0)
                continue;
            key[1] = rc.cell(kKeyColumns[1]);
            if (key[1].size() == e.len[1] && sameBytes(e.text() + e.len[0], key[1].data(), size_t(e.len[1]))) {
                if (nowKey < e.moment) {
                    nextMoment = std::min(nextMoment, e.moment);
                    continue;
                }
                key[2] = rc.cell(kKeyColumns[2]);
                key[3] = rc.cell(kKeyColumns[3]);
                if (e.matches(key)) {
                    if (!e.actions)
                        continue;
                    first = r;
                    break;
                }
            }
        }
        if (shift) [[unlikely]] {
            if (const int moved = realign(view, r, shift, budget)) {
                shift -= moved;
                entries = m_entries.data();
                --r;  // this row again, against the entry now in its place
                continue;
            }
        }
        for (int k = 1; k < 4; ++k)
            key[k] = rc.cell(kKeyColumns[k]);
        parse(e, key, now, formats);
        e.store(key);
        if (nowKey >= e.moment && e.actions) {
            first = r;
            break;
        }
        if (nowKey < e.moment)
            nextMoment = std::min(nextMoment, e.moment);
    }
    if (!first) {
        if (m_entries.size() > size_t(cells.rowCount()))
            m_entries.resize(size_t(cells.rowCount()));
        m_quiet = true;
        m_quietGeneration = cells.generation();
        m_quietUntil = nextMoment;
        // Every entry matches its row now, and this pass changed no cell: from here on the
        // changes alone tell what to parse again.
        static std::atomic<quint64> readers{0};
        m_follow = ++readers;
        cells.startRowJournal(m_follow);
        return;
    }

    // From there on the rows are taken one by one: a reminder or a renewal changes the cells.
    for (int r = first; r <= rows; ++r) {
        const Entry& e = entryFor(cells, r, now, formats, shift, budget);
        if (nowKey < e.moment || !e.actions)
            continue;
        const quint8 actions = e.actions;
        if (actions & Unreadable) {
            // One bad row must not silence the others: it is skipped, and said once per text.
            QString bad = cells.cell(TaskCol::DueDate, r);
            if (formats.parseDate(bad, now.date()).isValid())
                bad = cells.cell(TaskCol::DueTime, r);
            Entry& quiet = m_entries[size_t(r)];
            quiet.actions = 0;  // told once; nothing more to do until its texts change
            if (!m_reported.contains(bad)) {
                m_reported.insert(bad);
                if (hooks.reportUnreadable)
                    hooks.reportUnreadable(kUnreadableMessage);
            }
            continue;
        }
        if (actions & WriteType)
            cells.setCellUtf8(TaskCol::Type, r, "0");
        if (actions & Remind) {
            if (hooks.raiseReminder)
                hooks.raiseReminder(r, Recurrence::typeIndex(cells.cell(TaskCol::Type, r), m_typeNames));
        } else if (actions & Renew) {
            renew(cells, r, now, formats, hooks);
        }
    }
    // Rows removed during the pass leave entries past the end; they would only be compared again.
    if (m_entries.size() > size_t(cells.rowCount()))
        m_entries.resize(size_t(cells.rowCount()));
}

int AlarmScheduler::appendOccurrence(CellStore& cells, int row, const QDate& next, const LocaleFormats& formats,
                                     const std::function<int()>& appendRow)
{
    int added;
    if (appendRow) {
        added = appendRow();
    } else {
        cells.setRowCount(cells.rowCount() + 1);
        added = cells.rowCount() - 1;
    }
    for (int c = TaskCol::Task; c < TaskCol::Count; ++c) {
        const QByteArray copy = cells.cellUtf8(c, row).toByteArray();
        cells.setCellUtf8(c, added, copy);
    }
    cells.setCell(TaskCol::DueDate, added, formats.formatDate(next));
    cells.setCellUtf8(TaskCol::Type, row, "0");
    return added;
}

namespace {
// The step of a row's type cell; none for a one-time task or a cell naming no type.
Recurrence::Step rowStep(const CellStore& cells, int row, const QStringList& typeNames)
{
    const int index = Recurrence::typeIndex(cells.cell(TaskCol::Type, row), typeNames);
    if (index < 0)
        return {};
    const QString name = typeNames.at(index).toUpper();
    return name == QLatin1String("ONE-TIME") ? Recurrence::Step{} : Recurrence::stepFor(name);
}
} // namespace

void AlarmScheduler::renew(CellStore& cells, int row, const QDateTime& now, const LocaleFormats& formats,
                           const Hooks& hooks)
{
    const QDate due = formats.parseDate(cells.cell(TaskCol::DueDate, row), now.date());
    const int index = Recurrence::typeIndex(cells.cell(TaskCol::Type, row), m_typeNames);
    if (!due.isValid() || index < 0)
        return;
    const Recurrence::Step step = Recurrence::stepFor(m_typeNames.at(index).toUpper());
    appendOccurrence(cells, row, Recurrence::advance(due, step, now), formats, hooks.appendRow);
}

int AlarmScheduler::renewLoggedTask(CellStore& cells, int row, const QDate& today, const LocaleFormats& formats,
                                    const std::function<int()>& appendRow, const QStringList& typeNames)
{
    const Recurrence::Step step = rowStep(cells, row, typeNames);
    if (step.isNone())
        return -1;
    const QDate due = formats.parseDate(cells.cell(TaskCol::DueDate, row), today);
    if (!due.isValid())
        return -1;
    const int added = appendOccurrence(cells, row, Recurrence::nextAfter(due, step, today), formats, appendRow);
    cells.setCellUtf8(TaskCol::Reserved, added, QByteArrayView());
    return added;
}

} // namespace veltry
