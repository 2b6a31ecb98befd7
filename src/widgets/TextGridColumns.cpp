#include "widgets/TextGrid.h"
#include "widgets/TextGridAccessible.h"

#include <QFontMetrics>
#include <QLayout>
#include <algorithm>

namespace veltry {

namespace {

bool layoutHolds(QLayout* layout, const QWidget* widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget)
            return true;
        if (item->layout() && layoutHolds(item->layout(), widget))
            return true;
    }
    return false;
}

} // namespace

// --- column layout ----------------------------------------------------------------------------

void TTextGrid::columnsChanged()
{
    m_realWidths.resize(size_t(std::max(0, RealColCount())), m_defaultColWidth);
    syncDisplayWidths();
    const int n = std::max(0, ColCount());
    m_col = std::clamp(m_col, 0, std::max(0, n - 1));
    m_anchorCol = std::clamp(m_anchorCol, 0, std::max(0, n - 1));
    m_leftCol = std::clamp(m_leftCol, m_fixedCols, std::max(m_fixedCols, n - 1));
    if (m_editing && (m_editReal >= RealColCount() || m_map.realToDisplay(m_editReal) < 0))
        closeEditor();
    if (m_baseValid && m_baseCol >= RealColCount())
        m_baseValid = false;
    widthsChanged();
    gridAccessibleReset(this);
}

void TTextGrid::syncDisplayWidths()
{
    // Widths belong to real columns, so hiding and showing columns never hands one column's
    // width to its neighbour.
    m_colWidths.clear();
    for (int c = 0; c < RealColCount(); ++c)
        if (!m_map.isHidden(c))
            m_colWidths.push_back(m_realWidths[size_t(c)]);
    m_colWidths.resize(size_t(std::max(0, ColCount())), m_defaultColWidth);
}

void TTextGrid::widthsChanged()
{
    updateScrollBars();
    applyStretch();
    placeEditor();
    viewport()->update();
}

int TTextGrid::ColWidth(int displayCol) const
{
    return displayCol >= 0 && displayCol < int(m_colWidths.size()) ? m_colWidths[size_t(displayCol)] : m_defaultColWidth;
}

void TTextGrid::setColWidth(int displayCol, int width)
{
    if (displayCol < 0 || displayCol >= int(m_colWidths.size()))
        return;
    width = std::clamp(width, 0, kMaxColWidth);
    const int real = DisplayToRealColumn(displayCol);
    if (real < int(m_realWidths.size()))
        m_realWidths[size_t(real)] = width;
    m_colWidths[size_t(displayCol)] = width;
    widthsChanged();
}

// --- hidden columns -----------------------------------------------------------------------------

void TTextGrid::HideColumn(int realCol)
{
    if (m_map.isHidden(realCol) || realCol >= RealColCount() || ColCount() <= 2)
        return;
    m_map.hide(realCol);
    columnsChanged();
}

void TTextGrid::UnhideColumn(int realCol)
{
    if (!m_map.isHidden(realCol) || realCol > 255)
        return;
    m_map.unhide(realCol);
    columnsChanged();
}

// --- column widths ------------------------------------------------------------------------------

void TTextGrid::AutoSizeColumn(int displayCol)
{
    if (displayCol < 0 || displayCol >= ColCount())
        return;
    const int real = DisplayToRealColumn(displayCol);
    const QFontMetrics fm(font());
    int widest = 0;
    for (int r = 0; r < RowCount(); ++r) {
        const QByteArrayView text = m_cells.cellUtf8(real, r);
        if (!text.isEmpty())
            widest = std::max(widest, cellTextWidth(text, fm));
    }
    setColWidth(displayCol, widest + fm.horizontalAdvance(QStringLiteral("xx")));
}

void TTextGrid::AutoSizeColumns(bool includeFixed, int extraWidth)
{
    for (int k = includeFixed ? 0 : m_fixedCols; k < ColCount(); ++k) {
        AutoSizeColumn(k);
        if (extraWidth != 0)
            setColWidth(k, ColWidth(k) + extraWidth);
    }
}

void TTextGrid::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on)
        AutoSizeColumns(false, 10);
}

void TTextGrid::applyStretch()
{
    if (!ColumnSize.Stretch || m_inStretch || ColCount() < 1)
        return;
    // Grid lines count with their columns, so the stretched column ends inside the view.
    int used = 0;
    for (int k = 0; k < ColCount() - 1; ++k)
        used += ColWidth(k) + 1;
    const int client = viewport()->width();
    if (used < client) {
        m_inStretch = true;
        setColWidth(ColCount() - 1, std::max(0, client - used - 4));
        m_inStretch = false;
    }
}

// --- following the window ---------------------------------------------------------------------

void TTextGrid::watchWindow()
{
    QWidget* w = window();
    if (w == this)
        w = nullptr;
    if (w == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = w;
    if (w) {
        w->installEventFilter(this);
        m_windowSize = w->size();
    }
}

bool TTextGrid::managedByLayout() const
{
    const QWidget* p = parentWidget();
    return p && p->layout() && layoutHolds(p->layout(), this);
}

void TTextGrid::windowResized()
{
    const QSize now = m_window->size();
    // A layout already hands the window's growth to its widgets; doing it again would double it.
    if (SizeWithForm && !managedByLayout()) {
        const int w = width() + now.width() - m_windowSize.width();
        const int h = height() + now.height() - m_windowSize.height();
        if (w > 0 && h > 0) {
            resize(w, h);
            m_windowSize = now;
        }
    } else {
        m_windowSize = now;
    }
    // The window's own resize handling runs after this filter, as the replaced handler did.
    updateScrollBars();
    applyStretch();
}

} // namespace veltry
