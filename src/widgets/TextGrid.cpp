#include "widgets/TextGrid.h"

#include "platform/core/AppError.h"
#include "platform/core/ConfigStore.h"
#include "widgets/GridHint.h"
#include "widgets/core/CellLines.h"
#include "widgets/core/GridFile.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <optional>

namespace veltry {

namespace {

const QString kEllipsis = QStringLiteral("...");
const QString kConfigRoot = QStringLiteral("HKEY_CURRENT_USER");

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

// Stored widths are texts; "0x" marks hexadecimal, anything else that is no number is absent.
std::optional<int> parseStoredWidth(const QString& raw)
{
    const QString text = raw.trimmed();
    bool ok = false;
    int value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toInt(&ok, 16);
    else
        value = text.toInt(&ok, 10);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

bool isWindowSwitch(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

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

TTextGrid::TTextGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    m_cells.setColumnCount(5);
    m_cells.setRowCount(5);
    m_realWidths.assign(5, m_defaultColWidth);
    m_colWidths.assign(5, m_defaultColWidth);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::StyledPanel);

    // Take over the application's hint handler, keeping the one before us in the chain.
    m_prevHintHandler = TAppHint::showHintHandler();
    m_prevHintOwner = TAppHint::showHintHandlerOwner();
    QPointer<TTextGrid> self(this);
    TAppHint::setShowHintHandler(
        [self, previous = m_prevHintHandler](THintInfo& info) {
            if (self)
                self->showHint(info);
            if (previous) {
                try {
                    previous(info);
                } catch (...) {
                    // Our own hint is settled; a failing older handler must not undo it.
                }
            }
        },
        this);
    watchWindow();
    updateScrollBars();
}

TTextGrid::~TTextGrid()
{
    if (m_window)
        m_window->removeEventFilter(this);
    if (m_editor) {
        m_editor->removeEventFilter(this);
        m_editing = false;
    }
    try {
        saveColumnWidths();
    } catch (const AppError&) {
        // Nobody is left to tell; the widths simply stay as they were stored.
    }
    m_cells.clearAllCells();
    if (TAppHint::showHintHandlerOwner() == this)
        TAppHint::setShowHintHandler(m_prevHintHandler, m_prevHintOwner);
    if (m_hintCell.x() >= 0)
        TAppHint::cancelHint();
}

// --- dimensions -------------------------------------------------------------------------------

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

void TTextGrid::setColCount(int n)
{
    m_cells.setColumnCount(std::max(0, n) + m_map.hiddenCount());
    columnsChanged();
}

void TTextGrid::setRowCount(int n)
{
    m_cells.setRowCount(std::max(0, n));
    if (m_editing && m_editRow >= RowCount())
        closeEditor();
    if (m_baseValid && m_baseRow >= RowCount())
        m_baseValid = false;
    if (m_row >= RowCount())
        m_row = std::max(std::min(m_fixedRows, RowCount() - 1), RowCount() - 1);
    m_anchorRow = std::min(m_anchorRow, std::max(0, RowCount() - 1));
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::setFixedCols(int n)
{
    m_fixedCols = std::max(0, n);
    m_col = std::max(m_col, std::min(m_fixedCols, ColCount() - 1));
    m_anchorCol = m_col;
    columnsChanged();
}

void TTextGrid::setFixedRows(int n)
{
    m_fixedRows = std::max(0, n);
    m_topRow = std::max(m_topRow, m_fixedRows);
    m_row = std::max(m_row, m_fixedRows);
    m_anchorRow = m_row;
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::setDefaultRowHeight(int h)
{
    m_defaultRowHeight = std::max(1, h);
    updateScrollBars();
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

int TTextGrid::RowHeight(int row) const
{
    const auto it = m_rowHeights.find(row);
    return it == m_rowHeights.end() ? m_defaultRowHeight : it->second;
}

void TTextGrid::setRowHeight(int row, int height)
{
    if (height == m_defaultRowHeight)
        m_rowHeights.erase(row);
    else
        m_rowHeights[row] = std::max(0, height);
    placeEditor();
    viewport()->update();
}

void TTextGrid::setOptions(quint32 options)
{
    m_options = options;
    if (!(m_options & goEditing) && m_editing)
        closeEditor();
    viewport()->update();
}

void TTextGrid::setCells(int col, int row, const QString& text)
{
    m_cells.setCell(col, row, text);
    cellsWritten(col, row, row);
}

void TTextGrid::cellsWritten(int realCol, int firstRow, int lastRow)
{
    // What the program writes is no typing: an open edit of such a cell ends (Escape has nothing
    // left to restore), and the validation base takes the new text, so it is never "validated"
    // or reverted as if the user had typed it.
    const auto hit = [&](int c, int r) { return (realCol < 0 || c == realCol) && r >= firstRow && r <= lastRow; };
    if (m_editing && hit(m_editReal, m_editRow))
        closeEditor();
    if (m_baseValid && hit(m_baseCol, m_baseRow))
        m_baseText = m_cells.cell(m_baseCol, m_baseRow);
    viewport()->update();
}

void TTextGrid::replaceCells(CellStore&& cells)
{
    if (m_editing)
        closeEditor();
    m_cells = std::move(cells);
    storeChanged();
}

void TTextGrid::storeChanged()
{
    // Hidden columns stay columns of the grid: a narrower store gets them back, empty, so the
    // hidden count never reaches past the real columns.
    const int hiddenEnd = m_map.hiddenEnd();
    if (m_cells.columnCount() < hiddenEnd)
        m_cells.setColumnCount(hiddenEnd);
    columnsChanged();
    rowsMoved();
}

// --- current cell and selection -----------------------------------------------------------------

void TTextGrid::setCurrentCell(int displayCol, int row)
{
    moveCurrent(displayCol, row, false);
}

void TTextGrid::moveCurrent(int displayCol, int row, bool extend)
{
    if (ColCount() <= 0 || RowCount() <= 0)
        return;
    // Footer rows and fixed right columns are drawn like titles and cannot be selected.
    const int loCol = std::min(m_fixedCols, ColCount() - 1);
    const int loRow = std::min(m_fixedRows, RowCount() - 1);
    displayCol = std::clamp(displayCol, loCol, std::max(loCol, lastSelectableCol()));
    row = std::clamp(row, loRow, std::max(loRow, lastSelectableRow()));
    if (m_editing)
        closeEditor();
    const bool changed = displayCol != m_col || row != m_row;
    const bool rangeChanged = !extend && (m_anchorCol != displayCol || m_anchorRow != row);
    m_col = displayCol;
    m_row = row;
    if (!extend) {
        m_anchorCol = displayCol;
        m_anchorRow = row;
    }
    if (!changed && !rangeChanged)
        return;
    if (changed) {
        validateCell();
        setValidationBase();
        cellSelected();
        scrollIntoView();
    }
    viewport()->update();
    if (changed)
        Q_EMIT currentCellChanged(m_col, m_row);
}

void TTextGrid::cellSelected()
{
    if (OnCanEditCell) {
        bool canEdit = true;
        OnCanEditCell(this, m_row, m_col, canEdit);
        m_options = canEdit ? (m_options | goEditing) : (m_options & ~quint32(goEditing));
    }
}

void TTextGrid::scrollIntoView()
{
    if (m_row >= m_fixedRows) {
        if (m_row < m_topRow)
            setTopRow(m_row);
        else if (m_row >= m_topRow + visibleRowCount())
            setTopRow(m_row - visibleRowCount() + 1);
    }
    if (m_col >= m_fixedCols) {
        if (m_col < m_leftCol) {
            setLeftCol(m_col);
        } else {
            int left = m_leftCol;
            while (left < m_col) {
                int x = 0;
                for (int k = 0; k < m_fixedCols; ++k)
                    x += ColWidth(k) + 1;
                for (int k = left; k <= m_col; ++k)
                    x += ColWidth(k) + 1;
                if (x <= viewport()->width())
                    break;
                ++left;
            }
            setLeftCol(left);
        }
    }
}

void TTextGrid::setTopRow(int row)
{
    row = std::clamp(row, m_fixedRows, std::max(m_fixedRows, RowCount() - 1));
    if (row != m_topRow) {
        m_topRow = row;
        verticalScrollBar()->setValue(row);
        placeEditor();
        viewport()->update();
    }
}

void TTextGrid::setLeftCol(int displayCol)
{
    displayCol = std::clamp(displayCol, m_fixedCols, std::max(m_fixedCols, ColCount() - 1));
    if (displayCol != m_leftCol) {
        m_leftCol = displayCol;
        horizontalScrollBar()->setValue(displayCol);
        placeEditor();
        viewport()->update();
    }
}

QRect TTextGrid::Selection() const
{
    QRect block = (m_options & goRangeSelect)
        ? QRect(QPoint(std::min(m_col, m_anchorCol), std::min(m_row, m_anchorRow)),
                QPoint(std::max(m_col, m_anchorCol), std::max(m_row, m_anchorRow)))
        : QRect(m_col, m_row, 1, 1);
    if (m_options & goRowSelect) {
        block.setLeft(std::min(m_fixedCols, std::max(0, ColCount() - 1)));
        block.setRight(std::max(block.left(), lastSelectableCol()));
    }
    return block;
}

void TTextGrid::setSelection(const QRect& block)
{
    moveCurrent(block.left(), block.top(), false);
    if (m_options & goRangeSelect)
        moveCurrent(block.right(), block.bottom(), true);
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

// --- pictures -----------------------------------------------------------------------------------

void TTextGrid::setGridImages(TImageList* images)
{
    m_images = images;
    viewport()->update();
}

void TTextGrid::SetCellImage(int col, int row, int index, int horizontal, int vertical)
{
    if (!m_images)
        return;
    TCellGraphic g;
    g.kind = TCellGraphic::ImageList;
    g.index = index;
    g.horizontal = quint8(std::clamp(horizontal, 0, 4));
    g.vertical = quint8(std::clamp(vertical, 0, 4));
    m_cells.setCellImage(col, row, g);
    viewport()->update();
}

void TTextGrid::RemoveCellImage(int col, int row)
{
    m_cells.removeCellImage(col, row);
    viewport()->update();
}

// --- row operations -----------------------------------------------------------------------------

void TTextGrid::rowsMoved()
{
    if (m_editing)
        closeEditor();
    if (RowCount() > 0) {
        const int lo = std::min(m_fixedRows, RowCount() - 1);
        m_row = std::clamp(m_row, lo, std::max(lo, lastSelectableRow()));
        m_anchorRow = m_row;
    }
    // The cells under the remembered text moved; start afresh from what is there now.
    if (m_baseValid)
        setValidationBase();
    updateScrollBars();
    viewport()->update();
}

void TTextGrid::InsertRows(int row, int count)
{
    m_cells.insertRows(row, count);
    // Row heights travel with their rows.
    std::map<int, int> moved;
    for (const auto& [r, h] : m_rowHeights)
        moved[r >= row ? r + count : r] = h;
    m_rowHeights.swap(moved);
    rowsMoved();
}

void TTextGrid::RemoveRows(int row, int count)
{
    m_cells.removeRows(row, count);
    std::map<int, int> moved;
    for (const auto& [r, h] : m_rowHeights)
        if (r < row || r >= row + count)
            moved[r >= row + count ? r - count : r] = h;
    m_rowHeights.swap(moved);
    if (m_row >= RowCount())
        m_row = std::max(0, RowCount() - 1);
    rowsMoved();
}

void TTextGrid::ClearRows(int row, int count)
{
    m_cells.clearRows(row, count);
    cellsWritten(-1, row, row + count - 1);
}

void TTextGrid::ClearAllCells()
{
    m_cells.clearAllCells();
    rowsMoved();
}

void TTextGrid::SwapRows(int a, int b)
{
    m_cells.swapRows(a, b);
    const int ha = RowHeight(a);
    const int hb = RowHeight(b);
    setRowHeight(a, hb);
    setRowHeight(b, ha);
    rowsMoved();
}

void TTextGrid::NumberRows(int col)
{
    for (int r = m_fixedRows; r < RowCount(); ++r)
        m_cells.setCell(col, r, QString::number(r - m_fixedRows + 1));
    cellsWritten(col, m_fixedRows, RowCount() - 1);
}

// --- sorting and search -------------------------------------------------------------------------

void TTextGrid::SortRows()
{
    if (m_editing)
        closeEditor();
    SortRequest request;
    request.firstRow = m_fixedRows;
    request.lastRow = RowCount() - 1 - m_fixedFooters;
    request.sortColumn = m_sortColumn;
    request.direction = SortDirection == sdDescendingValue ? sdDescending : sdAscending;
    request.realColumnCount = RealColCount();
    if (OnGetFormat) {
        request.getFormat = [this](int col, TSortStyle& style) {
            quint8 value = style;
            OnGetFormat(this, col, value);
            style = TSortStyle(value);
        };
    }
    if (request.lastRow > request.firstRow && m_sortColumn >= 0 && m_sortColumn < RealColCount()) {
        int current = m_row;
        veltry::SortRows(m_cells, request, current);
        m_row = current;
    }
    rowsMoved();
    scrollIntoView();
}

GridCellPos TTextGrid::FindFirst(const QString& text, int options)
{
    return m_search.FindFirst(m_cells, m_map, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows}, text, options);
}

GridCellPos TTextGrid::FindNext()
{
    return m_search.FindNext(m_cells, m_map, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows});
}

int TTextGrid::FindRowByPrefix(const QString& text) const
{
    return GridSearch::FindRowByPrefix(m_cells, GridShape{ColCount(), RowCount(), m_fixedCols, m_fixedRows},
                                       GridSearch::prefixKeyColumn(m_sortShow, m_sortColumn), text);
}

// --- the grid file ------------------------------------------------------------------------------

void TTextGrid::SaveToFile(const QString& path) const
{
    GridFile::saveToFile(m_cells, path);
}

void TTextGrid::LoadFromFile(const QString& path)
{
    if (m_editing)
        closeEditor();
    // Also after a load that stopped half way: what was read is the grid's content now.
    const auto refresh = qScopeGuard([this] { storeChanged(); });
    GridFile::loadFromFile(m_cells, path);
}

// --- sort state and switches --------------------------------------------------------------------

void TTextGrid::setSortColumn(int realCol)
{
    m_sortColumn = realCol;
    viewport()->update();
}

void TTextGrid::setSortShow(bool on)
{
    m_sortShow = on;
    viewport()->update();
}

void TTextGrid::setFixedFooters(int n)
{
    m_fixedFooters = std::max(0, n);
    viewport()->update();
}

void TTextGrid::setFixedRightCols(int n)
{
    m_fixedRightCols = std::max(0, n);
    viewport()->update();
}

// --- column widths ------------------------------------------------------------------------------

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

void TTextGrid::loadColumnWidths()
{
    if (!ColumnSize.Save || ColumnSize.Key.isEmpty() || ColumnSize.Section.isEmpty())
        return;
    const ConfigKey key(ConfigStore::shared(), kConfigRoot, ColumnSize.Key + ColumnSize.Section, false);
    if (!key.isOpen())
        return;
    const QScreen* shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    const int availableWidth = shownOn ? std::max(0, shownOn->availableGeometry().width()) : kMaxColWidth;
    for (int i = 0; i < ColCount(); ++i) {
        const QString name = QStringLiteral("col%1").arg(i);
        if (!key.valueExists(name))
            continue;
        std::optional<int> width;
        try {
            width = parseStoredWidth(key.readString(name));
        } catch (const AppError&) {
            // Written as a number by someone else: take it as it is.
            width = key.readInteger(name);
        }
        // However wide it was stored, a column never starts wider than the screen, so its
        // neighbours stay within reach.
        if (width && *width >= 0)
            setColWidth(i, std::min(*width, availableWidth));
    }
}

void TTextGrid::saveColumnWidths() const
{
    if (!ColumnSize.Save || ColumnSize.Key.isEmpty() || ColumnSize.Section.isEmpty())
        return;
    ConfigKey key(ConfigStore::shared(), kConfigRoot, ColumnSize.Key + ColumnSize.Section, true);
    for (int i = 0; i < ColCount(); ++i)
        key.writeString(QStringLiteral("col%1").arg(i), QString::number(ColWidth(i)));
    key.close();
}

// --- clipboard ----------------------------------------------------------------------------------

void TTextGrid::CopyToClipboard()
{
    const QRect block = Selection();
    QString text;
    for (int r = block.top(); r <= block.bottom(); ++r) {
        for (int k = block.left(); k <= block.right(); ++k)
            text += m_cells.cell(DisplayToRealColumn(k), r) + QLatin1Char('\t');
        text.chop(1);
        text += QLatin1String("\r\n");
    }
    text.chop(2);
    QGuiApplication::clipboard()->setText(text);
}

void TTextGrid::CutToClipboard()
{
    CopyToClipboard();
    const QRect block = Selection();
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int k = block.left(); k <= block.right(); ++k)
            m_cells.setCell(DisplayToRealColumn(k), r, QString());
    viewport()->update();
    Q_EMIT cellsChanged();
}

void TTextGrid::PasteFromClipboard()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    // Rows end at CR (with its LF) and also at a lone LF, the line end other programs here use.
    QStringList rows;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            rows << current;
            current.clear();
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            current += ch;
        }
    }
    // A final line break ends the last row; it does not start an empty one.
    if (!current.isEmpty())
        rows << current;
    if (m_editing)
        closeEditor();
    for (int i = 0; i < int(rows.size()); ++i) {
        const QStringList cells = rows.at(i).split(QLatin1Char('\t'));
        const int r = m_row + i;
        if (r >= RowCount())
            setRowCount(r + 1);
        for (int j = 0; j < int(cells.size()); ++j) {
            const int k = m_col + j;
            if (k >= ColCount())
                setColCount(k + 1);
            m_cells.setCell(DisplayToRealColumn(k), r, cells.at(j));
        }
    }
    viewport()->update();
    Q_EMIT cellsChanged();
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
        p.drawPixmap(L.imageRect.topLeft(), m_images->image(L.imageIndex, p.device()->devicePixelRatioF()));
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

// --- mouse --------------------------------------------------------------------------------------

int TTextGrid::resizeHandleAt(const QPoint& pos) const
{
    if (!(m_options & goColSizing))
        return -1;
    const QPoint cell = cellAt(pos);
    if (cell.y() < 0 || cell.y() >= m_fixedRows)
        return -1;
    for (int k = 0; k < ColCount(); ++k) {
        const int x = columnLeft(k);
        if (x < 0)
            continue;
        const int right = x + ColWidth(k);
        if (std::abs(pos.x() - right) <= 3)
            return k;
    }
    return -1;
}

void TTextGrid::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_editing)
        closeEditor();
    if (event->button() == Qt::LeftButton) {
        const int handle = resizeHandleAt(pos);
        if (handle >= 0) {
            m_sizingColumn = handle;
            m_sizingStartX = pos.x();
            m_sizingStartWidth = ColWidth(handle);
            event->accept();
            return;
        }
    }
    const QPoint cell = cellAt(pos);
    if (cell.x() >= 0 && event->button() == Qt::LeftButton && !isFixedCell(cell.x(), cell.y())) {
        const bool extend = (event->modifiers() & Qt::ShiftModifier) && (m_options & goRangeSelect);
        moveCurrent(cell.x(), cell.y(), extend);
    }
    if (cell.x() >= 0 && OnClickCell)
        OnClickCell(this, cell.y(), cell.x());
    if (cell.x() >= 0 && event->button() == Qt::LeftButton)
        titleClick(cell, pos);
    event->accept();
}

void TTextGrid::titleClick(const QPoint& cell, const QPoint& pos)
{
    const QRect rect = cellRect(cell.x(), cell.y());
    if (rect.isEmpty())
        return;
    // Near either edge the press belongs to column sizing.
    if (pos.x() - rect.left() < kSizingZone || rect.left() + rect.width() - pos.x() < kSizingZone)
        return;
    if (cell.x() < m_fixedCols && !SortFixedCols)
        return;
    const int real = DisplayToRealColumn(cell.x());
    bool doSort = true;
    if (OnCanSort)
        OnCanSort(this, real, doSort);
    if (cell.y() != 0 || m_fixedRows <= 0 || !m_sortShow || RowCount() <= 2 || !doSort)
        return;
    if (real == m_sortColumn) {
        SortDirection = SortDirection == sdAscendingValue ? sdDescendingValue : sdAscendingValue;
    } else {
        SortDirection = sdAscendingValue;
        m_sortColumn = real;
    }
    viewport()->update();
    SortRows();
    if (OnClickSort)
        OnClickSort(this, m_sortColumn);
}

void TTextGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_sizingColumn >= 0) {
        setColWidth(m_sizingColumn, std::max(0, m_sizingStartWidth + pos.x() - m_sizingStartX));
        return;
    }
    const QPoint cell = cellAt(pos);
    if (m_hintCell.x() >= 0 && cell != m_hintCell) {
        // The hint belonged to the cell just left; the new cell asks for its own after the delay.
        TAppHint::cancelHint();
        m_hintCell = QPoint(-1, -1);
    }
    if ((event->buttons() & Qt::LeftButton) && (m_options & goRangeSelect) && cell.x() >= 0
        && !isFixedCell(cell.x(), cell.y()))
        moveCurrent(cell.x(), cell.y(), true);
    viewport()->setCursor(resizeHandleAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
    event->accept();
}

void TTextGrid::mouseReleaseEvent(QMouseEvent* event)
{
    m_sizingColumn = -1;
    event->accept();
}

void TTextGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() >= 0 && OnDblClickCell)
        OnDblClickCell(this, cell.y(), cell.x());
    if (cell.x() == m_col && cell.y() == m_row && event->button() == Qt::LeftButton && canEditCurrent())
        openEditor(nullptr);
    event->accept();
}

// --- keys ---------------------------------------------------------------------------------------

void TTextGrid::keyPressEvent(QKeyEvent* event)
{
    if (m_editing && m_editor) {
        // Keys the editor passed up (it has the focus) are not ours either. Keys sent to the
        // grid while the editor is open still belong to the text being edited.
        if (m_forwardingKey || m_editor->hasFocus()) {
            event->ignore();
            return;
        }
        m_forwardingKey = true;
        QCoreApplication::sendEvent(m_editor, event);
        m_forwardingKey = false;
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    const bool alt = mods & (Qt::AltModifier | Qt::MetaModifier);
    const bool extend = shift && (m_options & goRangeSelect);
    const int key = event->key();

    switch (key) {
    case Qt::Key_Up: moveCurrent(m_col, m_row - 1, extend); event->accept(); return;
    case Qt::Key_Down: moveCurrent(m_col, m_row + 1, extend); event->accept(); return;
    case Qt::Key_Left: moveCurrent(m_col - 1, m_row, extend); event->accept(); return;
    case Qt::Key_Right: moveCurrent(m_col + 1, m_row, extend); event->accept(); return;
    case Qt::Key_PageUp: moveCurrent(m_col, m_row - visibleRowCount(), extend); event->accept(); return;
    case Qt::Key_PageDown: moveCurrent(m_col, m_row + visibleRowCount(), extend); event->accept(); return;
    case Qt::Key_Home:
        moveCurrent(ctrl ? m_col : m_fixedCols, ctrl ? m_fixedRows : m_row, extend);
        event->accept();
        return;
    case Qt::Key_End:
        moveCurrent(ctrl ? m_col : ColCount() - 1, ctrl ? RowCount() - 1 : m_row, extend);
        event->accept();
        return;
    default: break;
    }

    if (Navigation.AllowClipboardShortCuts) {
        if ((ctrl && key == Qt::Key_X) || (shift && !ctrl && key == Qt::Key_Delete)) {
            CutToClipboard();
            event->accept();
            return;
        }
        if ((ctrl && key == Qt::Key_V) || (shift && !ctrl && key == Qt::Key_Insert)) {
            PasteFromClipboard();
            event->accept();
            return;
        }
        if ((ctrl && key == Qt::Key_C) || (ctrl && !shift && key == Qt::Key_Insert)) {
            CopyToClipboard();
            event->accept();
            return;
        }
    }
    if (key == Qt::Key_Insert && !ctrl && !shift && Navigation.AllowInsertRow) {
        InsertRows(m_row, 1);
        if (OnAutoInsertRow)
            OnAutoInsertRow(this, m_row);
        event->accept();
        return;
    }
    if (key == Qt::Key_Delete && !ctrl && !shift && Navigation.AllowDeleteRow) {
        if (RowCount() - m_fixedRows - m_fixedFooters > 1) {
            const int old = m_row;
            RemoveRows(m_row, 1);
            if (old > lastSelectableRow()) {
                moveCurrent(m_col, lastSelectableRow(), false);
                if (OnAutoDeleteRow)
                    OnAutoDeleteRow(this, old);
            } else {
                cellSelected();
                if (OnAutoDeleteRow)
                    OnAutoDeleteRow(this, m_row);
            }
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Escape) {
        // Escape undoes an open edit only (the editor handles it); here there is nothing to
        // undo, and a dialog holding the grid may close.
        event->ignore();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (Navigation.AdvanceOnEnter) {
            advanceOnEnter();
            event->accept();
        } else if (canEditCurrent()) {
            openEditor(nullptr);
            event->accept();
        } else {
            event->ignore();
        }
        return;
    }
    if (key == Qt::Key_F2 && canEditCurrent()) {
        openEditor(nullptr);
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && !ctrl && !alt && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
    if (printable) {
        if (canEditCurrent())
            openEditor(&text);
        else
            typeAhead(event);
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TTextGrid::typeAhead(QKeyEvent* event)
{
    // The key, not the character it typed, in upper case: "m" and "M" both look for "M".
    const int key = event->key();
    const QString prefix = key >= 0x20 && key <= 0x7e ? QString(QChar(key)).toUpper() : event->text().left(1).toUpper();
    const int row = FindRowByPrefix(prefix);
    if (row >= 0)
        moveCurrent(m_col, row, false);
}

bool TTextGrid::advanceOnEnter()
{
    if (Navigation.AdvanceDirection == TAdvanceDirection::adLeftRight) {
        int col = m_col + 1;
        int row = m_row;
        if (col > lastSelectableCol()) {
            col = m_fixedCols;
            ++row;
        }
        if (row > lastSelectableRow()) {
            if (!Navigation.AdvanceInsert)
                return false;
            const int newRow = lastSelectableRow() + 1;
            InsertRows(newRow, 1);
            moveCurrent(col, newRow, false);
            if (OnAutoInsertRow)
                OnAutoInsertRow(this, newRow);
            return true;
        }
        moveCurrent(col, row, false);
        return true;
    }
    int col = m_col;
    int row = m_row + 1;
    if (row > lastSelectableRow()) {
        row = m_fixedRows;
        ++col;
    }
    if (col > lastSelectableCol()) {
        if (!Navigation.AdvanceInsert)
            return false;
        const int newCol = ColCount() - m_fixedRightCols;
        setColCount(ColCount() + 1);
        moveCurrent(newCol, row, false);
        if (OnAutoInsertCol)
            OnAutoInsertCol(this, newCol);
        return true;
    }
    moveCurrent(col, row, false);
    return true;
}

// --- focus and validation -----------------------------------------------------------------------

void TTextGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    // Focus coming back from our own editor or from another window is no new visit.
    if (!m_focusInside && !isWindowSwitch(event->reason()))
        setValidationBase();
    m_focusInside = true;
    viewport()->update();
}

void TTextGrid::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
    if (isWindowSwitch(event->reason()))
        return;
    QWidget* next = QApplication::focusWidget();
    if (next && m_editor && next == m_editor)
        return;
    m_focusInside = false;
    validateCell();
    setValidationBase();
}

void TTextGrid::setValidationBase()
{
    if (RowCount() <= 0 || ColCount() <= 0) {
        m_baseValid = false;
        return;
    }
    m_baseCol = DisplayToRealColumn(m_col);
    m_baseRow = m_row;
    m_baseText = m_cells.cell(m_baseCol, m_baseRow);
    m_baseValid = true;
}

void TTextGrid::validateCell()
{
    if (!m_baseValid || !OnCellValidate)
        return;
    if (m_baseRow >= RowCount() || m_baseCol >= RealColCount()) {
        m_baseValid = false;
        return;
    }
    const QString present = m_cells.cell(m_baseCol, m_baseRow);
    if (present == m_baseText)
        return;
    // The handler may open a message box and move the focus; that must not validate twice.
    m_baseValid = false;
    QString value = present;
    bool valid = true;
    OnCellValidate(this, m_baseCol, m_baseRow, value, valid);
    if (valid)
        m_cells.setCell(m_baseCol, m_baseRow, value);
    else
        m_cells.setCell(m_baseCol, m_baseRow, value != present ? value : m_baseText);
    viewport()->update();
}

// --- in-place editing ---------------------------------------------------------------------------

bool TTextGrid::canEditCurrent() const
{
    return (m_options & goEditing) && ColCount() > 0 && RowCount() > 0 && !isFixedCell(m_col, m_row);
}

void TTextGrid::setEditorMode(bool on)
{
    if (on)
        openEditor(nullptr);
    else
        closeEditor();
}

void TTextGrid::openEditor(const QString* typed)
{
    if (m_editing || !canEditCurrent())
        return;
    scrollIntoView();
    m_editReal = DisplayToRealColumn(m_col);
    m_editRow = m_row;
    m_editOriginal = m_cells.cell(m_editReal, m_editRow);
    const QString text = typed ? *typed : m_editOriginal;
    if (Multilinecells) {
        if (!m_textEditor) {
            m_textEditor = new QPlainTextEdit(viewport());
            m_textEditor->setObjectName(QStringLiteral("InplaceEdit"));
            m_textEditor->setFrameShape(QFrame::NoFrame);
            m_textEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            m_textEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            m_textEditor->setTabChangesFocus(true);
            m_textEditor->document()->setDocumentMargin(1);
            m_textEditor->installEventFilter(this);
            connect(m_textEditor, &QPlainTextEdit::textChanged, this, &TTextGrid::editorTextChanged);
        }
        if (m_lineEditor)
            m_lineEditor->hide();
        m_editor = m_textEditor;
        m_textEditor->setFont(font());
        QString shown = text;
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        m_textEditor->setPlainText(shown);
        if (typed)
            m_textEditor->moveCursor(QTextCursor::End);
        else
            m_textEditor->selectAll();
        m_editLines = int(shown.count(QLatin1Char('\n'))) + 1;
    } else {
        if (!m_lineEditor) {
            m_lineEditor = new QLineEdit(viewport());
            m_lineEditor->setObjectName(QStringLiteral("InplaceEdit"));
            m_lineEditor->setFrame(false);
            m_lineEditor->installEventFilter(this);
            connect(m_lineEditor, &QLineEdit::textChanged, this, &TTextGrid::editorTextChanged);
        }
        if (m_textEditor)
            m_textEditor->hide();
        m_editor = m_lineEditor;
        m_lineEditor->setFont(font());
        m_lineEditor->setText(text);
        if (typed)
            m_lineEditor->end(false);
        else
            m_lineEditor->selectAll();
        m_editLines = 1;
    }
    m_editing = true;
    placeEditor();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
    if (typed)
        editorTextChanged();
    viewport()->update();
}

void TTextGrid::closeEditor()
{
    if (!m_editing)
        return;
    m_editing = false;
    m_editOriginal.clear();
    // Focus first: hiding a focused editor would hand the focus to the next widget outside.
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    viewport()->update();
}

void TTextGrid::editorTextChanged()
{
    if (!m_editing)
        return;
    QString text;
    int lines = 1;
    if (m_editor == m_textEditor) {
        text = m_textEditor->toPlainText();
        lines = int(text.count(QLatin1Char('\n'))) + 1;
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    } else {
        text = m_lineEditor->text();
    }
    // The cell follows the editor at once, so what is drawn, fitted and validated is the typing.
    m_cells.setCell(m_editReal, m_editRow, text);
    if (SizeWhileTyping.Height && lines != m_editLines)
        setRowHeight(m_editRow, lines * QFontMetrics(font()).height() + 2);
    m_editLines = lines;
    if (SizeWhileTyping.Width) {
        const int k = m_map.realToDisplay(m_editReal);
        if (k >= 0)
            AutoSizeColumn(k);
    }
    placeEditor();
    viewport()->update();
}

void TTextGrid::placeEditor()
{
    if (!m_editing || !m_editor)
        return;
    const int k = m_map.realToDisplay(m_editReal);
    const QRect rect = k >= 0 ? cellRect(k, m_editRow) : QRect();
    // Scrolled out of view: park it outside rather than hide it, which would move the focus.
    m_editor->setGeometry(rect.isEmpty() ? QRect(-1000, -1000, 10, 10) : rect);
}

bool TTextGrid::editorKey(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        // Back to the text the cell had when this edit began; as the typing was, this is the
        // user's change, so the validation base stays.
        const int real = m_editReal;
        const int row = m_editRow;
        const QString original = m_editOriginal;
        closeEditor();
        m_cells.setCell(real, row, original);
        viewport()->update();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_editor == m_textEditor && (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
            m_textEditor->insertPlainText(QStringLiteral("\n"));
            return true;
        }
        closeEditor();
        if (Navigation.AdvanceOnEnter)
            advanceOnEnter();
        return true;
    }
    if (m_editor == m_lineEditor && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
        closeEditor();
        keyPressEvent(event);
        return true;
    }
    return false;
}

// --- events from the window, the editor and the application --------------------------------------

bool TTextGrid::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        watchWindow();
    return QAbstractScrollArea::event(event);
}

bool TTextGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize) {
        windowResized();
    } else if (m_editor && watched == m_editor) {
        if (event->type() == QEvent::KeyPress && m_editing) {
            if (editorKey(static_cast<QKeyEvent*>(event)))
                return true;
        } else if (event->type() == QEvent::FocusOut && m_editing) {
            const auto* focus = static_cast<QFocusEvent*>(event);
            QWidget* next = QApplication::focusWidget();
            if (!isWindowSwitch(focus->reason()) && next != this) {
                closeEditor();
                m_focusInside = false;
                validateCell();
                setValidationBase();
            }
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

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

void TTextGrid::showHint(THintInfo& info)
{
    if (info.HintControl != viewport() && info.HintControl != this)
        return;
    info.OwnWindow = true;
    const QPoint pos = info.HintControl == this ? viewport()->mapFrom(this, info.CursorPos) : info.CursorPos;
    const QPoint cell = cellAt(pos);
    if (!ShowHint || cell.x() < 0) {
        info.HintStr.clear();
        m_hintCell = QPoint(-1, -1);
        return;
    }
    info.HintColor = HintColor;
    QString hint = toolTip();
    if (OnGridHint)
        OnGridHint(this, cell.y(), cell.x(), hint);
    info.HintStr = hint;
    m_hintCell = cell;
    const QRect rect = cellRect(cell.x(), cell.y());
    info.HintPos = viewport()->mapToGlobal(QPoint(rect.left(), rect.top() + rect.height() + 6));
    info.HintPosSet = true;
}

} // namespace veltry
