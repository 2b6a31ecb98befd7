#include "widgets/Accessibility.h"

#include "widgets/ComboBoxAccessible.h"
#include "widgets/FlatBtn.h"
#include "widgets/GradCapAccessible.h"
#include "widgets/GradCapFrame.h"
#include "widgets/PanelMgr.h"
#include "widgets/PanelMgrAccessible.h"
#include "widgets/PopupCal.h"
#include "widgets/PopupCalAccessible.h"
#include "widgets/FlatBtnAccessible.h"
#include "widgets/TextGrid.h"
#include "widgets/TextGridAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace veltry {

namespace {

const char* const kRoleProperty = "veltryAccessibleRole";

QAccessibleInterface* accessibleFor(const QString& className, QObject* object)
{
    // The toolkit asks once per class up the object's ancestry; answer for the object's own class
    // only, so a subclass without an interface of its own still gets ours.
    if (!object || !object->isWidgetType() || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (const QVariant role = object->property(kRoleProperty); role.isValid())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Role(role.toInt()));
    if (auto* grid = qobject_cast<TTextGrid*>(object))
        return new TTextGridAccessible(grid);
    if (auto* button = qobject_cast<TFlatButton*>(object))
        return new TFlatButtonAccessible(button);
    if (auto* manager = qobject_cast<TPanelManager*>(object))
        return new TPanelManagerAccessible(manager);
    if (auto* form = qobject_cast<TCalForm*>(object))
        return new TCalFormAccessible(form);
    if (auto* frame = dynamic_cast<TCaptionFrame*>(object))
        return new TCaptionFrameAccessible(frame);
    if (auto* box = qobject_cast<QComboBox*>(object))
        return new TComboBoxAccessible(box);
    return nullptr;
}

} // namespace

void setAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    widget->setProperty(kRoleProperty, int(role));
}

namespace {
std::function<void(QAccessibleEvent*)>& eventSpy()
{
    static std::function<void(QAccessibleEvent*)> spy;
    return spy;
}
} // namespace

void sendAccessibleEvent(QAccessibleEvent* event)
{
    if (eventSpy())
        eventSpy()(event);
    QAccessible::updateAccessibility(event);
}

bool accessibleEventsHeard()
{
    return QAccessible::isActive() || eventSpy();
}

void setAccessibleEventSpy(std::function<void(QAccessibleEvent*)> spy)
{
    eventSpy() = std::move(spy);
}

void installAccessibleWidgets()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(accessibleFor);
}

} // namespace veltry
