#pragma once

#include <QColor>
#include <QDate>
#include <QStringList>
#include <QWidget>
#include <optional>

namespace veltry {

// The borderless month calendar window. It paints itself, grabs mouse and keyboard while shown
// (a Qt popup) and ends with `finished(accepted)`. TCalComp creates one for each run; it can
// also be shown on its own with popup().
class TCalForm final : public QWidget
{
    Q_OBJECT

public:
    enum class View { Days, Months };

    // Fixed geometry: a raised frame around a client area of 134 x 133 pixels, so that the
    // window is 140 pixels wide. All drawing and hit-testing is in client coordinates.
    static constexpr int FrameWidth = 3;
    static constexpr int ClientWidth = 134;
    static constexpr int ClientHeight = 133;
    static constexpr int HeaderHeight = 16;

    explicit TCalForm(QWidget* parent = nullptr);
    ~TCalForm() override;
    Q_DISABLE_COPY_MOVE(TCalForm)

    // "Mo" to "Su" and "Jan" to "Dec".
    static QStringList defaultDayNames();
    static QStringList defaultMonthNames();
    // Seven day names from Monday to Sunday, twelve month names from January.
    void setNames(const QStringList& dayNames, const QStringList& monthNames);
    void setColors(const QColor& color, const QColor& textColor, const QColor& selectColor,
                   const QColor& inversColor, const QColor& weekendColor);
    // 1 = Monday ... 7 = Sunday.
    void setFirstWeekday(int weekday);
    int firstWeekday() const { return m_firstWeekday; }

    // The date the run starts on: it is selected, its month shown, and Cancel returns to it.
    void setStartDate(const QDate& date);
    QDate startDate() const { return m_start; }
    // The selected date; its month is the month shown.
    QDate selectedDate() const { return m_date; }

    View view() const { return m_view; }
    QString title() const;

    // What the day view shows in a cell; column 0..6, row 0..5.
    QDate dateAt(int column, int row) const;
    QString dayNameAt(int column) const;
    int cellWidth() const { return m_cellWidth; }
    int cellHeight() const { return m_cellHeight; }
    static QPoint clientToWidget(const QPoint& client)
    {
        return client + QPoint(FrameWidth, FrameWidth);
    }

    // Shows the window at the given screen position without waiting.
    void popup(const QPoint& topLeft);
    bool isFinished() const { return m_finished; }
    bool isAccepted() const { return m_accepted; }

Q_SIGNALS:
    void finished(bool accepted);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    enum class Spot { None, Title, LeftArrow, RightArrow };

    void paintFrame(QPainter& painter) const;
    void paintHeader(QPainter& painter) const;
    void paintEtchedRule(QPainter& painter) const;
    void paintDays(QPainter& painter) const;
    void paintMonths(QPainter& painter) const;

    Spot spotAt(const QPoint& client) const;
    QRect titleRect() const;
    int monthsColumnWidth() const { return ClientWidth / 4; }
    int monthsRowHeight() const { return (ClientHeight - HeaderHeight) / 4; }
    int firstDayOffset() const;

    void moveTo(const QDate& date);
    void stepDays(int days);
    void stepMonths(int months);
    void stepYears(int years);
    void toggleView();
    void finish(bool accepted);

    QStringList m_dayNames;
    QStringList m_monthNames;
    QColor m_color;
    QColor m_textColor;
    QColor m_selectColor;
    QColor m_inversColor;
    QColor m_weekendColor;
    int m_firstWeekday = 7;

    QDate m_start;
    QDate m_date;
    View m_view = View::Days;
    Spot m_hover = Spot::None;
    // Where the left button went down on a day; releasing near it picks the day.
    std::optional<QPoint> m_pressPoint;

    int m_cellWidth = 18;
    int m_cellHeight = 17;

    bool m_finished = false;
    bool m_accepted = false;
};

} // namespace veltry
