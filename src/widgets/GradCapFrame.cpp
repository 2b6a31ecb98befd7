#include "widgets/GradCapFrame.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWhatsThis>
#include <QWindow>

#include <algorithm>

namespace veltry {

namespace {

Qt::CursorShape cursorFor(TGradientCaption::THitArea area)
{
    using H = TGradientCaption::THitArea;
    switch (area) {
    case H::Left:
    case H::Right:
        return Qt::SizeHorCursor;
    case H::Top:
    case H::Bottom:
        return Qt::SizeVerCursor;
    case H::TopLeft:
    case H::BottomRight:
        return Qt::SizeFDiagCursor;
    case H::TopRight:
    case H::BottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}

Qt::Edges edgesFor(TGradientCaption::THitArea area)
{
    using H = TGradientCaption::THitArea;
    switch (area) {
    case H::Left: return Qt::LeftEdge;
    case H::Right: return Qt::RightEdge;
    case H::Top: return Qt::TopEdge;
    case H::Bottom: return Qt::BottomEdge;
    case H::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case H::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case H::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case H::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

bool isButtonArea(TGradientCaption::THitArea area)
{
    using H = TGradientCaption::THitArea;
    return area == H::Close || area == H::Maximize || area == H::Minimize || area == H::Help;
}

TGradientCaption::TFrameButton buttonOf(TGradientCaption::THitArea area)
{
    using H = TGradientCaption::THitArea;
    using B = TGradientCaption::TFrameButton;
    switch (area) {
    case H::Maximize: return B::Maximize;
    case H::Minimize: return B::Minimize;
    case H::Help: return B::Help;
    default: return B::Close;
    }
}

} // namespace

TCaptionFrame::TCaptionFrame(TGradientCaption* owner, QWidget* window) : QWidget(window), m_owner(owner)
{
    setObjectName(QStringLiteral("GradCaptionFrame"));
    setFocusPolicy(Qt::NoFocus);
    // The sizing cursors follow the pointer with no button held.
    setMouseTracking(true);
}

void TCaptionFrame::paintEvent(QPaintEvent* e)
{
    if (!m_owner)
        return;
    QPainter p(this);
    m_owner->paintFrame(p, e->rect(), m_pressedOver ? int(m_pressed) : -1);
}

void TCaptionFrame::mousePressEvent(QMouseEvent* e)
{
    if (!m_owner || e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    using H = TGradientCaption::THitArea;
    const H area = m_owner->hitTest(e->position().toPoint());
    QWidget* window = m_owner->window();
    if (isButtonArea(area)) {
        const auto button = buttonOf(area);
        if (!m_owner->frameButtonEnabled(button))
            return;
        m_pressed = button;
        m_buttonDown = true;
        m_pressedOver = true;
        update(m_owner->buttonRect(button));
        return;
    }
    if (area == H::Caption) {
        if (window->isMaximized() || window->isFullScreen())
            return;
        // The window system's own move keeps snapping, tiling and its keyboard moves; a
        // bare X server has none, and there the window moves itself.
        QWindow* handle = window->windowHandle();
        if (!handle || !handle->startSystemMove())
            beginSelfDrag(e, {});
        return;
    }
    const Qt::Edges edges = edgesFor(area);
    if (edges) {
        QWindow* handle = window->windowHandle();
        if (!handle || !handle->startSystemResize(edges))
            beginSelfDrag(e, edges);
        return;
    }
    e->ignore();
}

void TCaptionFrame::mouseDoubleClickEvent(QMouseEvent* e)
{
    using B = TGradientCaption::TFrameButton;
    if (m_owner && e->button() == Qt::LeftButton
        && m_owner->hitTest(e->position().toPoint()) == TGradientCaption::THitArea::Caption) {
        const auto buttons = m_owner->frameButtons();
        if (buttons.contains(B::Maximize) && m_owner->frameButtonEnabled(B::Maximize))
            toggleMaximized();
        return;
    }
    mousePressEvent(e);
}

void TCaptionFrame::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_owner) {
        e->ignore();
        return;
    }
    QWidget* window = m_owner->window();
    const QPoint global = e->globalPosition().toPoint();
    if (m_dragging) {
        const QPoint delta = global - m_pressGlobal;
        if (!m_dragEdges)
            window->move(m_startGeometry.topLeft() + delta);
        else
            window->setGeometry(resizedGeometry(delta));
        return;
    }
    if (m_buttonDown) {
        const bool over = m_owner->buttonRect(m_pressed).contains(e->position().toPoint());
        if (over != m_pressedOver) {
            m_pressedOver = over;
            update(m_owner->buttonRect(m_pressed));
        }
        return;
    }
    const auto area = m_owner->hitTest(e->position().toPoint());
    setCursor(cursorFor(area));
    if (area == TGradientCaption::THitArea::Client)
        e->ignore();
}

void TCaptionFrame::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_owner || e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    m_dragging = false;
    if (!m_buttonDown)
        return;
    const bool clicked = m_pressedOver;
    m_buttonDown = false;
    m_pressedOver = false;
    update(m_owner->buttonRect(m_pressed));
    if (clicked)
        pressButton(m_pressed);
}

void TCaptionFrame::beginSelfDrag(QMouseEvent* e, Qt::Edges edges)
{
    m_dragging = true;
    m_dragEdges = edges;
    m_pressGlobal = e->globalPosition().toPoint();
    m_startGeometry = m_owner->window()->geometry();
}

QRect TCaptionFrame::resizedGeometry(const QPoint& delta) const
{
    const QWidget* window = m_owner->window();
    const QSize minSize = window->minimumSize().expandedTo(window->minimumSizeHint()).expandedTo(QSize(1, 1));
    const QSize maxSize = window->maximumSize();
    QRect g = m_startGeometry;
    if (m_dragEdges & Qt::LeftEdge) {
        const int width = std::clamp(g.width() - delta.x(), minSize.width(), maxSize.width());
        g.setLeft(g.right() + 1 - width);
    }
    if (m_dragEdges & Qt::RightEdge)
        g.setWidth(std::clamp(g.width() + delta.x(), minSize.width(), maxSize.width()));
    if (m_dragEdges & Qt::TopEdge) {
        const int height = std::clamp(g.height() - delta.y(), minSize.height(), maxSize.height());
        g.setTop(g.bottom() + 1 - height);
    }
    if (m_dragEdges & Qt::BottomEdge)
        g.setHeight(std::clamp(g.height() + delta.y(), minSize.height(), maxSize.height()));
    return g;
}

void TCaptionFrame::toggleMaximized()
{
    QWidget* window = m_owner->window();
    if (window->isMaximized())
        window->showNormal();
    else
        window->showMaximized();
}

void TCaptionFrame::pressButton(TGradientCaption::TFrameButton button)
{
    using B = TGradientCaption::TFrameButton;
    QWidget* window = m_owner->window();
    switch (button) {
    case B::Close:
        window->close();
        break;
    case B::Maximize:
        toggleMaximized();
        break;
    case B::Minimize:
        if (window->isMinimized())
            window->showNormal();
        else
            window->showMinimized();
        break;
    case B::Help:
        QWhatsThis::enterWhatsThisMode();
        break;
    }
}

} // namespace veltry
