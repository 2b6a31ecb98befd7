#pragma once

#include "widgets/GradCap.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace veltry {

// The frame a TGradientCaption paints: a child of the window spanning all of it beneath every
// other child, so it receives the pointer exactly where the window's contents leave the frame
// and title row bare. It moves and resizes the window, presses the frame buttons and shows the
// sizing cursors.
class TCaptionFrame final : public QWidget
{
public:
    TCaptionFrame(TGradientCaption* owner, QWidget* window);

    // The component is going while the window stays a moment longer: nothing more to paint.
    void detach() { m_owner = nullptr; }
    TGradientCaption* owner() const { return m_owner; }
    // Does what a click on the frame button does.
    void pressButton(TGradientCaption::TFrameButton button);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void beginSelfDrag(QMouseEvent* e, Qt::Edges edges);
    QRect resizedGeometry(const QPoint& delta) const;
    void toggleMaximized();

    TGradientCaption* m_owner;
    TGradientCaption::TFrameButton m_pressed = TGradientCaption::TFrameButton::Close;
    bool m_buttonDown = false;
    bool m_pressedOver = false;
    bool m_dragging = false;
    Qt::Edges m_dragEdges;
    QPoint m_pressGlobal;
    QRect m_startGeometry;
};

} // namespace veltry
