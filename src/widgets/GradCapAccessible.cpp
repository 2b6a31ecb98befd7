#include "widgets/GradCapAccessible.h"

#include "widgets/AccessiblePart.h"
#include "widgets/GradCapFrame.h"

namespace veltry {

namespace {

using B = TGradientCaption::TFrameButton;

class TFrameButtonAccessible final : public TAccessiblePart
{
public:
    TFrameButtonAccessible(TCaptionFrame* frame, B button) : TAccessiblePart(frame), m_button(button) {}

    bool isValid() const override
    {
        return TAccessiblePart::isValid() && caption() && caption()->frameButtons().contains(m_button);
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return {};
        switch (m_button) {
        case B::Close: return QStringLiteral("Close");
        case B::Maximize: {
            QWidget* w = caption() ? caption()->window() : nullptr;
            return w && w->isMaximized() ? QStringLiteral("Restore") : QStringLiteral("Maximize");
        }
        case B::Minimize: return QStringLiteral("Minimize");
        case B::Help: return QStringLiteral("Help");
        }
        return {};
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.disabled = !caption()->frameButtonEnabled(m_button);
        return s;
    }
    QRect localRect() const override
    {
        // The bar measures in the window's coordinates; the frame spans the whole window.
        if (!caption())
            return {};
        const QRect r = caption()->buttonRect(m_button);
        return QRect(owner()->mapFrom(owner()->window(), r.topLeft()), r.size());
    }
    QStringList actionNames() const override
    {
        return isValid() && caption()->frameButtonEnabled(m_button) ? QStringList{pressAction()} : QStringList();
    }
    void doAction(const QString& name) override
    {
        if (name != pressAction() || actionNames().isEmpty())
            return;
        auto* frame = static_cast<TCaptionFrame*>(owner());
        const B button = m_button;
        later([frame, button] { frame->pressButton(button); });
    }
    B button() const { return m_button; }

private:
    TGradientCaption* caption() const
    {
        return owner() ? static_cast<TCaptionFrame*>(owner())->owner() : nullptr;
    }

    B m_button;
};

} // namespace

TCaptionFrameAccessible::TCaptionFrameAccessible(TCaptionFrame* frame) : QAccessibleWidget(frame, QAccessible::TitleBar)
{
}

TCaptionFrameAccessible::~TCaptionFrameAccessible()
{
    for (QAccessible::Id id : std::as_const(m_buttons))
        QAccessible::deleteAccessibleInterface(id);
}

TCaptionFrame* TCaptionFrameAccessible::frame() const
{
    return static_cast<TCaptionFrame*>(object());
}

QString TCaptionFrameAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return frame()->window()->windowTitle();
    return QAccessibleWidget::text(t);
}

int TCaptionFrameAccessible::childCount() const
{
    return frame()->owner() ? int(frame()->owner()->frameButtons().size()) : 0;
}

QAccessibleInterface* TCaptionFrameAccessible::child(int index) const
{
    if (!frame()->owner() || index < 0 || index >= childCount())
        return nullptr;
    const B button = frame()->owner()->frameButtons().at(index);
    const auto it = m_buttons.constFind(int(button));
    if (it != m_buttons.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto* part = new TFrameButtonAccessible(frame(), button);
    m_buttons.insert(int(button), QAccessible::registerAccessibleInterface(part));
    return part;
}

int TCaptionFrameAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (int i = 0; i < childCount(); ++i)
        if (this->child(i) == child)
            return i;
    return -1;
}

QAccessibleInterface* TCaptionFrameAccessible::childAt(int x, int y) const
{
    for (int i = 0; i < childCount(); ++i)
        if (QAccessibleInterface* c = child(i); c->rect().contains(x, y))
            return c;
    return nullptr;
}

} // namespace veltry
