#include "widgets/Accessibility.h"
#include "widgets/GradCap.h"
#include "widgets/GradCapFrame.h"
#include "widgets/PanelMgr.h"
#include "widgets/PopupCal.h"
#include "widgets/TextGrid.h"
#include "widgets/TextGridAccessible.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

using veltry::TImageList;
using veltry::TTextGrid;

namespace {

// What the toolkit reported, read while the event was alive.
struct Reported
{
    QAccessible::Event type;
    QAccessible::Role role;
    int row;
    int column;
};

QList<Reported>& reports()
{
    static QList<Reported> all;
    return all;
}

void recordUpdate(QAccessibleEvent* event)
{
    QAccessibleInterface* iface = event->accessibleInterface();
    QAccessibleTableCellInterface* cell = iface ? iface->tableCellInterface() : nullptr;
    reports().append({event->type(), iface ? iface->role() : QAccessible::NoRole, cell ? cell->rowIndex() : -1,
                      cell ? cell->columnIndex() : -1});
}

QAccessibleTableInterface* tableOf(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->tableInterface() : nullptr;
}

} // namespace

class TestAccessible final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        veltry::installAccessibleWidgets();
        // The offscreen platform has no screen reader bridge; the spy hears what one would.
        veltry::setAccessibleEventSpy(recordUpdate);
    }
    void init() { reports().clear(); }

    void gridReadsAsTable();
    void currentCellIsFollowed();
    void panelTabsArePageTabs();
    void calendarIsATableOfDays();
    void captionBarCloseBoxIsAButton();
};

// A small task list: a check-mark column, the description, a hidden due date, a category; the
// first task checked, the second with notes.
struct TaskList
{
    TImageList images{QSize(12, 12)};
    QWidget window;
    TTextGrid* grid = nullptr;
    QLineEdit* next = nullptr;

    TaskList()
    {
        images.add(QPixmap(12, 12));
        images.add(QPixmap(12, 12));
        auto* layout = new QVBoxLayout(&window);
        grid = new TTextGrid;
        next = new QLineEdit;
        layout->addWidget(grid);
        layout->addWidget(next);
        grid->setColCount(4);
        grid->setRowCount(3);
        grid->EnableGraphics = true;
        grid->setGridImages(&images);
        const QStringList rows[] = {
            {QString(), QStringLiteral("Task"), QStringLiteral("Due On"), QStringLiteral("Category")},
            {QStringLiteral(" "), QStringLiteral("Water the plants"), QStringLiteral("5/6/2026"), QStringLiteral("Home")},
            {QString(), QStringLiteral("Call the bank\r\nabout the card"), QString(), QString(QChar(0x00A0))},
        };
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                grid->setCells(c, r, rows[r].at(c));
        grid->SetCellImage(0, 1, 0, 2, 2);
        grid->SetCellImage(1, 2, 1, 1, 0);
        grid->HideColumn(2);
        veltry::describeGridPictures(grid, 0, 0, {QString(), QStringLiteral("has notes")});
        window.resize(500, 300);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("window not exposed");
    }
};

void TestAccessible::gridReadsAsTable()
{
    TaskList list;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list.grid);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Table);
    QAccessibleTableInterface* table = tableOf(list.grid);
    QVERIFY(table);

    // The title row is the header, not a row; the hidden column is not there at all.
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(iface->childCount(), 9);
    const QStringList headers = {QString(), QStringLiteral("Task"), QStringLiteral("Category")};
    const QStringList texts[] = {{QString(), QStringLiteral("Water the plants"), QStringLiteral("Home")},
                                 {QString(), QStringLiteral("Call the bank\nabout the card"), QString()}};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(table->columnDescription(c), headers.at(c));
        for (int r = 0; r < 2; ++r) {
            QAccessibleInterface* cell = table->cellAt(r, c);
            QVERIFY(cell);
            // The check-mark column's cells are check boxes, the rest plain cells.
            QCOMPARE(cell->role(), c == 0 ? QAccessible::CheckBox : QAccessible::Cell);
            QCOMPARE(cell->text(QAccessible::Name), texts[r].at(c));
            QAccessibleTableCellInterface* ci = cell->tableCellInterface();
            QVERIFY(ci);
            QCOMPARE(ci->rowIndex(), r);
            QCOMPARE(ci->columnIndex(), c);
            const auto header = ci->columnHeaderCells();
            QCOMPARE(header.size(), 1);
            QCOMPARE(header.first()->role(), QAccessible::ColumnHeader);
            QCOMPARE(header.first()->text(QAccessible::Name), headers.at(c));
            // Every cell is reachable both ways through the table's children.
            const int index = iface->indexOfChild(cell);
            QVERIFY(index >= 0);
            QCOMPARE(iface->child(index), cell);
        }
    }
    QVERIFY(!table->cellAt(2, 0));
    QVERIFY(!table->cellAt(0, 3));

    // The check-mark column reads as check boxes; the notes picture as words.
    const QAccessible::State checked = table->cellAt(0, 0)->state();
    QVERIFY(checked.checkable);
    QVERIFY(checked.checked);
    const QAccessible::State unchecked = table->cellAt(1, 0)->state();
    QVERIFY(unchecked.checkable);
    QVERIFY(!unchecked.checked);
    QVERIFY(!table->cellAt(0, 1)->state().checkable);
    QCOMPARE(table->cellAt(1, 1)->text(QAccessible::Description), QStringLiteral("has notes"));
    QCOMPARE(table->cellAt(0, 1)->text(QAccessible::Description), QString());

    // Selection is the current cell.
    list.grid->setCurrentCell(2, 2);
    const auto selected = table->selectedCells();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first(), table->cellAt(1, 2));
    QVERIFY(table->cellAt(1, 2)->state().selected);
    QVERIFY(!table->cellAt(0, 2)->state().selected);

    // Showing the hidden column brings its cells in; a removed row goes.
    list.grid->UnhideColumn(2);
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->cellAt(0, 2)->text(QAccessible::Name), QStringLiteral("5/6/2026"));
    list.grid->RemoveRows(2, 1);
    QCOMPARE(table->rowCount(), 1);
    QVERIFY(!table->cellAt(1, 1));
}

void TestAccessible::currentCellIsFollowed()
{
    TaskList list;
    QVERIFY(tableOf(list.grid));
    list.window.activateWindow();
    list.grid->setFocus();
    QTRY_VERIFY(list.grid->hasFocus());
    list.grid->setCurrentCell(1, 1);
    reports().clear();

    // The arrow key moves the current cell; the screen reader hears of the cell below.
    QTest::keyClick(list.grid, Qt::Key_Down);
    QCOMPARE(list.grid->Row(), 2);
    const auto focusOn = [](int row, int column) {
        return std::any_of(reports().cbegin(), reports().cend(), [&](const Reported& r) {
            return r.type == QAccessible::Focus && r.role == QAccessible::Cell && r.row == row && r.column == column;
        });
    };
    QVERIFY(focusOn(1, 1));
    QVERIFY(std::any_of(reports().cbegin(), reports().cend(),
                        [](const Reported& r) { return r.type == QAccessible::Selection && r.row == 1 && r.column == 1; }));
    QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(list.grid)->focusChild();
    QVERIFY(focused);
    QCOMPARE(focused->tableCellInterface()->rowIndex(), 1);
    QVERIFY(focused->state().focused);

    // Moved by the program, too.
    reports().clear();
    list.grid->setCurrentCell(2, 1);
    QVERIFY(focusOn(0, 2));

    // Without the focus the cell is selected but nothing claims the focus.
    list.next->setFocus();
    QTRY_VERIFY(list.next->hasFocus());
    reports().clear();
    list.grid->setCurrentCell(1, 2);
    QVERIFY(!focusOn(1, 1));
    QVERIFY(!QAccessible::queryAccessibleInterface(list.grid)->focusChild());
    QAccessibleInterface* current = tableOf(list.grid)->cellAt(1, 1);
    QVERIFY(current->state().selected);
    QVERIFY(!current->state().focused);
}

void TestAccessible::panelTabsArePageTabs()
{
    QWidget host;
    host.resize(371, 400);
    auto* mgr = new veltry::TPanelManager(&host);
    mgr->setGeometry(0, 75, 371, 10);
    mgr->setTabHeight(15);
    auto* adv = new veltry::TMPanel(mgr);
    adv->setTabCaption(QStringLiteral("Advanced Options"));
    adv->resize(300, 43);
    auto* notes = new veltry::TMPanel(mgr);
    notes->setTabCaption(QStringLiteral("Notes"));
    notes->resize(300, 125);
    notes->hide();
    mgr->arrange();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(mgr);
    QCOMPARE(list->role(), QAccessible::PageTabList);
    QList<QAccessibleInterface*> tabs;
    for (int i = 0; i < list->childCount(); ++i)
        if (list->child(i)->role() == QAccessible::PageTab)
            tabs << list->child(i);
    QCOMPARE(tabs.size(), 2);
    QCOMPARE(tabs[0]->text(QAccessible::Name), QStringLiteral("Advanced Options"));
    QCOMPARE(tabs[1]->text(QAccessible::Name), QStringLiteral("Notes"));
    QVERIFY(tabs[0]->state().expanded);
    QVERIFY(tabs[1]->state().collapsed);
    QCOMPARE(list->indexOfChild(tabs[1]), list->indexOfChild(tabs[0]) + 1);
    // Tabs and panels alike: each child is found again at its own index.
    QVERIFY(list->childCount() > tabs.size());
    for (int i = 0; i < list->childCount(); ++i)
        QCOMPARE(list->indexOfChild(list->child(i)), i);
    QVERIFY(!tabs[1]->rect().isEmpty());

    // Pressing the collapsed tab opens its panel, as a click would.
    tabs[1]->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(notes->isVisible());
    QVERIFY(tabs[1]->state().expanded);
    QVERIFY(std::any_of(reports().cbegin(), reports().cend(),
                        [](const Reported& r) { return r.type == QAccessible::StateChanged && r.role == QAccessible::PageTab; }));
}

void TestAccessible::calendarIsATableOfDays()
{
    veltry::TCalForm form;
    form.setStartDate(QDate(2026, 12, 15));
    form.popup(QPoint(200, 200));
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&form);
    QCOMPARE(iface->role(), QAccessible::Table);
    QAccessibleTableInterface* table = iface->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 7);
    QCOMPARE(table->rowCount(), 6);
    QCOMPARE(table->columnDescription(0), form.dayNameAt(0));
    const auto selected = table->selectedCells();
    QCOMPARE(selected.size(), 1);
    const QString name = selected.first()->text(QAccessible::Name);
    QCOMPARE(name, QLocale().toString(QDate(2026, 12, 15), QLocale::LongFormat));
    QVERIFY(selected.first()->state().selected);

    // The arrow key moves the date; the screen reader hears of the new day.
    reports().clear();
    QTest::keyClick(&form, Qt::Key_Right);
    QCOMPARE(form.selectedDate(), QDate(2026, 12, 16));
    QCOMPARE(table->selectedCells().first()->text(QAccessible::Name),
             QLocale().toString(QDate(2026, 12, 16), QLocale::LongFormat));
    QVERIFY(std::any_of(reports().cbegin(), reports().cend(), [&](const Reported& r) {
        return r.type == QAccessible::Focus && r.role == QAccessible::Cell
               && table->cellAt(r.row, r.column) == table->selectedCells().first();
    }));
    form.close();
}

void TestAccessible::captionBarCloseBoxIsAButton()
{
    QWidget window;
    window.setGeometry(100, 100, 400, 200);
    window.setWindowTitle(QStringLiteral("Tasks"));
    new veltry::TGradientCaption(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* frame = window.findChild<veltry::TCaptionFrame*>();
    QVERIFY(frame);
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(frame);
    QCOMPARE(bar->role(), QAccessible::TitleBar);
    QAccessibleInterface* close = nullptr;
    for (int i = 0; i < bar->childCount(); ++i)
        if (bar->child(i)->text(QAccessible::Name) == QLatin1String("Close"))
            close = bar->child(i);
    QVERIFY(close);
    QCOMPARE(close->role(), QAccessible::Button);
    QVERIFY(!close->rect().isEmpty());
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(!window.isVisible());
}

QTEST_MAIN(TestAccessible)
#include "wtst_accessible.moc"
