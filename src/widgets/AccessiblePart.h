#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPointer>
#include <QWidget>

namespace veltry {

// A part a widget paints without being a widget of its own (a frame button, a tab), shown to
// screen readers as a child of the widget's interface. The part asks its widget for everything,
// so it never holds stale state; it is invalid once the widget is gone.
class TAccessiblePart : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    explicit TAccessiblePart(QWidget* owner) : m_owner(owner) {}

    bool isValid() const override { return !m_owner.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return m_owner && m_owner->window() ? m_owner->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_owner); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // Where the part is, in its widget's coordinates.
    virtual QRect localRect() const = 0;
    QRect rect() const override
    {
        const QRect r = isValid() ? localRect() : QRect();
        return r.isEmpty() ? QRect() : QRect(m_owner->mapToGlobal(r.topLeft()), r.size());
    }

protected:
    QWidget* owner() const { return m_owner; }
    // Runs `f` once the screen reader's request has returned: it may open a modal window.
    template <class F>
    void later(F&& f) const
    {
        if (m_owner)
            QMetaObject::invokeMethod(m_owner, std::forward<F>(f), Qt::QueuedConnection);
    }

private:
    QPointer<QWidget> m_owner;
};

} // namespace veltry
