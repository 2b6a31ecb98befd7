#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/ReadableColors.h"
#include "widgets/TextGrid.h"

#include <QLabel>
#include <QStatusBar>
#include <QScrollBar>
#include <QTest>

using namespace veltry;
using namespace veltry::test;

namespace {
struct Task
{
    QString description;
    QString priority;
    QString due = {};
    QString notes = {};
};

QByteArray listFile(const QList<Task>& tasks)
{
    QByteArray out = taskListHeader(tasks.size() + 1);
    int r = 1;
    for (const Task& t : tasks) {
        const QByteArray row = QByteArray::number(r++);
        out += "1," + row + "," + t.description.toLatin1() + "\r\n";
        if (!t.due.isEmpty())
            out += "2," + row + "," + t.due.toLatin1() + "\r\n";
        out += "5," + row + "," + (t.priority.isEmpty() ? QByteArray("\xA0") : t.priority.toLatin1()) + "\r\n";
        if (!t.notes.isEmpty())
            out += "6," + row + "," + t.notes.toLatin1() + "\r\n";
    }
    return out;
}

QPoint titleCenter(TTextGrid* g, int displayCol)
{
    return g->cellRect(displayCol, 0).center();
}
} // namespace

class TestTaskGrid : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;

    TfrmToDo* start(const QList<Task>& tasks)
    {
        if (!m_program->write(kTaskListFileName, listFile(tasks)))
            return nullptr;
        m_app = std::make_unique<VeltryApp>();
        m_app->start();
        return m_app->toDo();
    }

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<ProgramFolder>();
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }
    void cleanup()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
        LocaleFormats::resetCurrent();
    }

    void rowColourFollowsPriority_data()
    {
        QTest::addColumn<QString>("priority");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("1") << "1" << QColor(255, 0, 0);
        QTest::newRow("2") << "2" << QColor(0, 128, 0);
        QTest::newRow("02") << "02" << QColor(0, 128, 0);
        QTest::newRow("3") << "3" << QColor(0, 0, 255);
        QTest::newRow("high") << "high" << QColor(0, 0, 0);
        QTest::newRow("empty") << "" << QColor(0, 0, 0);
    }
    void rowColourFollowsPriority()
    {
        QFETCH(QString, priority);
        QFETCH(QColor, colour);
        TfrmToDo* todo = start({{QStringLiteral("task"), priority}});
        QCOMPARE(todo->statusPanels[0]->text(), QStringLiteral("Tasks: 1"));
        for (int col : {0, 1, 5}) {
            TCellFont font;
            QColor brush;
            todo->TaskGridGetCellColor(1, col, 0, brush, font);
            QCOMPARE(font.Color, colour);
            QVERIFY(!brush.isValid());  // the background stays the grid's
        }
    }

    void hints_data()
    {
        QTest::addColumn<bool>("hintsOn");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("notesLength");
        QTest::addColumn<QString>("expected");
        const QString a150(150, QLatin1Char('a'));
        QTest::newRow("task column") << true << 1 << 3 << "described";
        QTest::newRow("150 characters whole") << true << 2 << 150 << a150;
        QTest::newRow("151 cut") << true << 3 << 151 << a150 + "\n\r[more...]";
        QTest::newRow("no notes") << true << 4 << 0 << "";
        QTest::newRow("mark column") << true << 0 << 3 << "";
        QTest::newRow("hints off") << false << 1 << 3 << "";
    }
    void hints()
    {
        QFETCH(bool, hintsOn);
        QFETCH(int, col);
        QFETCH(int, notesLength);
        QFETCH(QString, expected);
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("TaskHints"), qint32(hintsOn));
        TfrmToDo* todo = start({{QStringLiteral("described"), QStringLiteral("1"), QString(), QString(notesLength, QLatin1Char('a'))}});
        QString hint = QStringLiteral("grid's own");
        todo->TaskGridGridHint(1, col, hint);
        QCOMPARE(hint, expected);
        hint = QStringLiteral("x");
        todo->TaskGridGridHint(0, 1, hint);
        QVERIFY(hint.isEmpty());
    }

    void titleClickOnPriorityOrdersDescriptions()
    {
        TfrmToDo* todo = start({{QStringLiteral("b"), QStringLiteral("2")},
                                {QStringLiteral("z"), QStringLiteral("1")},
                                {QStringLiteral("a"), QStringLiteral("2")},
                                {QStringLiteral("B"), QStringLiteral("2")}});
        TTextGrid* g = todo->TaskGrid;
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, titleCenter(g, g->columnMap().realToDisplay(5)));
        QCOMPARE(g->SortColumn(), 5);
        QStringList order;
        for (int r = 1; r < g->RowCount(); ++r)
            order << g->Cells(TaskCol::Task, r);
        QCOMPARE(order, QStringList({"z", "B", "a", "b"}));
        // Descending priority still lists descriptions ascending.
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, titleCenter(g, g->columnMap().realToDisplay(5)));
        order.clear();
        for (int r = 1; r < g->RowCount(); ++r)
            order << g->Cells(TaskCol::Task, r);
        QCOMPARE(order, QStringList({"B", "a", "b", "z"}));
    }

    void dueDateSortsByLocaleDayOrder()
    {
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("dd/mm/yy"), QLatin1Char('/')));
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 12, 7), QTime(12, 0))));
        TfrmToDo* todo = start({{QStringLiteral("new year"), QStringLiteral("1"), QStringLiteral("02/01/26")},
                                {QStringLiteral("eve"), QStringLiteral("1"), QStringLiteral("31/12/25")},
                                {QStringLiteral("no date"), QStringLiteral("1")},
                                {QStringLiteral("this year"), QStringLiteral("1"), QStringLiteral("15/06/26")}});
        QVERIFY(todo->dayFirst());
        TTextGrid* g = todo->TaskGrid;
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, titleCenter(g, 2));
        QStringList order;
        for (int r = 1; r < g->RowCount(); ++r)
            order << g->Cells(TaskCol::Task, r);
        QCOMPARE(order, QStringList({"no date", "eve", "new year", "this year"}));
        Clock::setInstance(nullptr);
    }

    void autoFitFillsTheGrid()
    {
        TfrmToDo* todo = start({{QStringLiteral("a fairly long description"), QStringLiteral("1"), QStringLiteral("1/2/27")}});
        todo->resize(600, 300);
        QApplication::processEvents();
        todo->AutoFitColumnWidths();
        TTextGrid* g = todo->TaskGrid;
        QCOMPARE(g->ColCount(), 6);
        int sum = 0;
        for (int k = 0; k < g->ColCount(); ++k)
            sum += g->ColWidth(k);
        QCOMPARE(sum, g->width() - 10);
        QCOMPARE(g->ColWidth(0), 20);
    }

    // Every displayed column ends inside the part of the grid its vertical scroll bar leaves:
    // after Alt+W with twenty tasks at the designed size, and at start with stored widths made
    // for a far larger window.
    void columnsFitLeftOfTheScrollBar_data()
    {
        QTest::addColumn<int>("storedWidth");
        QTest::newRow("Alt+W") << 0;
        QTest::newRow("stored widths of 600 px") << 600;
    }
    void columnsFitLeftOfTheScrollBar()
    {
        QFETCH(int, storedWidth);
        QList<Task> tasks;
        for (int i = 0; i < 20; ++i)
            tasks.append({QStringLiteral("task %1 with a longer description").arg(i), QStringLiteral("2"), QStringLiteral("1/2/27")});
        if (storedWidth) {
            const QString key = QStringLiteral("HKEY_CURRENT_USER\\ HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\ColumnSize");
            for (int k = 0; k < 6; ++k)
                ConfigStore::shared().setValue(key, QStringLiteral("col%1").arg(k), QString::number(storedWidth));
        }
        TfrmToDo* todo = start(tasks);
        QVERIFY(todo);
        QVERIFY(QTest::qWaitForWindowExposed(todo));
        TTextGrid* g = todo->TaskGrid;
        QVERIFY(g->verticalScrollBar()->isVisible());
        if (!storedWidth) {
            todo->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(todo));
            QTest::keyClick(todo, Qt::Key_W, Qt::AltModifier);
        }
        const int last = g->ColCount() - 1;
        QCOMPARE(last, 5);
        QVERIFY2(g->cellRect(last, 0).right() < g->viewport()->width(),
                 qPrintable(QStringLiteral("%1 >= %2").arg(g->cellRect(last, 0).right()).arg(g->viewport()->width())));
        QVERIFY(g->ColWidth(TaskCol::Task) >= 40);
    }

    // The selected cell is drawn in the highlighted-text colour on the highlight, whatever its
    // priority; the cells around it keep their priority colour.
    void selectedCellIsReadable_data()
    {
        QTest::addColumn<QString>("priority");
        QTest::addColumn<int>("key");
        QTest::newRow("red task reached with Down") << "1" << int(Qt::Key_Down);
        QTest::newRow("blue task reached with Page Down") << "3" << int(Qt::Key_PageDown);
    }
    void selectedCellIsReadable()
    {
        QFETCH(QString, priority);
        QFETCH(int, key);
        TfrmToDo* todo = start({{QStringLiteral("first"), priority}, {QStringLiteral("second"), priority}});
        todo->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(todo));
        TTextGrid* g = todo->TaskGrid;
        g->setFocus();
        g->setCurrentCell(1, 1);
        QTest::keyClick(g, Qt::Key(key));
        const QPoint at(g->Col(), g->Row());
        QCOMPARE(at.y(), 2);
        const TCellLayout selected = g->cellLayout(at.x(), at.y());
        QVERIFY(selected.state & gdSelected);
        QCOMPARE(selected.font.Color, g->palette().color(QPalette::HighlightedText));
        QCOMPARE(selected.brush, g->palette().color(QPalette::Highlight));
        TCellFont plain;
        QColor brush;
        todo->TaskGridGetCellColor(1, TaskCol::Task, 0, brush, plain);
        QVERIFY(plain.Color != selected.font.Color);
        for (const QPoint other : {QPoint(at.x(), 1), QPoint(at.x() == 1 ? 2 : 1, 2)})
            QCOMPARE(g->cellLayout(other.x(), other.y()).font.Color, plain.Color);

        // As drawn: the text on the selection reaches 4.5:1, a check mark on it 3:1.
        const auto strongest = [g](const QRect& area, double best = 1) {
            const QImage shot = g->viewport()->grab().toImage();
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    best = std::max(best, contrastRatio(shot.pixelColor(x, y), g->palette().color(QPalette::Highlight)));
            return best;
        };
        QVERIFY(strongest(g->cellRect(at.x(), at.y())) >= 4.5);
        g->SetCellImage(TaskCol::Mark, 2, 0, 2, 2);
        g->setCurrentCell(0, 2);
        QVERIFY(strongest(g->cellLayout(0, 2).imageRect) >= 3);
    }

    // Widths belong to real columns: with a column hidden they come back unchanged from one
    // start to the next, the hidden column's own included.
    void storedWidthsSurviveAHiddenColumn_data()
    {
        QTest::addColumn<int>("hidden");
        QTest::newRow("Due On hidden") << 2;
        QTest::newRow("Category hidden") << 4;
    }
    void storedWidthsSurviveAHiddenColumn()
    {
        QFETCH(int, hidden);
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\ HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\ColumnSize");
        const QStringList widths{"20", "100", "61", "72", "83", "24"};
        for (int k = 0; k < widths.size(); ++k)
            ConfigStore::shared().setValue(key, QStringLiteral("col%1").arg(k), widths[k]);
        ConfigStore::shared().setValue(kSettingsKey, QStringLiteral("Col%1Hidden").arg(hidden), qint32(1));
        for (int run = 0; run < 2; ++run) {
            TfrmToDo* todo = start({{QStringLiteral("task"), QStringLiteral("1")}});
            QVERIFY(QTest::qWaitForWindowExposed(todo));
            TTextGrid* g = todo->TaskGrid;
            QVERIFY(g->IsHiddenColumn(hidden));
            for (int c = 0; c < widths.size(); ++c)
                if (c != hidden)
                    QCOMPARE(g->ColWidth(g->columnMap().realToDisplay(c)), widths[c].toInt());
            m_app->shutdown();
            m_app.reset();
            ConfigStore reread(ConfigStore::shared().filePath());
            QStringList stored;
            for (int k = 0; k < widths.size(); ++k) {
                const auto v = reread.value(key, QStringLiteral("col%1").arg(k));
                stored << (v ? std::get<QString>(*v) : QString());
            }
            QCOMPARE(stored, widths);
        }
    }

    // A first start lays the columns out the same for a list brought from elsewhere as for a
    // new one, however many tasks it holds; only the scroll bar may take its width off the Task
    // column.
    void firstLayoutIgnoresTheListSize_data()
    {
        QTest::addColumn<int>("tasks");
        QTest::newRow("one task") << 1;
        QTest::newRow("10,000 tasks") << 10000;
    }
    void firstLayoutIgnoresTheListSize()
    {
        QFETCH(int, tasks);
        const auto shownWidths = [](TfrmToDo* todo) {
            QList<int> out;
            for (int k = 0; k < todo->TaskGrid->ColCount(); ++k)
                out << todo->TaskGrid->ColWidth(k);
            return out;
        };
        m_app = std::make_unique<VeltryApp>();
        m_app->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_app->toDo()));
        const QList<int> fresh = shownWidths(m_app->toDo());
        m_app->shutdown();
        m_app.reset();

        m_program = std::make_unique<ProgramFolder>();
        QList<Task> list;
        for (int i = 0; i < tasks; ++i)
            list.append({QStringLiteral("book passage %1").arg(i), QStringLiteral("2"), QStringLiteral("1/2/27")});
        TfrmToDo* todo = start(list);
        QVERIFY(QTest::qWaitForWindowExposed(todo));
        const QList<int> copied = shownWidths(todo);
        QCOMPARE(copied.size(), fresh.size());
        const QScrollBar* bar = todo->TaskGrid->verticalScrollBar();
        const int barWidth = bar->isVisible() ? bar->sizeHint().width() : 0;
        for (int k = 0; k < fresh.size(); ++k) {
            if (k == TaskCol::Task)
                QVERIFY2(copied[k] <= fresh[k] && copied[k] >= fresh[k] - barWidth - 1,
                         qPrintable(QStringLiteral("%1 against %2").arg(copied[k]).arg(fresh[k])));
            else
                QCOMPARE(copied[k], fresh[k]);
        }
    }

    // However many tasks, the count shows whole, and the help texts follow the panels.
    void wholeTaskCountShows()
    {
        QList<Task> tasks;
        for (int i = 0; i < 10000; ++i)
            tasks.append({QStringLiteral("task %1").arg(i), QStringLiteral("2")});
        TfrmToDo* todo = start(tasks);
        QVERIFY(todo);
        QVERIFY(QTest::qWaitForWindowExposed(todo));
        QLabel* count = todo->statusPanels[0];
        QCOMPARE(count->text(), QStringLiteral("Tasks: 10000"));
        QVERIFY2(count->contentsRect().width() >= count->fontMetrics().horizontalAdvance(count->text()),
                 qPrintable(QStringLiteral("%1 px for %2 px of text").arg(count->contentsRect().width())
                                .arg(count->fontMetrics().horizontalAdvance(count->text()))));
        QLabel* alarms = todo->statusPanels[1];
        QVERIFY(alarms->geometry().left() >= count->geometry().right());
        QStatusBar* bar = todo->statusBar();
        const int y = bar->height() / 2;
        QTest::mouseMove(bar, QPoint(count->geometry().right() - 1, y));
        QCOMPARE(todo->statusPanels[2]->text(), QStringLiteral("Number of current tasks"));
        QTest::mouseMove(bar, QPoint(alarms->geometry().center().x(), y));
        QCOMPARE(todo->statusPanels[2]->text(), QStringLiteral("Alarm indicator"));
    }

    void statusBarHelpTexts()
    {
        TfrmToDo* todo = start({});
        QStatusBar* bar = todo->statusBar();
        const int y = bar->height() / 2;
        QTest::mouseMove(bar, QPoint(10, y));
        QCOMPARE(todo->statusPanels[2]->text(), QStringLiteral("Number of current tasks"));
        QTest::mouseMove(bar, QPoint(100, y));
        QCOMPARE(todo->statusPanels[2]->text(), QStringLiteral("Alarm indicator"));
        QTest::mouseMove(bar, QPoint(200, y));
        QCOMPARE(todo->statusPanels[2]->text(), QStringLiteral("Status bar"));
        QTest::mouseMove(todo->TaskGrid->viewport(), QPoint(30, 30));
        QCOMPARE(todo->statusPanels[2]->text(), QString());
    }
};

QTEST_MAIN(TestTaskGrid)
#include "wtst_taskgrid.moc"
