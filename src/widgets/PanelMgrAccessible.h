#pragma once

#include <QAccessibleWidget>
#include <QHash>

namespace veltry {

class TPanelManager;

// The panel manager as a list of page tabs, one per docked panel, named by the panel's caption
// and expanded or collapsed as the panel is; the panels themselves follow the tabs.
class TPanelManagerAccessible final : public QAccessibleWidget
{
public:
    explicit TPanelManagerAccessible(TPanelManager* manager);
    ~TPanelManagerAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The interface of a docked panel's tab; null for anything else.
    QAccessibleInterface* tabOf(QWidget* panel) const;

private:
    TPanelManager* manager() const;
    mutable QHash<const QWidget*, QAccessible::Id> m_tabs;
};

// What the manager tells screen readers: the tab with the keyboard focus moved, a panel was
// expanded or collapsed.
void panelManagerTabFocused(TPanelManager* manager);
void panelManagerPanelToggled(TPanelManager* manager, QWidget* panel);

} // namespace veltry
