#include "store/core/SharedMerge.h"

#include <QHash>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <tuple>

namespace veltry::shared {

namespace {

using threeway::uidOf;

bool sameList(const std::vector<TaskRow>& a, const std::vector<TaskRow>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (uidOf(a[i]) != uidOf(b[i]) || !threeway::sameContent(a[i], b[i]))
            return false;
    return true;
}

// The calendar sync keeps a completed task it never had off the list; a check mark in a list
// file is no such thing, so the marks go through the merge in a form it never reads as one.
TaskRow wrapped(TaskRow row)
{
    row[TaskCol::Mark].prepend(QLatin1Char('m'));
    return row;
}

void unwrap(TaskRow& row)
{
    row[TaskCol::Mark].remove(0, 1);
}

// Whether `row` differs from `base` in its check mark alone.
bool onlyMarkChanged(const TaskRow& row, const TaskRow& base)
{
    for (int c = 0; c < TaskCol::Count; ++c)
        if (c != TaskCol::Mark && c != TaskCol::LeadTime && c != TaskCol::Reserved && row[c] != base[c])
            return false;
    return row[TaskCol::Mark] != base[TaskCol::Mark];
}

QHash<QString, int> positions(const std::vector<TaskRow>& rows)
{
    QHash<QString, int> at;
    at.reserve(qsizetype(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i)
        at.insert(uidOf(rows[i]), int(i));
    return at;
}

// A text UID for a row no UID came with: a name-based UUID of the row's texts and how many alike
// rows came before it, so copies that read the same file agree on it.
QString textUid(const TaskRow& row, QHash<QByteArray, int>& seen)
{
    static const QUuid kNamespace = QUuid::fromString(QStringLiteral("6b1f2c0e-58f4-4d52-9a3c-7f0e5d1a2b94"));
    QByteArray text;
    for (int c = 0; c < TaskCol::Count; ++c) {
        // A check mark given in an older edition is no new task.
        if (c == TaskCol::Mark || c == TaskCol::LeadTime || c == TaskCol::Reserved)
            continue;
        text += row[c].toUtf8();
        text += '\x1f';
    }
    const int nth = ++seen[text];
    text += QByteArray::number(nth);
    return QUuid::createUuidV5(kNamespace, text).toString(QUuid::WithoutBraces);
}

QString historyKey(const HistoryRow& row)
{
    QString key;
    for (int c = HistCol::Task; c < HistCol::Count; ++c) {
        key += row[c];
        key += QChar(0x1f);
    }
    return key;
}

bool sameHistory(const std::vector<HistoryRow>& a, const std::vector<HistoryRow>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!std::equal(a[i].begin() + HistCol::Task, a[i].end(), b[i].begin() + HistCol::Task))
            return false;
    return true;
}

// How many of one entry to keep, from how many the base, ours and theirs hold: a side that did
// not change takes the other's count; both adding (the same task logged on both) keep the larger
// number, both removing the smaller; otherwise both sides' changes add up.
int keptCount(int base, int ours, int theirs)
{
    if (ours == base)
        return theirs;
    if (theirs == base)
        return ours;
    const int byUs = ours - base;
    const int byThem = theirs - base;
    if (byUs > 0 && byThem > 0)
        return std::max(ours, theirs);
    if (byUs < 0 && byThem < 0)
        return std::min(ours, theirs);
    return std::max(0, base + byUs + byThem);
}

} // namespace

int giveFileUids(std::vector<TaskRow>& rows)
{
    QHash<QByteArray, int> seen;
    int changed = 0;
    for (TaskRow& row : rows) {
        if (!uidOf(row).isEmpty())
            continue;
        row[TaskCol::Reserved] = textUid(row, seen);
        ++changed;
    }
    return changed + threeway::assignUids(rows, &threeway::makeUid);
}

TaskListMerge mergeTaskLists(const std::vector<TaskRow>& base, const std::vector<TaskRow>& ours,
                             const std::vector<TaskRow>& theirs, Later later, QString (*newUid)())
{
    if (sameList(ours, base))
        return {theirs, 0};
    if (sameList(theirs, base))
        return {ours, 0};

    // The sync's server side is the one whose text stands in a conflict.
    const std::vector<TaskRow>& kept = later == Later::Ours ? theirs : ours;
    const std::vector<TaskRow>& incoming = later == Later::Ours ? ours : theirs;

    QHash<QString, threeway::Agreed> agreed;
    agreed.reserve(qsizetype(base.size()));
    for (const TaskRow& row : base)
        agreed.insert(uidOf(row), threeway::Agreed{QString(), QByteArray(), wrapped(row), QByteArray(), false});

    // A check mark is no edit that keeps a task the other side removed (logged, as a rule):
    // that side is done with it, and it must not come back to be logged twice.
    QSet<QString> keptUids;
    keptUids.reserve(qsizetype(kept.size()));
    for (const TaskRow& row : kept)
        keptUids.insert(uidOf(row));
    QHash<QString, threeway::RemoteChange> changes;
    QSet<QString> present;
    present.reserve(qsizetype(incoming.size()));
    for (size_t i = 0; i < incoming.size(); ++i) {
        const QString& uid = uidOf(incoming[i]);
        present.insert(uid);
        TaskRow row = wrapped(incoming[i]);
        const auto b = agreed.constFind(uid);
        if (b != agreed.constEnd()
            && (threeway::sameContent(row, b->cells) || (!keptUids.contains(uid) && onlyMarkChanged(row, b->cells))))
            continue;
        // New tasks come in by their "href"; padded, it keeps the side's order.
        changes.insert(uid, threeway::RemoteChange{QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')), QByteArray(),
                                               std::move(row), QByteArray()});
    }
    for (const TaskRow& row : base)
        if (!present.contains(uidOf(row)))
            changes.insert(uidOf(row), threeway::RemoteChange{QString(), QByteArray(), std::nullopt, QByteArray()});

    std::vector<TaskRow> local;
    local.reserve(kept.size());
    for (const TaskRow& row : kept) {
        local.push_back(wrapped(row));
        const auto b = agreed.constFind(uidOf(row));
        if (b != agreed.constEnd() && !present.contains(uidOf(row)) && onlyMarkChanged(local.back(), b->cells))
            local.back() = b->cells;
    }
    threeway::MergeResult m = threeway::merge(local, agreed, changes, {}, newUid);

    // Our order, theirs' new tasks on top, each conflict copy (a UID neither side had) below the
    // task the merge put it after.
    const QHash<QString, int> ourAt = positions(ours);
    const QHash<QString, int> theirAt = positions(theirs);
    using Key = std::tuple<int, int, int>;
    std::vector<std::pair<Key, TaskRow>> placed;
    placed.reserve(m.local.size());
    Key last{0, -1, 0};
    for (TaskRow& row : m.local) {
        unwrap(row);
        const QString& uid = uidOf(row);
        if (const auto o = ourAt.constFind(uid); o != ourAt.constEnd())
            last = Key{1, *o, 0};
        else if (const auto t = theirAt.constFind(uid); t != theirAt.constEnd())
            last = Key{0, *t, 0};
        else
            ++std::get<2>(last);
        placed.emplace_back(last, std::move(row));
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    TaskListMerge out;
    out.conflicts = m.conflicts;
    out.rows.reserve(placed.size());
    for (auto& [key, row] : placed)
        out.rows.push_back(std::move(row));
    return out;
}

std::vector<HistoryRow> mergeHistories(const std::vector<HistoryRow>& base, const std::vector<HistoryRow>& ours,
                                       const std::vector<HistoryRow>& theirs)
{
    if (sameHistory(ours, base))
        return theirs;
    if (sameHistory(theirs, base))
        return ours;
    struct Counts
    {
        int base = 0, ours = 0, theirs = 0, taken = 0;
    };
    QHash<QString, Counts> counts;
    for (const HistoryRow& row : base)
        ++counts[historyKey(row)].base;
    for (const HistoryRow& row : ours)
        ++counts[historyKey(row)].ours;
    for (const HistoryRow& row : theirs)
        ++counts[historyKey(row)].theirs;
    auto take = [&](const HistoryRow& row) {
        Counts& n = counts[historyKey(row)];
        if (n.taken >= keptCount(n.base, n.ours, n.theirs))
            return false;
        ++n.taken;
        return true;
    };
    std::vector<HistoryRow> fromThem;
    for (const HistoryRow& row : theirs)
        if (take(row))
            fromThem.push_back(row);
    std::vector<HistoryRow> out;
    for (const HistoryRow& row : ours)
        if (take(row))
            out.push_back(row);
    out.insert(out.end(), fromThem.begin(), fromThem.end());
    return out;
}

} // namespace veltry::shared
