#include "widgets/PanelMgr.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace veltry;

namespace {

// The add/edit dialog's arrangement: a 15-pixel strip, "Advanced Options" 43 high over "Notes"
// 125 high, the notes tab in its own colour.
struct Stack
{
    std::unique_ptr<QWidget> host = std::make_unique<QWidget>();
    TPanelManager* mgr = nullptr;
    TMPanel* adv = nullptr;
    TMPanel* notes = nullptr;
    QList<int> actions;
    QList<QWidget*> changes;
    // Action codes the handler refuses.
    QList<int> refuse;

    ~Stack()
    {
        mgr->setOnPanelAction(nullptr);
        mgr->setOnPanelChange(nullptr);
    }

    Stack()
    {
        host->resize(371, 400);
        mgr = new TPanelManager(host.get());
        mgr->setGeometry(0, 75, 371, 10);
        mgr->setTabHeight(15);
        adv = new TMPanel(mgr);
        adv->setTabCaption(QStringLiteral("Advanced Options"));
        adv->resize(300, 43);
        new QLabel(QStringLiteral("Due at:"), adv);
        notes = new TMPanel(mgr);
        notes->setTabCaption(QStringLiteral("Notes"));
        notes->resize(300, 125);
        notes->setParentTabColor(false);
        auto* memo = new QLabel(notes);
        memo->setGeometry(4, 6, 354, 101);
        mgr->setOnPanelAction([this](TPanelManager* sender, QWidget*, TPanelAction a, bool& canDo) {
            QCOMPARE(sender, mgr);
            actions << int(a);
            if (refuse.contains(int(a)))
                canDo = false;
        });
        mgr->setOnPanelChange([this](TPanelManager*, QWidget* p) { changes << p; });
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    }

    QPoint verticalTab(const QWidget* p) const { return {mgr->tabWidth() / 2, p->y() + p->height() / 2}; }
    QPoint slantedTab(const QWidget* p) const
    {
        const QPolygon poly = mgr->tabPolygon(p);
        // A little right of the upright top-left corner, one row into the strip.
        return poly.point(0) + QPoint(8, 1);
    }
    QPoint tabOf(const QWidget* p) const { return mgr->isCollapsed(p) ? slantedTab(p) : verticalTab(p); }
    void click(const QWidget* p) const { QTest::mouseClick(mgr, Qt::LeftButton, {}, tabOf(p)); }
    void drag(const QPoint& from, const QPoint& to) const
    {
        QTest::mousePress(mgr, Qt::LeftButton, {}, from);
        QTest::mouseMove(mgr, to);
        QTest::mouseRelease(mgr, Qt::LeftButton, {}, to);
    }
    void clearLog()
    {
        actions.clear();
        changes.clear();
    }
};

bool imageHas(const QImage& img, const QRect& r, const QColor& c)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y).rgb() == c.rgb())
                return true;
    return false;
}

} // namespace

class TestPanelMgr final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tabHighColorDerived_data();
    void tabHighColorDerived();
    void panelTabColourIsNotDerived();
    void clickTogglesPanel();
    void managerHeight_data();
    void managerHeight();
    void bothCollapsedTabsSideBySide();
    void refusedActionChangesNothing_data();
    void refusedActionChangesNothing();
    void clickOrDrag_data();
    void clickOrDrag();
    void dragExpandedTabReorders();
    void dragCollapsedTabExpandsAboveTarget();
    void dragOutFloatsAndCloseDocks();
    void refusedFloatStaysDocked_data();
    void refusedFloatStaysDocked();
    void floatWithoutCaptionIsTools();
    void hidingManagerDocksFloats();
    void tabColoursPerPanel();
    void hotTabFollowsPointer();
    void arrangedButtons();
};

void TestPanelMgr::tabHighColorDerived_data()
{
    QTest::addColumn<QColor>("tab");
    QTest::addColumn<QColor>("high");
    QTest::newRow("blue") << QColor(0, 0, 255) << QColor(192, 192, 255);
    QTest::newRow("red") << QColor(255, 0, 0) << QColor(255, 192, 192);
    QTest::newRow("edge 63 and 64") << QColor(63, 64, 100) << QColor(255, 255, 255);
    QTest::newRow("dark grey") << QColor(32, 10, 0) << QColor(224, 202, 192);
}

void TestPanelMgr::tabHighColorDerived()
{
    QFETCH(QColor, tab);
    QFETCH(QColor, high);
    TPanelManager m;
    QCOMPARE(m.tabColor(), QColor(0, 0, 255));
    QCOMPARE(m.tabHighColor(), QColor(192, 192, 255));
    m.setTabColor(tab);
    QCOMPARE(m.tabHighColor(), high);
}

void TestPanelMgr::panelTabColourIsNotDerived()
{
    TMPanel p;
    p.setTabColor(QColor(255, 0, 0));
    QCOMPARE(p.tabHighColor(), QColor(192, 192, 255));
}

void TestPanelMgr::clickTogglesPanel()
{
    Stack s;
    QCOMPARE(s.mgr->height(), 43 + 125 + 1);
    QSignalSpy spy(s.mgr, &TPanelManager::panelChanged);

    s.click(s.notes);
    QVERIFY(s.notes->isHidden());
    QCOMPARE(s.mgr->height(), 43 + 15 + 1);
    QCOMPARE(s.actions, (QList<int>{paAboutToCollapse, paCollapsed}));
    QCOMPARE(s.changes, QList<QWidget*>{s.notes});
    QCOMPARE(spy.count(), 1);
    // The slanted tab lies in the bottom strip and is hit there.
    const QRect tab = s.mgr->tabPolygon(s.notes).boundingRect();
    QCOMPARE(tab.top(), 43);
    QCOMPARE(tab.height(), 15);
    QCOMPARE(s.mgr->hitTest(s.slantedTab(s.notes)), s.notes);

    s.clearLog();
    s.click(s.notes);
    QVERIFY(!s.notes->isHidden());
    QCOMPARE(s.mgr->height(), 43 + 125 + 1);
    QCOMPARE(s.notes->geometry(), QRect(10, 43, 361, 125));
    QCOMPARE(s.actions, (QList<int>{paAboutToExpand, paExpanded}));
    QCOMPARE(s.changes, QList<QWidget*>{s.notes});
}

void TestPanelMgr::managerHeight_data()
{
    QTest::addColumn<bool>("collapseAdv");
    QTest::addColumn<bool>("collapseNotes");
    QTest::addColumn<bool>("inner");
    QTest::addColumn<bool>("outer");
    QTest::addColumn<int>("height");
    QTest::newRow("both shown") << false << false << false << false << 169;
    QTest::newRow("notes collapsed") << false << true << false << false << 43 + 15 + 1;
    QTest::newRow("advanced collapsed") << true << false << false << false << 125 + 15 + 1;
    QTest::newRow("both collapsed") << true << true << false << false << 15 + 1;
    QTest::newRow("inner bevel") << false << true << true << false << 43 + 15 + 2;
    QTest::newRow("both bevels") << true << true << true << true << 15 + 3;
    QTest::newRow("outer bevel") << false << false << false << true << 169 + 1;
}

void TestPanelMgr::managerHeight()
{
    QFETCH(bool, collapseAdv);
    QFETCH(bool, collapseNotes);
    QFETCH(bool, inner);
    QFETCH(bool, outer);
    QFETCH(int, height);
    Stack s;
    s.mgr->setBevelInner(inner);
    s.mgr->setBevelOuter(outer);
    if (collapseNotes)
        s.click(s.notes);
    if (collapseAdv)
        s.click(s.adv);
    QCOMPARE(s.mgr->height(), height);
    // Expanded panels sit right of the vertical tabs and fill the remaining width.
    const int inset = (inner ? 1 : 0) + (outer ? 1 : 0);
    for (TMPanel* p : {s.adv, s.notes})
        if (!p->isHidden())
            QCOMPARE(p->x(), inset + s.mgr->tabWidth());
}

void TestPanelMgr::bothCollapsedTabsSideBySide()
{
    Stack s;
    s.click(s.adv);
    s.click(s.notes);
    QCOMPARE(s.mgr->height(), 16);
    const QPolygon a = s.mgr->tabPolygon(s.adv);
    const QPolygon n = s.mgr->tabPolygon(s.notes);
    QCOMPARE(a.point(0), QPoint(0, 0));
    // The first tab's left edge is upright, the next one leans.
    QCOMPARE(a.point(3).x(), 0);
    QVERIFY(n.point(0).x() > a.point(1).x());
    QCOMPARE(n.point(3).x(), n.point(0).x() - 14);
    // Its length is the panel's height plus its caption followed by "a".
    const int len = 43 + QFontMetrics(s.mgr->font()).horizontalAdvance(QStringLiteral("Advanced Optionsa"));
    QCOMPARE(n.point(0).x(), len);
    // Along the slanted border the same x belongs to the first tab at the top row and to the
    // second one at the bottom row.
    QCOMPARE(s.mgr->hitTest(QPoint(len - 5, 0)), s.adv);
    QCOMPARE(s.mgr->hitTest(QPoint(len - 5, 14)), s.notes);
    QCOMPARE(s.mgr->hitTest(QPoint(len - 16, 14)), s.adv);
}

void TestPanelMgr::refusedActionChangesNothing_data()
{
    QTest::addColumn<bool>("startCollapsed");
    QTest::newRow("collapse refused") << false;
    QTest::newRow("expand refused") << true;
}

void TestPanelMgr::refusedActionChangesNothing()
{
    QFETCH(bool, startCollapsed);
    Stack s;
    if (startCollapsed)
        s.click(s.notes);
    const int height = s.mgr->height();
    s.clearLog();
    s.refuse = {paAboutToExpand, paAboutToCollapse};
    s.click(s.notes);
    QCOMPARE(s.notes->isHidden(), startCollapsed);
    QCOMPARE(s.mgr->height(), height);
    QCOMPARE(s.actions, QList<int>{startCollapsed ? paAboutToExpand : paAboutToCollapse});
    QVERIFY(s.changes.isEmpty());
}

void TestPanelMgr::clickOrDrag_data()
{
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<bool>("toggled");
    QTest::newRow("still") << QPoint(0, 0) << true;
    QTest::newRow("4 down") << QPoint(0, 4) << true;
    QTest::newRow("4 up and left") << QPoint(-4, -4) << true;
    QTest::newRow("5 down") << QPoint(0, 5) << false;
    QTest::newRow("5 up") << QPoint(0, -5) << false;
}

void TestPanelMgr::clickOrDrag()
{
    QFETCH(QPoint, move);
    QFETCH(bool, toggled);
    Stack s;
    const QPoint from = s.verticalTab(s.notes) + QPoint(1, 0);
    s.drag(from, from + move);
    QCOMPARE(s.notes->isHidden(), toggled);
    QCOMPARE(s.changes.size(), toggled ? 1 : 0);
    QCOMPARE(s.mgr->panels(), (QList<QWidget*>{s.adv, s.notes}));
}

void TestPanelMgr::dragExpandedTabReorders()
{
    Stack s;
    s.drag(s.verticalTab(s.notes), s.verticalTab(s.adv));
    QCOMPARE(s.mgr->panels(), (QList<QWidget*>{s.notes, s.adv}));
    QCOMPARE(s.notes->y(), 0);
    QCOMPARE(s.adv->y(), 125);
    QVERIFY(s.actions.isEmpty());
    QVERIFY(s.changes.isEmpty());
    // The new order holds when a panel collapses and comes back.
    s.click(s.notes);
    s.click(s.notes);
    QCOMPARE(s.mgr->panels(), (QList<QWidget*>{s.notes, s.adv}));
    QCOMPARE(s.notes->y(), 0);
}

void TestPanelMgr::dragCollapsedTabExpandsAboveTarget()
{
    Stack s;
    s.click(s.notes);
    s.clearLog();
    s.drag(s.slantedTab(s.notes), s.verticalTab(s.adv));
    QVERIFY(!s.notes->isHidden());
    QCOMPARE(s.mgr->panels(), (QList<QWidget*>{s.notes, s.adv}));
    QCOMPARE(s.notes->y(), 0);
    QCOMPARE(s.mgr->height(), 169);
    QCOMPARE(s.actions, (QList<int>{paAboutToExpand, paExpanded}));
    QCOMPARE(s.changes, QList<QWidget*>{s.notes});
}

void TestPanelMgr::dragOutFloatsAndCloseDocks()
{
    Stack s;
    s.notes->setFloatX(7);
    s.notes->setFloatY(3);
    const QPoint drop(40, s.mgr->height() + 60);
    s.drag(s.verticalTab(s.notes), drop);

    TFloatPanel* win = s.notes->floatWindow();
    QVERIFY(win);
    QVERIFY(s.notes->isFloating());
    QCOMPARE(s.notes->parentWidget(), win);
    QVERIFY(win->isVisible());
    QVERIFY(win->windowFlags().testFlag(Qt::Tool));
    QVERIFY(win->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(win->windowTitle(), QStringLiteral("Notes"));
    // The content's right and bottom edges plus the extra room.
    QCOMPARE(win->size(), QSize(4 + 354 + 7, 6 + 101 + 3));
    QCOMPARE(win->pos(), s.mgr->mapToGlobal(drop));
    QCOMPARE(s.mgr->height(), 43 + 1);
    QCOMPARE(s.mgr->panels(), QList<QWidget*>{s.adv});
    QCOMPARE(s.actions, (QList<int>{paAboutToFloat, paFloated}));

    // Something else moves meanwhile; the docked panel comes back to its own place.
    s.click(s.adv);
    s.clearLog();
    QVERIFY(win->close());
    QVERIFY(!s.notes->isFloating());
    QVERIFY(!s.notes->floatWindow());
    QCOMPARE(s.notes->parentWidget(), s.mgr);
    QVERIFY(!s.notes->isHidden());
    QCOMPARE(s.notes->height(), 125);
    QCOMPARE(s.mgr->panels(), (QList<QWidget*>{s.adv, s.notes}));
    QCOMPARE(s.mgr->height(), 125 + 15 + 1);
    QCOMPARE(s.actions, QList<int>{paDocked});
    QCOMPARE(s.changes, QList<QWidget*>{s.notes});
    QTRY_VERIFY(s.host->findChildren<TFloatPanel*>().isEmpty());
}

void TestPanelMgr::refusedFloatStaysDocked_data()
{
    QTest::addColumn<bool>("floatable");
    QTest::addColumn<QList<int>>("actions");
    QTest::newRow("handler refuses") << true << QList<int>{paAboutToFloat};
    QTest::newRow("not floatable") << false << QList<int>{};
}

void TestPanelMgr::refusedFloatStaysDocked()
{
    QFETCH(bool, floatable);
    QFETCH(QList<int>, actions);
    Stack s;
    s.refuse = {paAboutToFloat};
    s.notes->setFloatable(floatable);
    s.drag(s.verticalTab(s.notes), QPoint(40, s.mgr->height() + 60));
    QVERIFY(!s.notes->isFloating());
    QCOMPARE(s.notes->parentWidget(), s.mgr);
    QVERIFY(!s.notes->isHidden());
    QCOMPARE(s.mgr->height(), 169);
    QCOMPARE(s.actions, actions);
    QVERIFY(s.changes.isEmpty());
}

void TestPanelMgr::floatWithoutCaptionIsTools()
{
    Stack s;
    s.adv->setTabCaption(QString());
    TFloatPanel* win = s.mgr->floatPanel(s.adv, QPoint(10, 10));
    QVERIFY(win);
    QCOMPARE(win->windowTitle(), QStringLiteral("Tools"));
}

void TestPanelMgr::hidingManagerDocksFloats()
{
    Stack s;
    s.drag(s.verticalTab(s.notes), QPoint(40, s.mgr->height() + 60));
    QVERIFY(s.notes->isFloating());
    s.host->hide();
    QTRY_VERIFY(!s.notes->isFloating());
    QCOMPARE(s.notes->parentWidget(), s.mgr);
    QCOMPARE(s.mgr->height(), 169);
}

void TestPanelMgr::tabColoursPerPanel()
{
    Stack s;
    const QColor red(255, 0, 0);
    const QColor blue(0, 0, 255);
    s.notes->setTabColor(red);
    QImage img = s.mgr->grab().toImage();
    const QRect advTab(0, 0, 10, 43);
    const QRect notesTab(0, 43, 10, 125);
    QVERIFY(imageHas(img, advTab, blue));
    QVERIFY(!imageHas(img, advTab, red));
    QVERIFY(imageHas(img, notesTab, red));
    QVERIFY(!imageHas(img, notesTab, blue));

    // Collapsed tabs keep their colours; a panel back on the manager's colours turns blue.
    s.click(s.notes);
    s.notes->setParentTabColor(true);
    img = s.mgr->grab().toImage();
    const QRect strip(0, 43, s.mgr->width(), 15);
    QVERIFY(imageHas(img, strip, blue));
    QVERIFY(!imageHas(img, strip, red));
}

void TestPanelMgr::hotTabFollowsPointer()
{
    Stack s;
    QTest::mouseMove(s.mgr, s.verticalTab(s.adv));
    QVERIFY(!s.mgr->hotPanel());

    s.mgr->setTabHighLight(true);
    QTest::mouseMove(s.mgr, s.verticalTab(s.notes));
    QCOMPARE(s.mgr->hotPanel(), s.notes);
    const QImage img = s.mgr->grab().toImage();
    QCOMPARE(img.pixelColor(s.verticalTab(s.notes) + QPoint(0, 1)), QColor(192, 192, 255));
    QTest::mouseMove(s.mgr, s.verticalTab(s.adv));
    QCOMPARE(s.mgr->hotPanel(), s.adv);
    // A release clears the hot tab.
    QTest::mouseClick(s.mgr, Qt::LeftButton, {}, s.verticalTab(s.adv));
    QVERIFY(!s.mgr->hotPanel());
}

void TestPanelMgr::arrangedButtons()
{
    TMPanel p;
    p.resize(300, 40);
    auto* a = new QPushButton(QStringLiteral("A"), &p);
    a->setFixedWidth(30);
    auto* b = new QPushButton(QStringLiteral("B"), &p);
    b->setFixedWidth(40);
    b->hide();
    auto* c = new QPushButton(QStringLiteral("C"), &p);
    c->setFixedWidth(25);
    auto* label = new QLabel(QStringLiteral("not a button"), &p);
    label->move(5, 20);
    p.setArangeButtons(true);
    QCOMPARE(a->pos(), QPoint(20, 2));
    QCOMPARE(c->pos(), QPoint(50, 2));
    QCOMPARE(label->pos(), QPoint(5, 20));
    b->show();
    QCOMPARE(b->pos(), QPoint(50, 2));
    QCOMPARE(c->pos(), QPoint(90, 2));
}

QTEST_MAIN(TestPanelMgr)
#include "wtst_panelmgr.moc"
