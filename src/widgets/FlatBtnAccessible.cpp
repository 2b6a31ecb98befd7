#include "widgets/FlatBtnAccessible.h"

#include "widgets/FlatBtn.h"

#include <QMenu>

namespace veltry {

TFlatButtonAccessible::TFlatButtonAccessible(TFlatButton* button)
    : QAccessibleWidget(button, button->dropDownMenu() ? QAccessible::ButtonMenu : QAccessible::PushButton)
{
}

TFlatButton* TFlatButtonAccessible::button() const
{
    return static_cast<TFlatButton*>(object());
}

QString TFlatButtonAccessible::text(QAccessible::Text t) const
{
    TFlatButton* b = button();
    const QString caption = TFlatButton::stripAccelerators(b->caption()).trimmed();
    switch (t) {
    case QAccessible::Name:
        if (!b->accessibleName().isEmpty())
            return b->accessibleName();
        return caption.isEmpty() ? b->hint() : caption;
    case QAccessible::Description:
        if (!b->accessibleDescription().isEmpty())
            return b->accessibleDescription();
        // The hint says more than the caption only where it differs from it.
        return !caption.isEmpty() && b->hint() != caption ? b->hint() : QString();
    case QAccessible::Accelerator:
        return b->accelerator().toString(QKeySequence::NativeText);
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State TFlatButtonAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    // Latched down (the check button over a checked task, one of a group) reads as pressed.
    s.pressed = button()->isDown();
    if (button()->dropDownMenu())
        s.hasPopup = true;
    return s;
}

QStringList TFlatButtonAccessible::actionNames() const
{
    QStringList names = QAccessibleWidget::actionNames();
    if (button()->isEnabled())
        names.prepend(button()->dropDownMenu() ? showMenuAction() : pressAction());
    return names;
}

void TFlatButtonAccessible::doAction(const QString& actionName)
{
    TFlatButton* b = button();
    if (!b->isEnabled())
        return;
    // The click may open a modal window; a screen reader's request must be answered first, so
    // the click runs once the request has returned.
    if (actionName == pressAction() || actionName == showMenuAction())
        QMetaObject::invokeMethod(b, &TFlatButton::click, Qt::QueuedConnection);
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList TFlatButtonAccessible::keyBindingsForAction(const QString& actionName) const
{
    if ((actionName == pressAction() || actionName == showMenuAction()) && !button()->accelerator().isEmpty())
        return {button()->accelerator().toString(QKeySequence::NativeText)};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

} // namespace veltry
