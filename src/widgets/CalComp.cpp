#include "widgets/CalComp.h"

#include "platform/core/Clock.h"
#include "widgets/PopupCal.h"

#include <QApplication>
#include <QEventLoop>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace veltry {

TCalComp::TCalComp(QObject* parent)
    : QObject(parent)
{
    const QPalette pal = QApplication::palette();
    m_color = pal.color(QPalette::Button);
    m_textColor = Qt::black;
    m_selectColor = pal.color(QPalette::Highlight);
    m_inversColor = Qt::white;
    m_weekendColor = Qt::black;
    m_nameofDays = TCalForm::defaultDayNames();
    m_nameofMonths = TCalForm::defaultMonthNames();
    setDate(Clock::instance().today());
}

TCalComp::~TCalComp()
{
    // A run still waiting (its owner is going away) must not outlive the component.
    if (m_form)
        m_form->close();
}

QDate TCalComp::date() const
{
    return QDate(m_year, m_month, m_day);
}

void TCalComp::setDate(const QDate& date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 65535)
        return;
    m_day = static_cast<quint16>(date.day());
    m_month = static_cast<quint16>(date.month());
    m_year = static_cast<quint16>(date.year());
}

int TCalComp::firstWeekdayNumber(TStartDay firstday)
{
    return firstday == sdSunday ? 7 : static_cast<int>(firstday);
}

QPoint TCalComp::placement(const QSize& size) const
{
    QWidget* control = m_alignControl;
    if (!control)
        return QPoint(m_left, m_top);

    const QPoint topLeft = control->mapToGlobal(QPoint(0, 0));
    const int above = topLeft.y() - size.height();
    const int below = topLeft.y() + control->height();
    int y = below;
    const QScreen* screen = control->screen();
    const QRect area = screen ? screen->geometry() : QRect();
    switch (m_showMethod) {
    case smTop:
        y = above;
        break;
    case smBottom:
        y = below;
        break;
    case smDependent:
        y = (area.isNull() || below + size.height() <= area.bottom() + 1) ? below : above;
        break;
    }
    int x = topLeft.x();
    // A field near the screen's right edge would otherwise push the calendar half off screen.
    if (!area.isNull())
        x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
    return QPoint(x, y);
}

bool TCalComp::execute()
{
    // Parenting the window keeps it usable over a modal dialog and takes it down with that
    // dialog; without an align control, the owning window (if any) stands in.
    QWidget* owner = m_alignControl ? m_alignControl->window() : qobject_cast<QWidget*>(parent());
    QPointer<TCalForm> form = new TCalForm(owner);
    form->setNames(m_nameofDays, m_nameofMonths);
    form->setColors(m_color, m_textColor, m_selectColor, m_inversColor, m_weekendColor);
    form->setFirstWeekday(firstWeekdayNumber(m_firstday));
    form->setStartDate(date());

    const QPointer<TCalComp> self(this);
    QEventLoop loop;
    connect(form.data(), &TCalForm::finished, &loop, &QEventLoop::quit);
    connect(form.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    m_form = form;
    form->popup(placement(form->size()));
    Q_EMIT shown(form.data());
    if (form && !form->isFinished())
        loop.exec();

    if (!self) {
        delete form.data();
        return false;
    }
    bool accepted = false;
    if (form) {
        accepted = form->isAccepted();
        if (accepted)
            setDate(form->selectedDate());
        delete form.data();
    }
    m_form.clear();
    return accepted;
}

std::optional<QDate> TCalComp::pick(const QDate& start, TStartDay firstday,
                                    QWidget* alignControl, TShowMethod method)
{
    TCalComp calendar;
    calendar.setDate(start.isValid() ? start : Clock::instance().today());
    calendar.setFirstday(firstday);
    calendar.setAlignControl(alignControl);
    calendar.setShowMethod(method);
    if (!calendar.execute())
        return std::nullopt;
    return calendar.date();
}

} // namespace veltry
