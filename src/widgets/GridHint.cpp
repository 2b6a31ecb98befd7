#include "widgets/GridHint.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

namespace veltry {

namespace {
constexpr int kPad = 3;
constexpr int kMaxHintWidth = 400;

// Hint texts come with any of the line-break pairs the lists hold (CR LF, LF CR, lone CR or LF).
QString normaliseBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The part of a hint that can show: a hint never grows taller than the screen, and no line of
// it holds more characters than kMaxHintWidth pixels can (no visible character is narrower
// than half a pixel). Laying out the rest of a huge text would only freeze the window.
QString visiblePart(const QString& text, const QFontMetrics& fm, const QScreen* screen)
{
    const int height = screen ? screen->availableGeometry().height() : 2000;
    const qsizetype lines = height / std::max(1, fm.height()) + 2;
    const qsizetype perLine = 2 * kMaxHintWidth + 64;
    qsizetype end = std::min(text.size(), lines * perLine);
    // Every break starts a line (a CR LF pair counts twice, which only keeps more).
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const QChar ch = text.at(i);
        if ((ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) && ++breaks > 2 * lines) {
            end = i;
            break;
        }
    }
    return end < text.size() ? text.first(end) : text;
}

QPointer<TAppHint>& theInstance()
{
    static QPointer<TAppHint> instance;
    return instance;
}
} // namespace

THintWindow::THintWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName(QStringLiteral("HintWindow"));
    setFont(QToolTip::font());
}

void THintWindow::showHint(const QString& text, const QColor& color, const QPoint& globalTopLeft)
{
    const QFontMetrics fm(font());
    const QScreen* screen = QGuiApplication::screenAt(globalTopLeft);
    m_text = normaliseBreaks(visiblePart(text, fm, screen ? screen : QGuiApplication::primaryScreen()));
    m_color = color.isValid() ? color : QToolTip::palette().color(QPalette::ToolTipBase);
    const QRect bounds = fm.boundingRect(QRect(0, 0, kMaxHintWidth, 10000), Qt::TextWordWrap | Qt::TextExpandTabs, m_text);
    QRect geometry(globalTopLeft, bounds.size() + QSize(2 * kPad + 2, 2 * kPad));
    // Keep the hint on the screen it belongs to.
    if (screen) {
        const QRect avail = screen->availableGeometry();
        if (geometry.right() > avail.right())
            geometry.moveRight(avail.right());
        if (geometry.bottom() > avail.bottom())
            geometry.moveBottom(avail.bottom());
        if (geometry.left() < avail.left())
            geometry.moveLeft(avail.left());
    }
    setGeometry(geometry);
    update();
    show();
}

void THintWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_color);
    p.setPen(QColor(0, 0, 0));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawText(rect().adjusted(kPad + 1, kPad, -kPad - 1, -kPad), Qt::TextWordWrap | Qt::TextExpandTabs, m_text);
}

TAppHint::TAppHint(QObject* parent) : QObject(parent)
{
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &TAppHint::cancelHint);
    qApp->installEventFilter(this);
}

TAppHint::~TAppHint()
{
    delete m_window.data();
}

TAppHint* TAppHint::instance(bool create)
{
    QPointer<TAppHint>& inst = theInstance();
    if (!inst && create && qApp)
        inst = new TAppHint(qApp);
    return inst.data();
}

THintShowHandler TAppHint::showHintHandler()
{
    const TAppHint* self = instance(false);
    return self ? self->m_handler : THintShowHandler();
}

void TAppHint::setShowHintHandler(THintShowHandler handler, const void* owner)
{
    if (TAppHint* self = instance(bool(handler))) {
        self->m_handler = std::move(handler);
        self->m_owner = owner;
    }
}

const void* TAppHint::showHintHandlerOwner()
{
    const TAppHint* self = instance(false);
    return self ? self->m_owner : nullptr;
}

THintWindow* TAppHint::hintWindow()
{
    const TAppHint* self = instance(false);
    return self ? self->m_window.data() : nullptr;
}

bool TAppHint::isHintShowing()
{
    const THintWindow* w = hintWindow();
    return w && w->isVisible();
}

void TAppHint::cancelHint()
{
    TAppHint* self = instance(false);
    if (!self)
        return;
    self->m_hideTimer.stop();
    self->m_hintControl = nullptr;
    if (self->m_window)
        self->m_window->hide();
}

bool TAppHint::showFor(QWidget* widget, const QPoint& pos, const QPoint& globalPos)
{
    THintInfo info;
    info.HintControl = widget;
    info.CursorPos = pos;
    info.HintStr = widget->toolTip();
    const QString original = info.HintStr;
    try {
        if (m_handler)
            m_handler(info);
    } catch (...) {
        // A faulty handler must not take the event loop down; the hint simply does not change.
    }
    if (info.OwnWindow) {
        if (info.HintStr.isEmpty()) {
            cancelHint();
            return true;
        }
        if (!m_window)
            m_window = new THintWindow();
        const QPoint at = info.HintPosSet ? info.HintPos : globalPos + QPoint(0, 20);
        m_window->showHint(info.HintStr, info.HintColor, at);
        m_hintControl = widget;
        m_hideTimer.start(kHidePauseMs);
        return true;
    }
    if (info.HintStr != original) {
        if (info.HintStr.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(globalPos, info.HintStr, widget);
        return true;
    }
    return false;
}

bool TAppHint::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip:
        if (m_handler && watched->isWidgetType()) {
            auto* help = static_cast<QHelpEvent*>(event);
            return showFor(static_cast<QWidget*>(watched), help->pos(), help->globalPos());
        }
        break;
    case QEvent::Leave:
        if (m_hintControl && watched == m_hintControl)
            cancelHint();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        if (m_window && m_window->isVisible())
            cancelHint();
        break;
    default: break;
    }
    return false;
}

} // namespace veltry
