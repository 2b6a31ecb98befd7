#include "widgets/PopupCal.h"
#include "widgets/PopupCalAccessible.h"

#include "platform/core/Clock.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace veltry {

namespace {

constexpr int TitleTop = 1;
constexpr int TitleBottom = 14;
constexpr int LeftArrowFrom = 6;
constexpr int LeftArrowTo = 14;
constexpr int RightArrowFrom = 121;
constexpr int RightArrowTo = 129;
// A press this close to the bottom edge dismisses the calendar.
constexpr int CancelStrip = 4;
// How far the pointer may travel between press and release for the press to count as a click.
constexpr int ClickSlop = 3;
constexpr int MonthsTop = 28;

const QColor SunkenShadow = QColor::fromRgb(0x80, 0x80, 0x80);

bool inRange(int v, int from, int to)
{
    return v >= from && v <= to;
}

QString capitalised(const QString& name)
{
    if (name.isEmpty())
        return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}

bool isUsable(const QDate& date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

} // namespace

TCalForm::TCalForm(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    // The press that closes the calendar from outside belongs to the calendar; replaying it
    // would, for one, reopen the calendar when its own button is clicked.
    setAttribute(Qt::WA_NoMouseReplay);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(ClientWidth + 2 * FrameWidth, ClientHeight + 2 * FrameWidth);

    // The layout was made for a narrow 8-point sans serif; the Arial-metric families come
    // closest where that font is missing.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);

    const QFontMetrics fm(font);
    const int textHeight = fm.height();
    // Fonts wider or taller than the small bitmap font this layout was made for would push
    // Saturday or the sixth week out of the fixed-size window; shrink the cells instead.
    m_cellWidth = std::min(fm.horizontalAdvance(QStringLiteral("99")) + 6, (ClientWidth - 6) / 7);
    m_cellHeight = std::min(textHeight + 4, (ClientHeight - HeaderHeight - textHeight) / 6);

    m_dayNames = defaultDayNames();
    m_monthNames = defaultMonthNames();
    const QPalette pal = palette();
    m_color = pal.color(QPalette::Button);
    m_textColor = Qt::black;
    m_selectColor = pal.color(QPalette::Highlight);
    m_inversColor = Qt::white;
    m_weekendColor = Qt::black;

    setStartDate(Clock::instance().today());
}

TCalForm::~TCalForm() = default;

QStringList TCalForm::defaultDayNames()
{
    return {QStringLiteral("Mo"), QStringLiteral("Tu"), QStringLiteral("We"),
            QStringLiteral("Th"), QStringLiteral("Fr"), QStringLiteral("Sa"),
            QStringLiteral("Su")};
}

QStringList TCalForm::defaultMonthNames()
{
    return {QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
            QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
            QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
            QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};
}

void TCalForm::setNames(const QStringList& dayNames, const QStringList& monthNames)
{
    // Missing names stay at their defaults rather than leaving gaps in the header.
    for (int i = 0; i < std::min<qsizetype>(7, dayNames.size()); ++i)
        m_dayNames[i] = dayNames.at(i);
    for (int i = 0; i < std::min<qsizetype>(12, monthNames.size()); ++i)
        m_monthNames[i] = monthNames.at(i);
    update();
}

void TCalForm::setColors(const QColor& color, const QColor& textColor,
                         const QColor& selectColor, const QColor& inversColor,
                         const QColor& weekendColor)
{
    m_color = color;
    m_textColor = textColor;
    m_selectColor = selectColor;
    m_inversColor = inversColor;
    m_weekendColor = weekendColor;
    update();
}

void TCalForm::setFirstWeekday(int weekday)
{
    const int clamped = std::clamp(weekday, 1, 7);
    if (clamped == m_firstWeekday)
        return;
    m_firstWeekday = clamped;
    update();
}

void TCalForm::setStartDate(const QDate& date)
{
    m_start = isUsable(date) ? date : Clock::instance().today();
    m_date = m_start;
    m_view = View::Days;
    update();
}

QString TCalForm::title() const
{
    const QString year = QString::number(m_date.year()).rightJustified(4, QLatin1Char('0'));
    if (m_view == View::Months)
        return year;
    const QString text = m_monthNames.at(m_date.month() - 1) + QLatin1Char(' ') + year;
    return text.left(12);
}

int TCalForm::firstDayOffset() const
{
    const QDate first(m_date.year(), m_date.month(), 1);
    return (first.dayOfWeek() - m_firstWeekday + 7) % 7;
}

QDate TCalForm::dateAt(int column, int row) const
{
    const int n = column + 1 + 7 * row;
    const int s = firstDayOffset();
    const QDate first(m_date.year(), m_date.month(), 1);
    return first.addDays(n - s - 1);
}

QString TCalForm::dayNameAt(int column) const
{
    const int weekday = (m_firstWeekday - 1 + column) % 7 + 1;
    return m_dayNames.at(weekday - 1);
}

void TCalForm::popup(const QPoint& topLeft)
{
    m_finished = false;
    m_accepted = false;
    m_pressPoint.reset();
    m_hover = Spot::None;
    move(topLeft);
    show();
    setFocus(Qt::PopupFocusReason);
}

// ---- painting ----

void TCalForm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
    paintFrame(painter);

    painter.translate(FrameWidth, FrameWidth);
    painter.setClipRect(QRect(0, 0, ClientWidth, ClientHeight));
    paintHeader(painter);
    if (m_view == View::Days)
        paintDays(painter);
    else
        paintMonths(painter);
}

void TCalForm::paintFrame(QPainter& painter) const
{
    // A raised dialog edge: light above and left, dark below and right.
    const QRect r = rect().adjusted(0, 0, -1, -1);
    auto edge = [&painter](const QRect& box, const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(box.topLeft(), box.topRight());
        painter.drawLine(box.topLeft(), box.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(box.bottomLeft(), box.bottomRight());
        painter.drawLine(box.topRight(), box.bottomRight());
    };
    edge(r, m_color.lighter(110), Qt::black);
    edge(r.adjusted(1, 1, -1, -1), Qt::white, SunkenShadow);
}

void TCalForm::paintHeader(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    auto colourFor = [this](Spot spot) { return m_hover == spot ? m_selectColor : m_textColor; };

    painter.setPen(colourFor(Spot::LeftArrow));
    painter.setBrush(colourFor(Spot::LeftArrow));
    painter.drawPolygon(QPolygon({QPoint(10, 0), QPoint(5, 5), QPoint(10, 10)}));
    painter.setPen(colourFor(Spot::RightArrow));
    painter.setBrush(colourFor(Spot::RightArrow));
    painter.drawPolygon(QPolygon({QPoint(120, 0), QPoint(120, 10), QPoint(125, 5)}));
    painter.setBrush(Qt::NoBrush);

    painter.setPen(colourFor(Spot::Title));
    painter.drawText(QRect(0, 0, ClientWidth, HeaderHeight), Qt::AlignHCenter | Qt::AlignTop,
                     title());
}

void TCalForm::paintEtchedRule(QPainter& painter) const
{
    const int y = HeaderHeight + m_cellHeight - 5;
    const int right = 7 * m_cellWidth + 6;
    painter.setPen(Qt::black);
    painter.drawLine(0, y, right, y);
    painter.setPen(Qt::white);
    painter.drawLine(0, y + 1, right, y + 1);
}

void TCalForm::paintDays(QPainter& painter) const
{
    painter.setPen(m_textColor);
    for (int c = 0; c < 7; ++c)
        painter.drawText(QRect(c * m_cellWidth, HeaderHeight, m_cellWidth + 6, m_cellHeight),
                         Qt::AlignLeft | Qt::AlignTop, QLatin1Char(' ') + dayNameAt(c));
    paintEtchedRule(painter);

    const QDate today = Clock::instance().today();
    const int textHeight = QFontMetrics(font()).height();
    for (int row = 0; row < 6; ++row) {
        for (int c = 0; c < 7; ++c) {
            const QDate day = dateAt(c, row);
            const QRect cell(c * m_cellWidth, HeaderHeight + (row + 1) * m_cellHeight,
                             m_cellWidth, m_cellHeight);
            const QRect box(cell.left() + 1, cell.top() - 1, cell.width() - 1, textHeight + 2);
            const bool inMonth = day.month() == m_date.month();
            QColor ink = m_textColor;
            if (!inMonth) {
                ink = m_inversColor;
            } else if (day == m_date) {
                painter.fillRect(box, m_selectColor);
                ink = m_inversColor;
            } else if (day.dayOfWeek() >= 6) {
                ink = m_weekendColor;
            }
            if (inMonth && day == today) {
                const QRect f = box.adjusted(0, 0, -1, -1);
                painter.setPen(SunkenShadow);
                painter.drawLine(f.topLeft(), f.topRight());
                painter.drawLine(f.topLeft(), f.bottomLeft());
                painter.setPen(Qt::white);
                painter.drawLine(f.bottomLeft(), f.bottomRight());
                painter.drawLine(f.topRight(), f.bottomRight());
            }
            painter.setPen(ink);
            painter.drawText(cell, Qt::AlignRight | Qt::AlignTop,
                             QString::number(day.day()) + QLatin1Char(' '));
        }
    }
}

void TCalForm::paintMonths(QPainter& painter) const
{
    painter.setPen(m_textColor);
    painter.drawText(QRect(0, HeaderHeight, ClientWidth, m_cellHeight),
                     Qt::AlignHCenter | Qt::AlignTop, tr("Select month"));
    paintEtchedRule(painter);

    const int textHeight = QFontMetrics(font()).height();
    const int columnWidth = monthsColumnWidth();
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 4; ++column) {
            const int month = 4 * (row - 1) + column;
            const QPoint at((column - 1) * columnWidth + 5, row * monthsRowHeight() + 6);
            QColor ink = m_textColor;
            if (month == m_date.month()) {
                painter.fillRect(QRect(at.x() - 3, at.y() - 1, columnWidth - 4, textHeight + 2),
                                 m_selectColor);
                ink = m_inversColor;
            }
            painter.setPen(ink);
            painter.drawText(QRect(at, QSize(columnWidth - 5, textHeight)),
                             Qt::AlignLeft | Qt::AlignTop,
                             capitalised(m_monthNames.at(month - 1)));
        }
    }
}

// ---- mouse ----

QRect TCalForm::titleRect() const
{
    const int width = QFontMetrics(font()).horizontalAdvance(title());
    const int left = (ClientWidth - width) / 2;
    return QRect(left, TitleTop, width, TitleBottom - TitleTop + 1);
}

TCalForm::Spot TCalForm::spotAt(const QPoint& p) const
{
    if (!inRange(p.y(), TitleTop, TitleBottom))
        return Spot::None;
    if (titleRect().contains(p))
        return Spot::Title;
    if (inRange(p.x(), LeftArrowFrom, LeftArrowTo))
        return Spot::LeftArrow;
    if (inRange(p.x(), RightArrowFrom, RightArrowTo))
        return Spot::RightArrow;
    return Spot::None;
}

void TCalForm::mousePressEvent(QMouseEvent* event)
{
    m_pressPoint.reset();
    const QPoint p = event->position().toPoint() - QPoint(FrameWidth, FrameWidth);
    const bool inside = rect().contains(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        // The right button cancels on release, wherever it is.
        return;
    }
    if (!inside || p.y() >= ClientHeight - CancelStrip) {
        finish(false);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;

    switch (spotAt(p)) {
    case Spot::Title:
        toggleView();
        return;
    case Spot::LeftArrow:
        m_view == View::Days ? stepMonths(-1) : stepYears(-1);
        return;
    case Spot::RightArrow:
        m_view == View::Days ? stepMonths(1) : stepYears(1);
        return;
    case Spot::None:
        break;
    }

    if (m_view == View::Days) {
        if (p.y() <= HeaderHeight + m_cellHeight)
            return;
        const int column = std::clamp(p.x() / m_cellWidth, 0, 6);
        const int row = std::clamp((p.y() - HeaderHeight - m_cellHeight) / m_cellHeight, 0, 5);
        moveTo(dateAt(column, row));
        m_pressPoint = p;
        return;
    }

    if (p.y() <= MonthsTop)
        return;
    // The strips above the first and below the last row of names belong to those rows.
    const int column = std::clamp(p.x() / monthsColumnWidth() + 1, 1, 4);
    const int row = std::clamp((p.y() - 6) / monthsRowHeight(), 1, 3);
    const int month = 4 * (row - 1) + column;
    const QDate first(m_date.year(), month, 1);
    moveTo(QDate(m_date.year(), month, std::min(m_date.day(), first.daysInMonth())));
    m_view = View::Days;
    update();
}

void TCalForm::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_finished)
        return;
    if (event->button() == Qt::RightButton) {
        finish(false);
        return;
    }
    if (event->button() != Qt::LeftButton || !m_pressPoint)
        return;
    const QPoint p = event->position().toPoint() - QPoint(FrameWidth, FrameWidth);
    const QPoint moved = p - *m_pressPoint;
    m_pressPoint.reset();
    if (std::abs(moved.x()) <= ClickSlop && std::abs(moved.y()) <= ClickSlop)
        finish(true);
}

void TCalForm::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint() - QPoint(FrameWidth, FrameWidth);
    const Spot spot = rect().contains(event->position().toPoint()) ? spotAt(p) : Spot::None;
    if (spot != m_hover) {
        m_hover = spot;
        update();
    }
}

void TCalForm::leaveEvent(QEvent*)
{
    if (m_hover != Spot::None) {
        m_hover = Spot::None;
        update();
    }
}

// ---- keys ----

void TCalForm::keyPressEvent(QKeyEvent* event)
{
    const bool days = m_view == View::Days;
    switch (event->key()) {
    case Qt::Key_Left:
        if (days)
            stepDays(-1);
        break;
    case Qt::Key_Right:
        if (days)
            stepDays(1);
        break;
    case Qt::Key_Up:
        if (days)
            stepDays(-7);
        break;
    case Qt::Key_Down:
        if (days)
            stepDays(7);
        break;
    case Qt::Key_PageUp:
        stepMonths(-1);
        break;
    case Qt::Key_PageDown:
        stepMonths(1);
        break;
    case Qt::Key_Space:
        toggleView();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        finish(true);
        break;
    case Qt::Key_Escape:
        finish(false);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---- moves ----

void TCalForm::moveTo(const QDate& date)
{
    // Beyond the years a date text can hold the move is dropped rather than wrapped.
    if (!isUsable(date) || date == m_date)
        return;
    m_date = date;
    update();
    popupCalendarMoved(this);
}

void TCalForm::stepDays(int days)
{
    moveTo(m_date.addDays(days));
}

void TCalForm::stepMonths(int months)
{
    // addMonths keeps the day number but limits it to the new month's length.
    moveTo(m_date.addMonths(months));
}

void TCalForm::stepYears(int years)
{
    moveTo(m_date.addYears(years));
}

void TCalForm::toggleView()
{
    m_view = m_view == View::Days ? View::Months : View::Days;
    m_pressPoint.reset();
    update();
    popupCalendarMoved(this);
}

void TCalForm::finish(bool accepted)
{
    if (m_finished)
        return;
    m_finished = true;
    m_accepted = accepted;
    m_pressPoint.reset();
    if (!accepted)
        m_date = m_start;
    hide();
    Q_EMIT finished(accepted);
}

void TCalForm::hideEvent(QHideEvent* event)
{
    // The system may close a popup on its own (another window activated); that is a Cancel.
    QWidget::hideEvent(event);
    if (!m_finished)
        finish(false);
}

} // namespace veltry
