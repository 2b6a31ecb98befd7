#pragma once

#include <QAccessibleWidget>

class QComboBox;

namespace veltry {

// A drop-down list as screen readers should hear it: named by its label (the toolkit names it
// by its value on this desktop), its value read as its text, its list its one child.
class TComboBoxAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit TComboBoxAccessible(QComboBox* box);

    QComboBox* comboBox() const;

    // QAccessibleInterface
    void* interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    // QAccessibleActionInterface: the list opens and closes.
    QStringList actionNames() const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // QAccessibleTextInterface: the value, read only.
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        return {};
    }

private:
    QString value() const;
    QList<QWidget*> parts() const;
};

} // namespace veltry
