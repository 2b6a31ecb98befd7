#include "widgets/TextGrid.h"

#include "widgets/core/CellLines.h"

#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace veltry {

namespace {

const QString kEllipsis = QStringLiteral("...");

// How many characters of a cell fitting a column measures exactly.
constexpr int kMeasuredChars = 16384;

// How many characters of a line can matter in `width` pixels: no visible character is narrower
// than half a pixel, and a little more keeps the shortening dots where they belong.
int charsForWidth(int width)
{
    return 2 * std::max(0, width) + 64;
}

int textLineWidth(const QString& line, const QFontMetrics& fm)
{
    if (line.contains(QLatin1Char('\t')))
        return fm.size(Qt::TextSingleLine | Qt::TextExpandTabs, line).width();
    return fm.horizontalAdvance(line);
}

// The picture's shape grown by a pixel all round, in `colour`.
QPixmap outlineOf(const QPixmap& picture, const QColor& colour)
{
    QPixmap out(picture.size());
    out.setDevicePixelRatio(picture.devicePixelRatio());
    out.fill(Qt::transparent);
    QPainter p(&out);
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            p.drawPixmap(QPointF(dx, dy), picture);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), colour);
    return out;
}

} // namespace

// --- measuring cell texts ---------------------------------------------------------------------

int TTextGrid::cellTextWidth(QByteArrayView utf8, const QFontMetrics& fm)
{
    // Up to kMeasuredChars characters are measured exactly; the lines (or the rest of a line)
    // beyond count with the widest advance a character or a tab can have: an upper bound that
    // keeps fitting a column linear in the text's size, however many lines a cell holds.
    qint64 widest = 0;
    qint64 budget = kMeasuredChars;
    qsizetype measuredLines = 0;
    qint64 unmeasured = 0;  // characters of the measured lines left out, at most, in one line
    CellLines::forEachLine(utf8, true, int(budget), CellLines::Keep::Start, [&](const CellLines::Line& line) {
        widest = std::max<qint64>(widest, textLineWidth(line.text, fm));
        unmeasured = std::max<qint64>(unmeasured, line.more);
        ++measuredLines;
        budget -= line.text.size() + 1;
        return budget > 0;
    });
    const qsizetype rest = budget > 0 ? -1 : CellLines::longestLineAfter(utf8, measuredLines);
    if (unmeasured > 0 || rest > 0) {
        const int widestChar = std::max({1, fm.maxWidth(), fm.size(Qt::TextSingleLine | Qt::TextExpandTabs, QStringLiteral("\t")).width()});
        // A cut line is at most its measured start plus the rest; the start itself is no wider
        // than `widest`.
        widest = std::max(widest + unmeasured * widestChar, qint64(std::max<qsizetype>(rest, 0)) * widestChar);
    }
    return int(std::min<qint64>(widest, kMaxColWidth));
}

QString TTextGrid::shortenText(const QString& text, int width, const QFontMetrics& fm, bool cutFromLonger)
{
    if (!cutFromLonger && textLineWidth(text, fm) <= width)
        return text;
    // The longest prefix that still fits with the dots; widths grow with the prefix, so a
    // binary search finds it without measuring every length of a long text.
    int lo = 1;
    int hi = int(text.size()) - (cutFromLonger ? 0 : 1);
    int best = 0;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (textLineWidth(text.left(mid) + kEllipsis, fm) <= width) {
            best = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (best > 0 && text.at(best - 1).isHighSurrogate())
        --best;
    return best > 0 ? text.left(best) + kEllipsis : QString();
}

// --- geometry -----------------------------------------------------------------------------------

int TTextGrid::columnLeft(int displayCol) const
{
    int x = 0;
    for (int k = 0; k < m_fixedCols && k < displayCol; ++k)
        x += ColWidth(k) + 1;
    if (displayCol < m_fixedCols)
        return x;
    if (displayCol < m_leftCol)
        return -1;
    for (int k = m_leftCol; k < displayCol; ++k)
        x += ColWidth(k) + 1;
    return x;
}

int TTextGrid::rowTop(int row) const
{
    int y = 0;
    for (int r = 0; r < m_fixedRows && r < row; ++r)
        y += RowHeight(r) + 1;
    if (row < m_fixedRows)
        return y;
    if (row < m_topRow)
        return -1;
    if (m_rowHeights.empty())
        return y + (row - m_topRow) * (m_defaultRowHeight + 1);
    for (int r = m_topRow; r < row; ++r)
        y += RowHeight(r) + 1;
    return y;
}

QRect TTextGrid::cellRect(int displayCol, int row) const
{
    if (displayCol < 0 || displayCol >= ColCount() || row < 0 || row >= RowCount())
        return {};
    const int x = columnLeft(displayCol);
    const int y = rowTop(row);
    if (x < 0 || y < 0)
        return {};
    return QRect(x, y, ColWidth(displayCol), RowHeight(row));
}

QPoint TTextGrid::cellAt(const QPoint& pos) const
{
    int col = -1;
    for (int k = 0; k < ColCount(); ++k) {
        if (k >= m_fixedCols && k < m_leftCol)
            continue;
        const int x = columnLeft(k);
        if (x > viewport()->width())
            break;
        if (pos.x() >= x && pos.x() < x + ColWidth(k) + 1) {
            col = k;
            break;
        }
    }
    int row = -1;
    for (int r = 0; r < RowCount(); ++r) {
        if (r >= m_fixedRows && r < m_topRow) {
            r = m_topRow - 1;
            continue;
        }
        const int y = rowTop(r);
        if (y > viewport()->height())
            break;
        if (pos.y() >= y && pos.y() < y + RowHeight(r) + 1) {
            row = r;
            break;
        }
    }
    if (col < 0 || row < 0)
        return {-1, -1};
    return {col, row};
}

int TTextGrid::visibleRowCount() const
{
    int fixedHeight = 0;
    for (int r = 0; r < m_fixedRows; ++r)
        fixedHeight += RowHeight(r) + 1;
    return std::max(1, (viewport()->height() - fixedHeight) / (m_defaultRowHeight + 1));
}

int TTextGrid::visibleColCount() const
{
    int x = 0;
    for (int k = 0; k < m_fixedCols && k < ColCount(); ++k)
        x += ColWidth(k) + 1;
    int n = 0;
    for (int k = m_leftCol; k < ColCount(); ++k) {
        x += ColWidth(k) + 1;
        if (x > viewport()->width())
            break;
        ++n;
    }
    return std::max(1, n);
}

void TTextGrid::updateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    const int maxTop = std::max(m_fixedRows, RowCount() - visibleRowCount());
    v->setRange(m_fixedRows, maxTop);
    v->setPageStep(visibleRowCount());
    v->setSingleStep(1);
    if (m_topRow > maxTop)
        m_topRow = maxTop;
    v->setValue(m_topRow);
    QScrollBar* h = horizontalScrollBar();
    if (ScrollProportional) {
        // The thumb shows the share of the columns in view.
        const int shown = visibleColCount();
        h->setRange(m_fixedCols, std::max(m_fixedCols, ColCount() - shown));
        h->setPageStep(shown);
    } else {
        h->setRange(m_fixedCols, std::max(m_fixedCols, ColCount() - 1));
        h->setPageStep(1);
    }
    h->setValue(m_leftCol);
}

void TTextGrid::scrollContentsBy(int, int)
{
    m_topRow = std::max(m_fixedRows, verticalScrollBar()->value());
    m_leftCol = std::max(m_fixedCols, horizontalScrollBar()->value());
    placeEditor();
    viewport()->update();
}

void TTextGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    applyStretch();
    placeEditor();
}

// --- drawing ------------------------------------------------------------------------------------

bool TTextGrid::isFixedCell(int displayCol, int row) const
{
    return row < m_fixedRows || displayCol < m_fixedCols || row >= RowCount() - m_fixedFooters
        || displayCol >= ColCount() - m_fixedRightCols;
}

TGridDrawState TTextGrid::cellState(int displayCol, int row) const
{
    if (isFixedCell(displayCol, row))
        return gdFixed;
    TGridDrawState state = 0;
    const QRect block = Selection();
    if (block.contains(displayCol, row))
        state |= gdSelected;
    const bool focused = hasFocus() || (m_editing && m_editor && m_editor->hasFocus());
    if (displayCol == m_col && row == m_row && focused)
        state |= gdFocused;
    return state;
}

TCellLayout TTextGrid::cellLayout(int displayCol, int row) const
{
    const QRect rect = cellRect(displayCol, row);
    if (rect.isEmpty())
        return {};
    return layoutCell(displayCol, row, rect);
}

TCellLayout TTextGrid::layoutCell(int displayCol, int row, const QRect& rect) const
{
    TCellLayout L;
    L.cell = rect;
    L.state = cellState(displayCol, row);
    const int real = DisplayToRealColumn(displayCol);
    const bool fixed = L.state & gdFixed;
    const bool selected = L.state & gdSelected;
    L.brush = fixed ? palette().color(QPalette::Button) : selected ? palette().color(QPalette::Highlight) : palette().color(QPalette::Base);
    const QColor textColor = fixed ? palette().color(QPalette::ButtonText)
        : selected                 ? palette().color(QPalette::HighlightedText)
                                   : palette().color(QPalette::Text);
    L.font = TCellFont(font(), textColor);
    if (OnGetCellColor)
        OnGetCellColor(const_cast<TTextGrid*>(this), row, real, L.state, L.brush, L.font);

    const QFontMetrics fm(L.font);
    L.lineHeight = fm.height();
    Qt::Alignment alignment = Qt::AlignLeft;
    if (OnGetAlignment)
        OnGetAlignment(const_cast<TTextGrid*>(this), row, real, alignment);
    L.alignment = (alignment & Qt::AlignRight) ? Qt::AlignRight : (alignment & Qt::AlignHCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
    const bool left = L.alignment == Qt::AlignLeft;
    const bool right = L.alignment == Qt::AlignRight;

    // Only what can show is read: the lines that reach into the cell, each no longer than its
    // box can hold, so a cell of many megabytes draws as fast as a short one.
    const QByteArrayView text = m_cells.cellUtf8(real, row);
    const bool sortTitle = m_sortShow && row == 0 && real == m_sortColumn;
    L.arrow = sortTitle && m_fixedRows > 0 && (displayCol >= m_fixedCols || SortFixedCols);
    L.arrowUp = SortDirection != sdDescendingValue;

    QRect box = rect.adjusted(2, 0, -2, 0);
    if (sortTitle && L.alignment == Qt::AlignHCenter)
        box.setLeft(box.left() + 10);

    const TCellGraphic* graphic = EnableGraphics && m_images ? m_cells.cellImage(real, row) : nullptr;
    const int iw = graphic ? m_images->width() : 0;
    const int ih = graphic ? m_images->height() : 0;
    int shiftDown = 0;
    if (graphic) {
        // The picture takes its room from the side of the text it sits on.
        if (left || right) {
            if (graphic->horizontal == 3)
                box.setLeft(box.left() + iw);
            if (graphic->horizontal == 4)
                box.setRight(box.right() - iw);
        }
        if (graphic->vertical == 4)
            shiftDown = ih;
    }

    const bool multiLine = Multilinecells && CellLines::hasBreak(text);
    if (!multiLine && sortTitle) {
        // Room for the arrow on the side it is drawn on.
        if (right)
            box.setLeft(box.left() + 14);
        else
            box.setRight(box.right() - 14);
    }
    // Shortened text always keeps its start; clipped text shows the side its alignment puts in
    // the box. A cell wider than the view shows no more than the view.
    const CellLines::Keep keep = EnhTextSize || left ? CellLines::Keep::Start
        : right                                      ? CellLines::Keep::End
                                                     : CellLines::Keep::Middle;
    const int maxChars = charsForWidth(std::min(box.width(), std::max(0, viewport()->width())));
    const auto shown = [&](const CellLines::Line& line) {
        return EnhTextSize ? shortenText(line.text, box.width(), fm, line.more > 0) : line.text;
    };
    if (multiLine) {
        // Lines that start below the cell are never seen; the first one is always laid out.
        const int room = rect.height() - 2 - shiftDown;
        const int maxLines = L.lineHeight > 0 ? std::max(1, (room + L.lineHeight - 1) / L.lineHeight) : 1;
        CellLines::forEachLine(text, true, maxChars, keep, [&](const CellLines::Line& line) {
            const int i = int(L.lines.size());
            L.lines << shown(line);
            L.lineRects << QRect(box.left(), rect.top() + 2 + shiftDown + i * L.lineHeight, box.width(), L.lineHeight);
            return int(L.lines.size()) < maxLines;
        });
    } else {
        CellLines::forEachLine(text, false, maxChars, keep, [&](const CellLines::Line& line) {
            L.lines << shown(line);
            return false;
        });
        L.lineRects << QRect(box.left(), rect.top() + shiftDown, box.width(), rect.height() - shiftDown);
    }
    L.textBox = box;
    for (const QString& line : std::as_const(L.lines))
        L.textWidth = std::max(L.textWidth, textLineWidth(line, fm));

    const int cellRight = rect.left() + rect.width();
    const int cellBottom = rect.top() + rect.height();
    if (L.arrow) {
        const int x = left ? rect.left() + L.textWidth + 10 : right ? cellRight - L.textWidth - 14 : rect.left() + 8;
        L.arrowCentre = QPoint(x, rect.top() + rect.height() / 2);
    }
    if (graphic) {
        int x = rect.left() + 1;
        switch (graphic->horizontal) {
        case 1: x = cellRight - iw - 1; break;
        case 2: x = iw > rect.width() ? rect.left() + 1 : rect.left() + (rect.width() - iw) / 2; break;
        case 3: x = left ? rect.left() + 1 : cellRight - L.textWidth - 3 - iw; break;
        case 4: x = right ? cellRight - iw - 1 : rect.left() + L.textWidth + 3; break;
        default: break;
        }
        int y = rect.top() + 1;
        switch (graphic->vertical) {
        case 1: y = cellBottom - ih - 1; break;
        case 2: y = rect.top() + (rect.height() - ih) / 2; break;
        case 3: y = rect.top() + L.lineHeight + 1; break;
        default: break;
        }
        L.image = true;
        L.imageIndex = graphic->index;
        L.imageRect = QRect(x, y, iw, ih);
    }
    return L;
}

void TTextGrid::drawCell(QPainter& p, const TCellLayout& L)
{
    p.fillRect(L.cell, L.brush);
    p.setFont(L.font);
    p.setPen(L.font.Color.isValid() ? L.font.Color : palette().color(QPalette::Text));
    p.save();
    p.setClipRect(L.textBox.intersected(L.cell));
    for (int i = 0; i < int(L.lines.size()); ++i)
        p.drawText(L.lineRects.at(i), int(L.alignment) | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs, L.lines.at(i));
    p.restore();

    if (L.arrow) {
        const int x = L.arrowCentre.x();
        const int m = L.arrowCentre.y();
        const QColor white(255, 255, 255);
        const QColor grey(0x80, 0x80, 0x80);
        if (L.arrowUp) {
            p.setPen(white);
            p.drawLine(x - 4, m + 4, x + 4, m + 4);
            p.drawLine(x + 4, m + 4, x, m - 4);
            p.setPen(grey);
            p.drawLine(x, m - 4, x - 4, m + 4);
        } else {
            p.setPen(white);
            p.drawLine(x + 4, m - 4, x, m + 4);
            p.setPen(grey);
            p.drawLine(x, m + 4, x - 4, m - 4);
            p.drawLine(x - 4, m - 4, x + 4, m - 4);
        }
        p.setPen(QColor(0, 0, 0));
    }

    if (L.image && m_images) {
        p.save();
        p.setClipRect(L.cell);
        const QPixmap picture = m_images->image(L.imageIndex, p.device()->devicePixelRatioF());
        // A picture made for the plain background can vanish on the selection (a green mark on
        // blue): there it gets an outline in the selected text's colour.
        if (L.state & gdSelected)
            p.drawPixmap(L.imageRect.topLeft(), outlineOf(picture, L.font.Color));
        p.drawPixmap(L.imageRect.topLeft(), picture);
        p.restore();
    }
}

void TTextGrid::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    const QColor lineColor = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const int vw = viewport()->width();
    const int vh = viewport()->height();
    for (int r = 0; r < RowCount(); ++r) {
        if (r >= m_fixedRows && r < m_topRow) {
            r = m_topRow - 1;
            continue;
        }
        const int y = rowTop(r);
        if (y >= vh)
            break;
        for (int k = 0; k < ColCount(); ++k) {
            if (k >= m_fixedCols && k < m_leftCol)
                continue;
            const int x = columnLeft(k);
            if (x >= vw)
                break;
            const QRect rect(x, y, ColWidth(k), RowHeight(r));
            const TCellLayout layout = layoutCell(k, r, rect);
            drawCell(p, layout);
            const bool fixed = layout.state & gdFixed;
            const bool vert = fixed ? (m_options & goFixedVertLine) : (m_options & goVertLine);
            const bool horz = fixed ? (m_options & goFixedHorzLine) : (m_options & goHorzLine);
            p.setPen(lineColor);
            if (vert)
                p.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
            if (horz)
                p.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
            if (fixed) {
                // Titles, footers and fixed right columns look raised.
                if (m_options & goFixedVertLine) {
                    p.setPen(light);
                    p.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
                    p.setPen(dark);
                    p.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
                }
                if (m_options & goFixedHorzLine) {
                    p.setPen(light);
                    p.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
                    p.setPen(dark);
                    p.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
                }
            }
            if ((layout.state & gdFocused) && !m_editing) {
                QPen pen(layout.font.Color);
                pen.setStyle(Qt::DotLine);
                p.setPen(pen);
                p.drawRect(rect.adjusted(0, 0, -1, -1));
            }
        }
    }
}

} // namespace veltry
