#include "widgets/PanelMgr.h"
#include "widgets/PanelMgrAccessible.h"

#include <QAbstractButton>
#include <QChildEvent>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace veltry {

namespace {

// Stored colours are blue on a light blue highlight until someone chooses otherwise.
const QColor kDefaultTabColor(0, 0, 255);
const QColor kDefaultTabHighColor(192, 192, 255);

bool isButtonChild(const QWidget* w)
{
    // Our flat toolbar button is not a QAbstractButton; matching it by class name keeps this
    // file free of a dependency on it.
    return qobject_cast<const QAbstractButton*>(w) != nullptr || w->inherits("veltry::TFlatButton");
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TMPanel

TMPanel::TMPanel(QWidget* parent)
    : QWidget(parent)
    , m_tabColor(kDefaultTabColor)
    , m_tabHighColor(kDefaultTabHighColor)
{
}

TMPanel::~TMPanel()
{
    // Deleted on its own while floating: the empty tool window has no reason to stay.
    if (m_floatWindow && m_floatWindow->m_panel == this)
        m_floatWindow->deleteLater();
}

void TMPanel::setTabColor(const QColor& c)
{
    if (m_tabColor == c)
        return;
    m_tabColor = c;
    repaintManager();
}

void TMPanel::setTabHighColor(const QColor& c)
{
    if (m_tabHighColor == c)
        return;
    m_tabHighColor = c;
    repaintManager();
}

void TMPanel::setTabCaption(const QString& s)
{
    if (m_tabCaption == s)
        return;
    m_tabCaption = s;
    if (m_floatWindow)
        m_floatWindow->setWindowTitle(s.isEmpty() ? QStringLiteral("Tools") : s);
    // The caption sets the length of the collapsed tab, so the tabs after it move.
    if (auto* m = qobject_cast<TPanelManager*>(parentWidget()))
        m->arrange();
}

void TMPanel::setParentTabColor(bool on)
{
    if (m_parentTabColor == on)
        return;
    m_parentTabColor = on;
    repaintManager();
}

void TMPanel::setArangeButtons(bool on)
{
    if (m_arangeButtons == on)
        return;
    m_arangeButtons = on;
    arrangeButtons();
}

TFloatPanel* TMPanel::floatWindow() const
{
    return m_floatWindow;
}

void TMPanel::repaintManager()
{
    if (auto* m = qobject_cast<TPanelManager*>(parentWidget()))
        m->update();
}

void TMPanel::arrangeButtons()
{
    if (!m_arangeButtons || m_arrangingButtons)
        return;
    m_arrangingButtons = true;
    int x = 20;
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow() || !isButtonChild(w) || w->isHidden())
            continue;
        w->move(x, 2);
        x += w->width();
    }
    m_arrangingButtons = false;
}

bool TMPanel::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::ChildAdded:
        if (auto* w = qobject_cast<QWidget*>(static_cast<QChildEvent*>(e)->child()))
            w->installEventFilter(this);
        break;
    case QEvent::ChildPolished:
    case QEvent::ChildRemoved:
        arrangeButtons();
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

bool TMPanel::eventFilter(QObject* watched, QEvent* e)
{
    if (watched->parent() == this) {
        switch (e->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::Resize:
            arrangeButtons();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------------------------
// TFloatPanel

TFloatPanel::TFloatPanel(TPanelManager* manager, TMPanel* panel, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_manager(manager)
    , m_panel(panel)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A window does not take its owner's font of itself: in the default one the panel's
    // captions, measured for the dialog's font, would be cut off.
    setAttribute(Qt::WA_WindowPropagation);
    setWindowTitle(panel->tabCaption().isEmpty() ? QStringLiteral("Tools") : panel->tabCaption());
}

TFloatPanel::~TFloatPanel()
{
    if (m_panel && m_panel->m_floatWindow == this)
        m_panel->m_floatWindow = nullptr;
    if (m_manager)
        m_manager->m_floats.removeAll(this);
}

void TFloatPanel::closeEvent(QCloseEvent* e)
{
    if (m_manager && m_panel)
        m_manager->dock(this);
    e->accept();
}

void TFloatPanel::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (m_panel && m_panel->parentWidget() == this)
        m_panel->setGeometry(rect());
}

// ---------------------------------------------------------------------------------------------
// TPanelManager

TPanelManager::TPanelManager(QWidget* parent)
    : QWidget(parent)
    , m_tabColor(kDefaultTabColor)
    , m_tabHighColor(kDefaultTabHighColor)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    arrange();
}

TPanelManager::~TPanelManager()
{
    // A floating panel still belongs to this manager; it goes with it.
    const auto floats = m_floats;
    m_floats.clear();
    for (const QPointer<TFloatPanel>& f : floats) {
        if (f) {
            f->m_manager = nullptr;
            delete f.data();
        }
    }
}

QColor TPanelManager::deriveTabHighColor(const QColor& c)
{
    auto lift = [](int v) { return v < 64 ? v + 192 : 255; };
    return QColor(lift(c.red()), lift(c.green()), lift(c.blue()));
}

void TPanelManager::setTabWidth(int w)
{
    if (m_tabWidth == w)
        return;
    m_tabWidth = w;
    arrange();
}

void TPanelManager::setTabHeight(int h)
{
    if (m_tabHeight == h)
        return;
    m_tabHeight = h;
    arrange();
}

void TPanelManager::setTabColor(const QColor& c)
{
    m_tabColor = c;
    m_tabHighColor = deriveTabHighColor(c);
    update();
}

void TPanelManager::setTabHighColor(const QColor& c)
{
    if (m_tabHighColor == c)
        return;
    m_tabHighColor = c;
    update();
}

void TPanelManager::setTabHighLight(bool on)
{
    if (m_tabHighLight == on)
        return;
    m_tabHighLight = on;
    // Hot tabs need moves without a button held.
    setMouseTracking(on);
    if (!on)
        setHot(-1);
}

void TPanelManager::setBevelOuter(bool on)
{
    if (m_bevelOuter == on)
        return;
    m_bevelOuter = on;
    arrange();
}

void TPanelManager::setBevelInner(bool on)
{
    if (m_bevelInner == on)
        return;
    m_bevelInner = on;
    arrange();
}

void TPanelManager::setBevelWidth(int w)
{
    if (m_bevelWidth == w)
        return;
    m_bevelWidth = w;
    arrange();
}

int TPanelManager::bevelInset() const
{
    return (m_bevelOuter ? m_bevelWidth : 0) + (m_bevelInner ? m_bevelWidth : 0);
}

int TPanelManager::bevelAllowance() const
{
    return (m_bevelInner ? 2 * m_bevelWidth : m_bevelWidth) + (m_bevelOuter ? m_bevelWidth : 0);
}

bool TPanelManager::isStacked(const QWidget* w) const
{
    return w && w->parentWidget() == this && !w->isWindow();
}

QList<QWidget*> TPanelManager::panels() const
{
    QList<QWidget*> out;
    for (const QPointer<QWidget>& w : m_order)
        if (isStacked(w))
            out.append(w);
    return out;
}

bool TPanelManager::isExpanded(const QWidget* panel) const
{
    return isStacked(panel) && !panel->isHidden();
}

bool TPanelManager::isCollapsed(const QWidget* panel) const
{
    return isStacked(panel) && panel->isHidden();
}

int TPanelManager::entryIndex(const QWidget* panel) const
{
    for (size_t i = 0; i < m_tabs.size(); ++i)
        if (m_tabs[i].panel == panel)
            return int(i);
    return -1;
}

void TPanelManager::postArrange()
{
    if (m_arrangePosted)
        return;
    m_arrangePosted = true;
    QTimer::singleShot(0, this, [this] {
        m_arrangePosted = false;
        arrange();
    });
}

void TPanelManager::arrange()
{
    if (m_arranging)
        return;
    m_arranging = true;

    // Forget panels that were deleted or taken away; a floating one keeps its place.
    m_order.erase(std::remove_if(m_order.begin(), m_order.end(),
                                 [this](const QPointer<QWidget>& w) {
                                     if (!w)
                                         return true;
                                     auto* mp = qobject_cast<TMPanel*>(w.data());
                                     return !isStacked(w) && !(mp && mp->m_floating);
                                 }),
                  m_order.end());
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (isStacked(w) && !m_order.contains(w))
            m_order.append(w);
    }

    const int inset = bevelInset();
    const QFontMetrics fm(font());
    QWidget* hotPanel = (m_hot >= 0 && m_hot < int(m_tabs.size())) ? m_tabs[m_hot].panel.data() : nullptr;
    m_tabs.clear();
    int y = 0;
    int x = 0;
    bool anyExpanded = false;
    bool anyCollapsed = false;
    for (const QPointer<QWidget>& w : m_order) {
        if (!isStacked(w))
            continue;
        TabEntry t;
        t.panel = w;
        const int h = w->height();
        if (!w->isHidden()) {
            t.start = inset + y;
            t.end = t.start + h;
            y += h;
            anyExpanded = true;
        } else {
            int len = h;
            if (auto* mp = qobject_cast<TMPanel*>(w.data()); mp && !mp->tabCaption().isEmpty())
                len += fm.horizontalAdvance(mp->tabCaption() + QLatin1Char('a'));
            t.collapsed = true;
            t.start = inset + x;
            t.end = t.start + len;
            x += len;
            anyCollapsed = true;
        }
        m_tabs.push_back(t);
    }

    m_stripRight = anyExpanded ? inset + m_tabWidth : 0;
    m_stripTop = anyCollapsed ? inset + y : INT_MAX;
    m_hot = hotPanel ? entryIndex(hotPanel) : -1;

    const int total = y + (anyCollapsed ? m_tabHeight : 0) + bevelAllowance();
    if (minimumHeight() != total || maximumHeight() != total)
        setFixedHeight(total);

    const int left = inset + (anyExpanded ? m_tabWidth : 0);
    const int areaWidth = std::max(0, width() - inset - left);
    for (const TabEntry& t : m_tabs) {
        if (t.collapsed)
            continue;
        const QRect g(left, t.start, areaWidth, t.end - t.start);
        if (t.panel->geometry() != g)
            t.panel->setGeometry(g);
    }

    m_arranging = false;
    update();
}

bool TPanelManager::ask(QWidget* panel, TPanelAction action)
{
    bool canDo = true;
    if (m_onPanelAction)
        m_onPanelAction(this, panel, action, canDo);
    return canDo;
}

void TPanelManager::tell(QWidget* panel, TPanelAction action)
{
    bool ignored = true;
    if (m_onPanelAction)
        m_onPanelAction(this, panel, action, ignored);
}

void TPanelManager::notifyChange(QWidget* panel)
{
    QPointer<QWidget> guard(panel);
    if (m_onPanelChange)
        m_onPanelChange(this, panel);
    Q_EMIT panelChanged(guard);
    if (guard)
        panelManagerPanelToggled(this, guard);
}

bool TPanelManager::expandWithEvents(QWidget* panel)
{
    QPointer<QWidget> guard(panel);
    if (!ask(panel, paAboutToExpand) || !isCollapsed(guard))
        return false;
    panel->show();
    arrange();
    tell(panel, paExpanded);
    if (guard)
        notifyChange(panel);
    return true;
}

bool TPanelManager::collapseWithEvents(QWidget* panel)
{
    QPointer<QWidget> guard(panel);
    if (!ask(panel, paAboutToCollapse) || !isExpanded(guard))
        return false;
    panel->hide();
    arrange();
    tell(panel, paCollapsed);
    if (guard)
        notifyChange(panel);
    return true;
}

bool TPanelManager::togglePanel(QWidget* panel)
{
    if (isCollapsed(panel))
        return expandWithEvents(panel);
    if (isExpanded(panel))
        return collapseWithEvents(panel);
    return false;
}

void TPanelManager::movePanelAbove(QWidget* panel, QWidget* target)
{
    // The stack order is kept as a list rather than in the panels' tops, so a collapsed panel
    // cannot drift to another place while the others move under it.
    if (panel == target)
        return;
    const int from = m_order.indexOf(panel);
    if (from < 0 || m_order.indexOf(target) < 0)
        return;
    m_order.removeAt(from);
    m_order.insert(m_order.indexOf(target), panel);
}

TFloatPanel* TPanelManager::floatPanel(TMPanel* panel, const QPoint& screenPos)
{
    if (!isStacked(panel) || !panel->floatable())
        return nullptr;
    QPointer<TMPanel> guard(panel);
    if (!ask(panel, paAboutToFloat) || !guard || !isStacked(panel))
        return nullptr;

    int contentRight = 10;
    int contentBottom = 10;
    for (QObject* o : panel->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow())
            continue;
        contentRight = std::max(contentRight, w->geometry().right() + 1);
        contentBottom = std::max(contentBottom, w->geometry().bottom() + 1);
    }
    const QSize client(contentRight + panel->floatX(), contentBottom + panel->floatY());

    auto* win = new TFloatPanel(this, panel, window());
    panel->m_dockedHeight = panel->height();
    panel->m_floating = true;
    panel->m_floatWindow = win;
    panel->setParent(win);
    panel->setGeometry(QRect(QPoint(0, 0), client));
    panel->show();
    m_floats.append(win);
    if (m_pressedPanel == panel)
        m_pressedPanel = nullptr;
    arrange();

    win->resize(client);
    win->move(screenPos);
    win->show();
    tell(panel, paFloated);
    if (guard)
        notifyChange(panel);
    return win;
}

void TPanelManager::dock(TFloatPanel* window)
{
    TMPanel* panel = window->m_panel;
    m_floats.removeAll(window);
    window->m_manager = nullptr;
    if (!panel)
        return;
    // Cleared before the move so the returning child is taken back into its old stack place.
    panel->m_floating = false;
    panel->m_floatWindow = nullptr;
    window->m_panel = nullptr;
    panel->setParent(this);
    if (panel->m_dockedHeight >= 0)
        panel->resize(panel->width(), panel->m_dockedHeight);
    panel->m_dockedHeight = -1;
    panel->show();
    arrange();
    QPointer<TMPanel> guard(panel);
    tell(panel, paDocked);
    if (guard)
        notifyChange(panel);
}

void TPanelManager::setHot(int index)
{
    if (m_hot == index)
        return;
    m_hot = index;
    update();
}

QSize TPanelManager::sizeHint() const
{
    return QSize(200, height());
}

QSize TPanelManager::minimumSizeHint() const
{
    return QSize(m_tabWidth + 2 * bevelInset(), height());
}

// ---------------------------------------------------------------------------------------------
// Keeping the stack in step with the children

void TPanelManager::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    arrange();
}

void TPanelManager::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    arrange();
}

void TPanelManager::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    // A tool window left floating over a closed dialog would outlive its use; bring the panels
    // home when the manager leaves the screen (not when its window is merely minimised). Later,
    // not now: a hide may be the start of the window's destruction, when no handler may run.
    if (e->spontaneous() || m_floats.isEmpty())
        return;
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            return;
        const auto floats = m_floats;
        for (const QPointer<TFloatPanel>& f : floats)
            if (f)
                f->close();
    });
}

void TPanelManager::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        arrange();
}

void TPanelManager::childEvent(QChildEvent* e)
{
    QWidget::childEvent(e);
    if (e->added()) {
        // The child may still be under construction here, so its layout is left to the posted
        // arrangement; only its place in the stack is taken now.
        if (auto* w = qobject_cast<QWidget*>(e->child())) {
            w->installEventFilter(this);
            if (!w->isWindow() && !m_order.contains(w))
                m_order.append(w);
            postArrange();
        }
    } else if (e->removed() || e->polished()) {
        postArrange();
    }
}

bool TPanelManager::eventFilter(QObject* watched, QEvent* e)
{
    if (auto* w = qobject_cast<QWidget*>(watched); isStacked(w)) {
        switch (e->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::Resize:
            arrange();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace veltry
