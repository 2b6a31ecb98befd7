#include "widgets/PanelMgrAccessible.h"

#include "widgets/AccessiblePart.h"
#include "widgets/Accessibility.h"
#include "widgets/PanelMgr.h"

namespace veltry {

namespace {

QString panelCaption(const QWidget* panel)
{
    if (!panel->accessibleName().isEmpty())
        return panel->accessibleName();
    if (auto* p = qobject_cast<const TMPanel*>(panel); p && !p->tabCaption().isEmpty())
        return p->tabCaption();
    return panel->windowTitle();
}

class TPanelTabAccessible final : public TAccessiblePart
{
public:
    TPanelTabAccessible(TPanelManager* manager, QWidget* panel) : TAccessiblePart(manager), m_panel(panel) {}

    bool isValid() const override
    {
        return TAccessiblePart::isValid() && m_panel && manager()->panels().contains(m_panel.data());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && m_panel ? panelCaption(m_panel) : QString();
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = s.expandable = true;
        s.expanded = manager()->isExpanded(m_panel);
        s.collapsed = !s.expanded;
        s.focused = manager()->focusedTab() == m_panel.data();
        return s;
    }
    QRect localRect() const override
    {
        return isValid() ? manager()->tabPolygon(m_panel).boundingRect() : QRect();
    }
    QStringList actionNames() const override
    {
        return isValid() ? QStringList{pressAction(), toggleAction()} : QStringList();
    }
    void doAction(const QString& name) override
    {
        if (!isValid() || (name != pressAction() && name != toggleAction()))
            return;
        QPointer<TPanelManager> m(manager());
        QPointer<QWidget> panel = m_panel;
        later([m, panel] {
            if (m && panel)
                m->togglePanel(panel);
        });
    }

private:
    TPanelManager* manager() const { return static_cast<TPanelManager*>(owner()); }
    QPointer<QWidget> m_panel;
};

} // namespace

TPanelManagerAccessible::TPanelManagerAccessible(TPanelManager* manager)
    : QAccessibleWidget(manager, QAccessible::PageTabList)
{
}

TPanelManagerAccessible::~TPanelManagerAccessible()
{
    for (QAccessible::Id id : std::as_const(m_tabs))
        QAccessible::deleteAccessibleInterface(id);
}

TPanelManager* TPanelManagerAccessible::manager() const
{
    return static_cast<TPanelManager*>(object());
}

QAccessibleInterface* TPanelManagerAccessible::tabOf(QWidget* panel) const
{
    if (!panel || !manager()->panels().contains(panel))
        return nullptr;
    const auto it = m_tabs.constFind(panel);
    if (it != m_tabs.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto* tab = new TPanelTabAccessible(manager(), panel);
    m_tabs.insert(panel, QAccessible::registerAccessibleInterface(tab));
    return tab;
}

int TPanelManagerAccessible::childCount() const
{
    return int(manager()->panels().size()) + QAccessibleWidget::childCount();
}

QAccessibleInterface* TPanelManagerAccessible::child(int index) const
{
    const QList<QWidget*> panels = manager()->panels();
    if (index < 0)
        return nullptr;
    if (index < panels.size())
        return tabOf(panels.at(index));
    return QAccessibleWidget::child(index - int(panels.size()));
}

int TPanelManagerAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const QList<QWidget*> panels = manager()->panels();
    if (child && child->role() == QAccessible::PageTab && !child->object()) {
        for (int i = 0; i < panels.size(); ++i)
            if (tabOf(panels.at(i)) == child)
                return i;
        return -1;
    }
    const int i = QAccessibleWidget::indexOfChild(child);
    return i < 0 ? -1 : i + int(panels.size());
}

QAccessibleInterface* TPanelManagerAccessible::childAt(int x, int y) const
{
    const QPoint local = manager()->mapFromGlobal(QPoint(x, y));
    for (QWidget* panel : manager()->panels())
        if (manager()->tabPolygon(panel).containsPoint(local, Qt::OddEvenFill))
            return tabOf(panel);
    return QAccessibleWidget::childAt(x, y);
}

QAccessibleInterface* TPanelManagerAccessible::focusChild() const
{
    if (QWidget* panel = manager()->focusedTab())
        return tabOf(panel);
    return QAccessibleWidget::focusChild();
}

namespace {

TPanelManagerAccessible* managerInterface(TPanelManager* manager)
{
    if (!accessibleEventsHeard())
        return nullptr;
    return dynamic_cast<TPanelManagerAccessible*>(QAccessible::queryAccessibleInterface(manager));
}

} // namespace

void panelManagerTabFocused(TPanelManager* manager)
{
    TPanelManagerAccessible* iface = managerInterface(manager);
    QWidget* panel = manager->focusedTab();
    if (!iface || !panel)
        return;
    QAccessibleEvent event(iface->tabOf(panel), QAccessible::Focus);
    sendAccessibleEvent(&event);
}

void panelManagerPanelToggled(TPanelManager* manager, QWidget* panel)
{
    TPanelManagerAccessible* iface = managerInterface(manager);
    QAccessibleInterface* tab = iface ? iface->tabOf(panel) : nullptr;
    if (!tab)
        return;
    QAccessible::State changed;
    changed.expanded = changed.collapsed = true;
    QAccessibleStateChangeEvent event(tab, changed);
    sendAccessibleEvent(&event);
}

} // namespace veltry
