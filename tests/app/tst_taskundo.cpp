#include "app/core/TaskUndo.h"
#include "history/core/TaskLog.h"

#include <QTest>
#include <algorithm>

using namespace veltry;

namespace {

// "a;b*": the task descriptions, "*" for a checked one; an empty list is its blank row.
CellStore makeList(const QString& rowsText, int columns, int textCol)
{
    const QStringList rows = rowsText.split(QLatin1Char(';'));
    CellStore s;
    s.setColumnCount(columns);
    s.setRowCount(int(rows.size()) + 1);
    for (int r = 1; r <= rows.size(); ++r) {
        s.setCell(TaskCol::Mark, r, rows[r - 1].endsWith(QLatin1Char('*')) ? kCheckedMark : QString());
        s.setCell(textCol, r, QString(rows[r - 1]).remove(QLatin1Char('*')));
    }
    return s;
}

QString describe(const CellStore& s, int textCol, bool sorted = false)
{
    QStringList out;
    for (int r = 1; r < s.rowCount(); ++r)
        out << s.cell(textCol, r) + (textCol == TaskCol::Task && s.cell(TaskCol::Mark, r) == kCheckedMark ? "*" : "");
    if (sorted)
        out.sort();
    return out.join(QLatin1Char(';'));
}

// Makes a change the way the task window does, keeping its step.
void perform(const QString& op, CellStore& tasks, CellStore& history, TaskListStep& step)
{
    const QStringList words = op.split(QLatin1Char(' '));
    const QString& verb = words[0];
    const int row = words.value(1).toInt();
    if (verb == QLatin1String("remove")) {
        step.tasks.removed(tasks, row);
        tasks.rowCount() > 2 ? tasks.removeRows(row, 1) : tasks.clearRows(row, 1);
    } else if (verb == QLatin1String("add")) {  // "add x,y": an import when more than one
        const QStringList added = words[1].split(QLatin1Char(','));
        for (const QString& text : added) {
            isListEmpty(tasks) ? tasks.clearRows(1, 1) : tasks.insertRows(1, 1);
            tasks.setCell(TaskCol::Task, 1, text);
        }
        for (int r = 1; r <= added.size(); ++r)
            step.tasks.added(tasks, r);
    } else if (verb == QLatin1String("check") || verb == QLatin1String("edit")) {
        RowCells before = RowStep::keep(tasks, row);
        const bool check = verb == QLatin1String("check");
        tasks.setCell(check ? TaskCol::Mark : TaskCol::Task, row, check ? kCheckedMark : words.value(2));
        step.tasks.changed(std::move(before), row, tasks, row);
    } else {
        for (int r = 1; r < tasks.rowCount(); ++r)
            if (tasks.cell(TaskCol::Mark, r) == kCheckedMark)
                step.tasks.removed(tasks, r);
        const int logged = logCompletedTasks(tasks, history, QStringLiteral("1/1/2026"));
        for (int r = 1; r <= logged; ++r)
            step.history.added(history, r);
    }
}

// What happens to the lists between the step and its undo: a sort or merge moving the rows,
// the sync giving UIDs and the alarm pass filling type cells, another copy removing rows.
void disturb(const QString& how, CellStore& tasks, CellStore& history)
{
    if (how == QLatin1String("reversed"))
        std::reverse(tasks.rows().begin() + 1, tasks.rows().end());
    for (int r = 1; how == QLatin1String("given UIDs") && r < tasks.rowCount(); ++r) {
        tasks.setCell(TaskCol::Reserved, r, QStringLiteral("uid-%1").arg(r));
        tasks.setCell(TaskCol::Type, r, QStringLiteral("0"));
    }
    for (int r = 1; how == QLatin1String("history shown") && r < history.rowCount(); ++r)
        history.setCell(HistCol::Number, r, QString::number(r));  // the history window numbers its rows
    if (how == QLatin1String("row 1 gone"))
        tasks.removeRows(1, 1), history.removeRows(1, 1);
}

} // namespace

class TestTaskUndo final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void undoAndRedo_data()
    {
        QTest::addColumn<QString>("tasks");
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("after");         // the tasks after the step
        QTest::addColumn<QString>("afterHistory");

        QTest::newRow("remove") << "a;b;c" << "h" << "remove 2" << "" << "a;c" << "h";
        QTest::newRow("remove the last task") << "a" << "h" << "remove 1" << "" << "" << "h";
        QTest::newRow("add to an empty list") << "" << "h" << "add z" << "" << "z" << "h";
        QTest::newRow("add, then UIDs given") << "a;b" << "h" << "add z" << "given UIDs" << "z;a;b" << "h";
        QTest::newRow("check, rows moved") << "a;b;c" << "h" << "check 3" << "reversed" << "a;b;c*" << "h";
        QTest::newRow("edit, then UIDs given") << "a;b" << "h" << "edit 2 q" << "given UIDs" << "a;q" << "h";
        QTest::newRow("edit, the task gone") << "a;b" << "h" << "edit 1 q" << "row 1 gone" << "q;b" << "h";
        QTest::newRow("log") << "a*;b;c*" << "h" << "log" << "" << "b" << "c;a;h";
        QTest::newRow("log all into an empty history") << "a*" << "" << "log" << "" << "" << "a";
        QTest::newRow("log, the history shown") << "a*;b" << "h" << "log" << "history shown" << "b" << "a;h";
        QTest::newRow("log, rows moved") << "a*;b;c*;d" << "h" << "log" << "reversed" << "b;d" << "c;a;h";
        QTest::newRow("log, an entry gone") << "a*;b" << "h" << "log" << "row 1 gone" << "b" << "a;h";
        QTest::newRow("import") << "a" << "h" << "add x,y" << "" << "y;x;a" << "h";
    }
    void undoAndRedo()
    {
        QFETCH(QString, tasks);
        QFETCH(QString, history);
        QFETCH(QString, op);
        QFETCH(QString, meanwhile);
        QFETCH(QString, after);
        QFETCH(QString, afterHistory);
        const bool undone = meanwhile != QLatin1String("row 1 gone");

        CellStore t = makeList(tasks, TaskCol::Count, TaskCol::Task);
        CellStore h = makeList(history, HistCol::Count, HistCol::Task);
        // Moved rows come back among the others, not necessarily where they were.
        const bool sorted = meanwhile == QLatin1String("reversed");
        const auto lists = [&]() -> QString {
            return describe(t, TaskCol::Task, sorted) + '|' + describe(h, HistCol::Task);
        };
        const auto expected = [&](const QString& tasksSpec, const QString& historySpec) -> QString {
            return describe(makeList(tasksSpec, TaskCol::Count, TaskCol::Task), TaskCol::Task, sorted) + '|'
                + describe(makeList(historySpec, HistCol::Count, HistCol::Task), HistCol::Task);
        };
        TaskListStep step;
        perform(op, t, h, step);
        QCOMPARE(lists(), expected(after, afterHistory));
        disturb(meanwhile, t, h);
        const QString disturbed = lists();

        QCOMPARE(step.apply(t, h, true), undone);
        if (!undone) {  // nothing at all changed, in neither list
            QCOMPARE(lists(), disturbed);
            return;
        }
        QCOMPARE(lists(), expected(tasks, history));
        for (int r = 1; meanwhile == QLatin1String("given UIDs") && r < t.rowCount(); ++r)
            QVERIFY(!t.isCellEmpty(TaskCol::Reserved, r));  // a UID given since stays with its task
        QVERIFY(step.apply(t, h, false));
        QCOMPARE(lists(), expected(after, afterHistory));
    }
};

QTEST_GUILESS_MAIN(TestTaskUndo)
#include "tst_taskundo.moc"
