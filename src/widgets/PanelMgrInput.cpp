#include "widgets/PanelMgr.h"
#include "widgets/PanelMgrAccessible.h"

#include <QMouseEvent>
#include <QFocusEvent>
#include <QKeyEvent>

#include <cstdlib>

namespace veltry {

namespace {

// Further than this from the press point (in either direction) a release is a drag, not a click.
constexpr int kClickSlop = 4;

} // namespace

// ---------------------------------------------------------------------------------------------
// Finding the tab under a point

int TPanelManager::hitIndex(const QPoint& pos) const
{
    if (pos.x() >= m_stripRight && pos.y() < m_stripTop)
        return -1;
    bool first = true;
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        const TabEntry& t = m_tabs[i];
        if (t.collapsed) {
            const int row = pos.y() - m_stripTop;
            if (row >= 0 && row < m_tabHeight) {
                const int left = first ? t.start : t.start - row;
                if (pos.x() >= left && pos.x() < t.end - row)
                    return int(i);
            }
            first = false;
        } else if (pos.y() >= t.start && pos.y() < t.end && pos.x() >= bevelInset()
                   && pos.x() < m_stripRight) {
            return int(i);
        }
    }
    return -1;
}

QWidget* TPanelManager::hitTest(const QPoint& pos, bool act)
{
    const int i = hitIndex(pos);
    if (i < 0)
        return nullptr;
    QWidget* w = m_tabs[size_t(i)].panel;
    if (act)
        togglePanel(w);
    return w;
}

QWidget* TPanelManager::hotPanel() const
{
    return (m_hot >= 0 && m_hot < int(m_tabs.size())) ? m_tabs[size_t(m_hot)].panel.data() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TPanelManager::focusInEvent(QFocusEvent* e)
{
    const QList<QWidget*> stacked = panels();
    if (!stacked.isEmpty()) {
        if (e->reason() == Qt::BacktabFocusReason)
            m_focusPanel = stacked.last();
        else if (e->reason() == Qt::TabFocusReason || !m_focusPanel || !stacked.contains(m_focusPanel.data()))
            m_focusPanel = stacked.first();
    }
    update();
    QWidget::focusInEvent(e);
    panelManagerTabFocused(this);
}

void TPanelManager::focusOutEvent(QFocusEvent* e)
{
    update();
    QWidget::focusOutEvent(e);
}

bool TPanelManager::moveTabFocus(int step)
{
    const QList<QWidget*> stacked = panels();
    const qsizetype at = stacked.indexOf(m_focusPanel.data());
    const qsizetype next = at + step;
    if (at < 0 || next < 0 || next >= stacked.size())
        return false;
    m_focusPanel = stacked.at(next);
    update();
    panelManagerTabFocused(this);
    return true;
}

bool TPanelManager::focusNextPrevChild(bool next)
{
    if (hasFocus() && moveTabFocus(next ? 1 : -1))
        return true;
    return QWidget::focusNextPrevChild(next);
}

void TPanelManager::keyPressEvent(QKeyEvent* e)
{
    // Keys the panels' own controls leave unused come up here too; only the tabs' own count.
    if (!hasFocus()) {
        QWidget::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_focusPanel && e->modifiers() == Qt::NoModifier) {
            togglePanel(m_focusPanel);
            update();
            e->accept();
            return;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Left:
        moveTabFocus(-1);
        e->accept();
        return;
    case Qt::Key_Down:
    case Qt::Key_Right:
        moveTabFocus(1);
        e->accept();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TPanelManager::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    // Qt grabs the pointer for the pressed widget until release, so a drop outside still
    // reaches us.
    m_pressed = true;
    m_pressPoint = e->position().toPoint();
    const int i = hitIndex(m_pressPoint);
    m_pressedPanel = i >= 0 ? m_tabs[size_t(i)].panel.data() : nullptr;
    setCursor(Qt::DragMoveCursor);
    e->accept();
}

void TPanelManager::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_pressed && m_tabHighLight)
        setHot(hitIndex(e->position().toPoint()));
    QWidget::mouseMoveEvent(e);
}

void TPanelManager::leaveEvent(QEvent* e)
{
    if (!m_pressed)
        setHot(-1);
    QWidget::leaveEvent(e);
}

void TPanelManager::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !m_pressed) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    m_pressed = false;
    unsetCursor();
    setHot(-1);
    e->accept();

    const QPoint pos = e->position().toPoint();
    QPointer<QWidget> pressed = m_pressedPanel;
    m_pressedPanel = nullptr;
    auto* floatable = qobject_cast<TMPanel*>(pressed.data());
    if (floatable && !floatable->floatable())
        floatable = nullptr;

    if (rect().contains(pos) || !pressed || !floatable) {
        const QPoint moved = pos - m_pressPoint;
        if (std::abs(moved.x()) <= kClickSlop && std::abs(moved.y()) <= kClickSlop) {
            hitTest(pos, true);
            return;
        }
        if (!pressed || !isStacked(pressed))
            return;
        const int target = hitIndex(pos);
        if (target < 0)
            return;
        movePanelAbove(pressed, m_tabs[size_t(target)].panel);
        if (pressed->isHidden())
            expandWithEvents(pressed);
        else
            arrange();
        return;
    }
    floatPanel(floatable, e->globalPosition().toPoint());
}

} // namespace veltry
