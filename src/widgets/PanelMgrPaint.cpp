#include "widgets/PanelMgr.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStyle>
#include <QPainterPath>
#include <QtWidgets/qdrawutil.h>

#include <algorithm>

namespace veltry {

// ---------------------------------------------------------------------------------------------
// Tab colours and shapes

QColor TPanelManager::tabColorOf(const QWidget* panel) const
{
    auto* mp = qobject_cast<const TMPanel*>(panel);
    return (mp && !mp->parentTabColor()) ? mp->tabColor() : m_tabColor;
}

QColor TPanelManager::highColorOf(const QWidget* panel) const
{
    auto* mp = qobject_cast<const TMPanel*>(panel);
    return (mp && !mp->parentTabColor()) ? mp->tabHighColor() : m_tabHighColor;
}

QRect TPanelManager::verticalTabRect(const TabEntry& t) const
{
    return QRect(bevelInset(), t.start, m_tabWidth, t.end - t.start);
}

QPolygon TPanelManager::slantedTab(int index) const
{
    const TabEntry& t = m_tabs[size_t(index)];
    const int top = m_stripTop;
    const int slant = m_tabHeight - 1;
    const int bottom = top + slant;
    bool first = true;
    for (int i = 0; i < index; ++i)
        if (m_tabs[size_t(i)].collapsed)
            first = false;
    // The last column of the extent is left empty so neighbouring tabs stand one pixel apart.
    const int right = t.end - 2;
    QPolygon poly;
    poly << QPoint(t.start, top) << QPoint(right, top) << QPoint(right - slant, bottom)
         << QPoint(first ? t.start : t.start - slant, bottom);
    return poly;
}

QPolygon TPanelManager::tabPolygon(const QWidget* panel) const
{
    const int i = entryIndex(panel);
    if (i < 0)
        return {};
    if (m_tabs[size_t(i)].collapsed)
        return slantedTab(i);
    return QPolygon(verticalTabRect(m_tabs[size_t(i)]), true);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TPanelManager::paintVerticalTab(QPainter& p, const TabEntry& t, bool hot) const
{
    const QRect r = verticalTabRect(t);
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const QColor tab = tabColorOf(t.panel);
    const QColor high = highColorOf(t.panel);
    p.fillRect(r, hot ? high : palette().color(QPalette::Button));
    qDrawShadePanel(&p, r, palette(), false, 1);

    // Grip: pairs of a highlight dot and a tab-coloured dot below-right of it.
    QList<int> columns;
    if (r.width() >= 8)
        columns << r.left() + r.width() / 2 - 3 << r.left() + r.width() / 2;
    else
        columns << r.left() + r.width() / 2 - 1;
    for (int y = r.top() + 4; y <= r.bottom() - 8; y += 3) {
        for (int x : columns) {
            p.setPen(high);
            p.drawPoint(x, y);
            p.setPen(tab);
            p.drawPoint(x + 1, y + 1);
        }
    }

    // A down-pointing arrow below the grip: this panel folds away.
    const int cx = r.left() + r.width() / 2;
    const int y0 = r.bottom() - 6;
    if (y0 <= r.top() + 1)
        return;
    const int half = std::min(3, std::max(1, r.width() / 2 - 2));
    QPolygon tri;
    tri << QPoint(cx - half, y0) << QPoint(cx + half, y0) << QPoint(cx, y0 + half);
    p.setPen(tab);
    p.setBrush(tab);
    p.drawPolygon(tri);
    p.setBrush(Qt::NoBrush);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(cx - half, y0 - 1, cx + half, y0 - 1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(cx + half + 1, y0, cx + 1, y0 + half);
}

void TPanelManager::paintSlantedTab(QPainter& p, int index, bool hot) const
{
    const TabEntry& t = m_tabs[size_t(index)];
    const QPolygon poly = slantedTab(index);
    const QColor tab = tabColorOf(t.panel);
    const QColor high = highColorOf(t.panel);
    const int top = m_stripTop;
    const int bottom = top + m_tabHeight - 1;

    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(hot ? high : palette().color(QPalette::Button));
    p.drawPolygon(poly);
    QPainterPath clip;
    clip.addPolygon(QPolygonF(poly));
    clip.closeSubpath();
    p.setClipPath(clip);

    // An upward arrow near the left end: this panel can be brought back.
    const int ax = t.start + 6;
    const int ay = top + m_tabHeight / 2 - 2;
    QPolygon tri;
    tri << QPoint(ax - 3, ay + 3) << QPoint(ax + 3, ay + 3) << QPoint(ax, ay);
    p.setPen(tab);
    p.setBrush(tab);
    p.drawPolygon(tri);
    p.setBrush(Qt::NoBrush);

    const auto* mp = qobject_cast<const TMPanel*>(t.panel.data());
    const QString caption = mp ? mp->tabCaption() : QString();
    const QFontMetrics fm(font());
    const int textX = t.start + 14;
    int textureX = textX;
    if (!caption.isEmpty()) {
        const int textTop = top + (m_tabHeight - fm.boundingRect(QStringLiteral("Ayq")).height()) / 2;
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(textX, textTop + fm.ascent(), caption);
        textureX = textX + fm.horizontalAdvance(caption) + 4;
    }

    for (int y = top + 2; y + 1 <= bottom - 1; y += 3) {
        const int rowRight = t.end - 2 - (y - top) - 2;
        for (int x = textureX; x + 1 <= rowRight; x += 3) {
            p.setPen(Qt::white);
            p.drawPoint(x, y);
            p.setPen(tab);
            p.drawPoint(x + 1, y + 1);
        }
    }
    p.setClipping(false);

    const QPoint tl = poly.point(0), tr = poly.point(1), br = poly.point(2), bl = poly.point(3);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(tl, tr);
    p.drawLine(tl, bl);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(tr, br);
    p.drawLine(bl, br);
    p.restore();
}

void TPanelManager::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    QRect frame = rect();
    if (m_bevelOuter) {
        qDrawShadePanel(&p, frame, palette(), false, m_bevelWidth);
        frame.adjust(m_bevelWidth, m_bevelWidth, -m_bevelWidth, -m_bevelWidth);
    }
    if (m_bevelInner)
        qDrawShadePanel(&p, frame, palette(), true, m_bevelWidth);

    for (size_t i = 0; i < m_tabs.size(); ++i) {
        if (!m_tabs[i].panel)
            continue;
        if (m_tabs[i].collapsed)
            paintSlantedTab(p, int(i), int(i) == m_hot);
        else
            paintVerticalTab(p, m_tabs[i], int(i) == m_hot);
    }
    if (QWidget* focused = focusedTab()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = tabPolygon(focused).boundingRect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

} // namespace veltry
