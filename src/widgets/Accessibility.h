#pragma once

#include <QAccessible>

#include <functional>

class QWidget;

namespace veltry {

// Lets screen readers see the controls that draw themselves (the text grid, flat buttons, the
// caption bar, the panel manager, the calendar); called once at start, before any window shows.
void installAccessibleWidgets();

// Gives `widget` the role `role` for screen readers in place of the one its class has (a dialog
// that is an alert). Takes effect for interfaces made after the call: call it in the constructor.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

// Passes an event of our controls on to screen readers, and to the spy when one is set.
void sendAccessibleEvent(QAccessibleEvent* event);
// Whether anybody hears the events: a screen reader, or the spy.
bool accessibleEventsHeard();
// Test seam: sees every event our controls send, whether or not a screen reader runs.
void setAccessibleEventSpy(std::function<void(QAccessibleEvent*)> spy);

} // namespace veltry
