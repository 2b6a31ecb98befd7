#include "app/core/TaskUndo.h"
#include "history/core/TaskLog.h"

#include <QTest>
#include <algorithm>

using namespace veltry;

namespace {

// "a;b*": the task descriptions, "*" for a checked one; an empty list is its blank row.
CellStore makeList(const QString& spec, int columns, int textCol)
{
    const QStringList rows = spec.split(QLatin1Char(';'));
    CellStore s;
    s.setColumnCount(columns);
    s.setRowCount(int(rows.size()) + 1);
    s.setCell(textCol, 0, QStringLiteral("Task"));
    for (int r = 0; r < rows.size(); ++r) {
        QString text = rows.at(r);
        if (text.endsWith(QLatin1Char('*'))) {
            text.chop(1);
            s.setCell(TaskCol::Mark, r + 1, kCheckedMark);
        }
        s.setCell(textCol, r + 1, text);
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
    const int row = words.value(1).toInt();
    if (words[0] == QLatin1String("remove")) {
        step.tasks.removed(tasks, row);
        tasks.rowCount() > 2 ? tasks.removeRows(row, 1) : tasks.clearRows(row, 1);
    } else if (words[0] == QLatin1String("add") || words[0] == QLatin1String("import")) {
        for (const QString& text : words[1].split(QLatin1Char(','))) {
            isListEmpty(tasks) ? tasks.clearRows(1, 1) : tasks.insertRows(1, 1);
            tasks.setCell(TaskCol::Task, 1, text);
        }
        for (int r = 1; r <= int(words[1].count(QLatin1Char(','))) + 1; ++r)
            step.tasks.added(tasks, r);
    } else if (words[0] == QLatin1String("check") || words[0] == QLatin1String("edit")) {
        RowCells before = RowStep::keep(tasks, row);
        tasks.setCell(words[0] == QLatin1String("check") ? TaskCol::Mark : TaskCol::Task, row,
                      words[0] == QLatin1String("check") ? kCheckedMark : words.value(2));
        step.tasks.changed(std::move(before), row, tasks, row);
    } else if (words[0] == QLatin1String("log")) {
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
    if (how == QLatin1String("row 1 gone")) {
        tasks.removeRows(1, 1);
        history.removeRows(1, 1);
    }
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
        QTest::addColumn<bool>("undone");

        QTest::newRow("remove") << "a;b;c" << "h" << "remove 2" << "" << "a;c" << "h" << true;
        QTest::newRow("remove the last task") << "a" << "h" << "remove 1" << "" << "" << "h" << true;
        QTest::newRow("add to an empty list") << "" << "h" << "add z" << "" << "z" << "h" << true;
        QTest::newRow("add, then UIDs given") << "a;b" << "h" << "add z" << "given UIDs" << "z;a;b" << "h" << true;
        QTest::newRow("check, rows moved") << "a;b;c" << "h" << "check 3" << "reversed" << "a;b;c*" << "h" << true;
        QTest::newRow("edit, then UIDs given") << "a;b" << "h" << "edit 2 q" << "given UIDs" << "a;q" << "h" << true;
        QTest::newRow("edit, the task gone") << "a;b" << "h" << "edit 1 q" << "row 1 gone" << "q;b" << "h" << false;
        QTest::newRow("log") << "a*;b;c*" << "h" << "log" << "" << "b" << "c;a;h" << true;
        QTest::newRow("log all into an empty history") << "a*" << "" << "log" << "" << "" << "a" << true;
        QTest::newRow("log, rows moved") << "a*;b;c*;d" << "h" << "log" << "reversed" << "b;d" << "c;a;h" << true;
        QTest::newRow("log, an entry gone") << "a*;b" << "h" << "log" << "row 1 gone" << "b" << "a;h" << false;
        QTest::newRow("import") << "a" << "h" << "import x,y" << "" << "y;x;a" << "h" << true;
    }
    void undoAndRedo()
    {
        QFETCH(QString, tasks);
        QFETCH(QString, history);
        QFETCH(QString, op);
        QFETCH(QString, meanwhile);
        QFETCH(QString, after);
        QFETCH(QString, afterHistory);
        QFETCH(bool, undone);

        CellStore t = makeList(tasks, TaskCol::Count, TaskCol::Task);
        CellStore h = makeList(history, HistCol::Count, HistCol::Task);
        TaskListStep step;
        perform(op, t, h, step);
        QCOMPARE(describe(t, TaskCol::Task), after);
        QCOMPARE(describe(h, HistCol::Task), afterHistory);
        disturb(meanwhile, t, h);
        const bool sorted = meanwhile == QLatin1String("reversed");
        const QString tasksNow = describe(t, TaskCol::Task, sorted);
        const QString historyNow = describe(h, HistCol::Task);

        QCOMPARE(step.apply(t, h, true), undone);
        if (!undone) {  // nothing at all changed, in neither list
            QCOMPARE(describe(t, TaskCol::Task, sorted), tasksNow);
            QCOMPARE(describe(h, HistCol::Task), historyNow);
            return;
        }
        const auto expected = [sorted](const QString& spec) {
            return sorted ? describe(makeList(spec, TaskCol::Count, TaskCol::Task), TaskCol::Task, true) : spec;
        };
        QCOMPARE(describe(t, TaskCol::Task, sorted), expected(tasks));
        QCOMPARE(describe(h, HistCol::Task), history);
        if (meanwhile == QLatin1String("given UIDs"))  // a UID given since stays with its task
            for (int r = 1; r < t.rowCount(); ++r)
                QVERIFY(!t.isCellEmpty(TaskCol::Reserved, r));

        QVERIFY(step.apply(t, h, false));
        QCOMPARE(describe(t, TaskCol::Task, sorted), expected(after));
        QCOMPARE(describe(h, HistCol::Task), afterHistory);
    }

    void keepsOnlyTheChangedRows()
    {
        CellStore t = makeList(QStringLiteral("a"), TaskCol::Count, TaskCol::Task);
        t.setRowCount(100'001);
        for (int r = 1; r < t.rowCount(); ++r)
            t.setCell(TaskCol::Task, r, QStringLiteral("task number %1 with a description").arg(r));
        CellStore h = makeList(QString(), HistCol::Count, HistCol::Task);
        TaskListStep step;
        step.tasks.removed(t, 50'000);
        t.removeRows(50'000, 1);
        QVERIFY(step.memoryUsage() < 1024);
        QVERIFY(step.apply(t, h, true));
        QCOMPARE(t.cell(TaskCol::Task, 50'000), QStringLiteral("task number 50000 with a description"));
        QCOMPARE(t.rowCount(), 100'001);
    }
};

QTEST_GUILESS_MAIN(TestTaskUndo)
#include "tst_taskundo.moc"
