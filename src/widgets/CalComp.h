#pragma once

#include <QColor>
#include <QDate>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>

class QWidget;

namespace veltry {

class TCalForm;

// Holds the date and the look of the pop-up calendar and runs it: each execute() creates a
// TCalForm, shows it modally and frees it again.
class TCalComp final : public QObject
{
    Q_OBJECT

public:
    enum TShowMethod { smTop, smBottom, smDependent };
    enum TStartDay {
        sdSunday,
        sdMonday,
        sdTuesday,
        sdWednesday,
        sdThursday,
        sdFriday,
        sdSaturday
    };

    explicit TCalComp(QObject* parent = nullptr);
    ~TCalComp() override;
    Q_DISABLE_COPY_MOVE(TCalComp)

    // The date the calendar opens on; after a picked date, that date.
    quint16 day() const { return m_day; }
    void setDay(quint16 day) { m_day = day; }
    quint16 month() const { return m_month; }
    void setMonth(quint16 month) { m_month = month; }
    quint16 year() const { return m_year; }
    void setYear(quint16 year) { m_year = year; }
    // The three above as one date; invalid when they do not form one.
    QDate date() const;
    void setDate(const QDate& date);

    // Screen position used when there is no align control.
    int left() const { return m_left; }
    void setLeft(int left) { m_left = left; }
    int top() const { return m_top; }
    void setTop(int top) { m_top = top; }

    QColor color() const { return m_color; }
    void setColor(const QColor& color) { m_color = color; }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& color) { m_textColor = color; }
    QColor selectColor() const { return m_selectColor; }
    void setSelectColor(const QColor& color) { m_selectColor = color; }
    QColor inversColor() const { return m_inversColor; }
    void setInversColor(const QColor& color) { m_inversColor = color; }
    QColor weekendColor() const { return m_weekendColor; }
    void setWeekendColor(const QColor& color) { m_weekendColor = color; }

    // The control under or over which the calendar opens; not owned.
    QWidget* alignControl() const { return m_alignControl; }
    void setAlignControl(QWidget* control) { m_alignControl = control; }
    TShowMethod showMethod() const { return m_showMethod; }
    void setShowMethod(TShowMethod method) { m_showMethod = method; }

    // Monday to Sunday, at most two characters each.
    QStringList nameofDays() const { return m_nameofDays; }
    void setNameofDays(const QStringList& names) { m_nameofDays = names; }
    // January to December, at most three characters each.
    QStringList nameofMonths() const { return m_nameofMonths; }
    void setNameofMonths(const QStringList& names) { m_nameofMonths = names; }

    TStartDay firstday() const { return m_firstday; }
    void setFirstday(TStartDay firstday) { m_firstday = firstday; }
    // 1 = Monday ... 7 = Sunday, as the window counts weekdays.
    static int firstWeekdayNumber(TStartDay firstday);

    // Opens the calendar modally on day(), month(), year() (today when they are no date) and
    // waits. True when a date was picked; it is then in day(), month(), year(). On Cancel
    // they keep the values they had.
    bool execute();

    // Where the window of size `size` goes: beside the align control by showMethod(), or at
    // left(), top() without one.
    QPoint placement(const QSize& size) const;

    // The window of the run in progress, nullptr between runs (for tests and callers that
    // want to watch it).
    TCalForm* activeForm() const { return m_form; }

    // One-call use: picks a date starting on `start`, shown under `alignControl`.
    static std::optional<QDate> pick(const QDate& start, TStartDay firstday,
                                     QWidget* alignControl, TShowMethod method = smBottom);

Q_SIGNALS:
    // The window is up; emitted from inside execute().
    void shown(veltry::TCalForm* form);

private:
    quint16 m_day = 0;
    quint16 m_month = 0;
    quint16 m_year = 0;
    int m_left = 0;
    int m_top = 0;
    QColor m_color;
    QColor m_textColor;
    QColor m_selectColor;
    QColor m_inversColor;
    QColor m_weekendColor;
    QPointer<QWidget> m_alignControl;
    TShowMethod m_showMethod = smBottom;
    QStringList m_nameofDays;
    QStringList m_nameofMonths;
    TStartDay m_firstday = sdSunday;
    QPointer<TCalForm> m_form;
};

} // namespace veltry
