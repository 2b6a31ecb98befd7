#pragma once

#include "widgets/ImageList.h"
#include "widgets/PrintSettings.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/ColumnMap.h"
#include "widgets/core/GridSearch.h"
#include "widgets/core/GridSort.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QScopeGuard>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

class QLineEdit;
class QPlainTextEdit;
class QFontMetrics;
class QPainter;

namespace veltry {

struct THintInfo;

enum TSortDirectionValue : quint8 { sdAscendingValue = 0, sdDescendingValue = 1 };

// Draw state of a cell, as passed to the colour callbacks.
enum TGridDrawStateFlag : quint8 { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = quint8;

enum class TAdvanceDirection : quint8 { adLeftRight, adTopBottom };

// The font a cell is drawn in, with the text colour that a plain font does not carry. Handlers
// written for a QFont& still bind to it.
struct TCellFont : QFont
{
    TCellFont() = default;
    TCellFont(const QFont& font, const QColor& color) : QFont(font), Color(color) {}
    QColor Color;
};

struct TNavigation
{
    bool AllowInsertRow = false;
    bool AllowDeleteRow = false;
    bool AdvanceOnEnter = false;
    bool AdvanceInsert = false;
    bool AllowClipboardShortCuts = false;
    TAdvanceDirection AdvanceDirection = TAdvanceDirection::adLeftRight;
};

struct TColumnSize
{
    bool Save = false;
    QString Key;
    QString Section;
    bool Stretch = false;
};

struct TSizeWhileTyping
{
    bool Height = false;
    bool Width = false;
};

// Where the parts of one cell go when it is drawn (viewport coordinates).
struct TCellLayout
{
    QRect cell;
    QRect textBox;
    Qt::Alignment alignment = Qt::AlignLeft;
    QStringList lines;        // the texts as shown, shortened where needed
    QList<QRect> lineRects;   // one per shown line
    int lineHeight = 0;
    int textWidth = 0;        // widest shown line
    bool arrow = false;
    bool arrowUp = true;
    QPoint arrowCentre;
    bool image = false;
    int imageIndex = -1;
    QRect imageRect;
    TGridDrawState state = 0;
    QColor brush;
    TCellFont font;
};

// The text grid of both lists: rows by real columns of texts, some columns hidden without losing
// their cells, small pictures in cells, whole-row operations, the grid file, sorting by a click
// on a title, per-cell hints, fitted and remembered column widths, keys, clipboard and editing.
class TTextGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum Option : quint32 {
        goFixedVertLine = 1 << 0,
        goFixedHorzLine = 1 << 1,
        goVertLine = 1 << 2,
        goHorzLine = 1 << 3,
        goRangeSelect = 1 << 4,
        goColSizing = 1 << 5,
        goEditing = 1 << 6,
        goRowSelect = 1 << 7,
    };

    // Clicks this close to a column edge belong to column sizing, not to sorting.
    static constexpr int kSizingZone = 4;

    explicit TTextGrid(QWidget* parent = nullptr);
    ~TTextGrid() override;

    // --- dimensions (ColCount counts display columns) ---
    int ColCount() const { return m_cells.columnCount() - m_map.hiddenCount(); }
    void setColCount(int n);
    int RowCount() const { return m_cells.rowCount(); }
    void setRowCount(int n);
    int RealColCount() const { return m_cells.columnCount(); }
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int n);
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int n);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int h);
    int DefaultColWidth() const { return m_defaultColWidth; }
    int ColWidth(int displayCol) const;
    void setColWidth(int displayCol, int width);
    int RowHeight(int row) const;
    void setRowHeight(int row, int height);
    quint32 Options() const { return m_options; }
    void setOptions(quint32 options);

    // --- cells (real columns) ---
    QString Cells(int col, int row) const { return m_cells.cell(col, row); }
    void setCells(int col, int row, const QString& text);
    const CellStore& cellStore() const { return m_cells; }
    // Takes `cells` as the grid's whole content (a list read from a file), keeping the hidden
    // columns, the current cell, the widths and the scroll range consistent with it.
    void replaceCells(CellStore&& cells);
    // Runs `edit` on the cell store for program changes made in place (the alarm pass, orderings
    // of its own). The grid's bookkeeping follows only when the store really changed, so a pass
    // that changes nothing costs nothing more.
    template <class F>
    void editCells(F&& edit)
    {
        const quint64 before = m_cells.generation();
        const auto after = qScopeGuard([this, before] {
            if (m_cells.generation() != before)
                storeChanged();
        });
        std::forward<F>(edit)(m_cells);
    }
    const ColumnMap& columnMap() const { return m_map; }

    // --- current cell (display column, row) and selection ---
    int Col() const { return m_col; }
    int Row() const { return m_row; }
    void setCol(int col) { setCurrentCell(col, m_row); }
    void setRow(int row) { setCurrentCell(m_col, row); }
    void setCurrentCell(int displayCol, int row);
    int TopRow() const { return m_topRow; }
    void setTopRow(int row);
    int LeftCol() const { return m_leftCol; }
    void setLeftCol(int displayCol);
    // Scrolls the current cell into view (the wheel scrolls without moving it).
    void scrollIntoView();
    // The selected block as display columns (x) by rows (y); the current cell alone unless a
    // range was selected.
    QRect Selection() const;
    void setSelection(const QRect& block);

    // --- hidden columns ---
    void HideColumn(int realCol);
    void UnhideColumn(int realCol);
    bool IsHiddenColumn(int realCol) const { return m_map.isHidden(realCol); }
    int DisplayToRealColumn(int displayCol) const { return m_map.displayToReal(displayCol); }

    // --- pictures in cells ---
    TImageList* GridImages() const { return m_images; }
    void setGridImages(TImageList* images);
    void SetCellImage(int col, int row, int index, int horizontal, int vertical);
    void RemoveCellImage(int col, int row);
    void RemoveCellGraphic(int col, int row) { RemoveCellImage(col, row); }

    // --- row operations (all real columns) ---
    void InsertRows(int row, int count);
    void RemoveRows(int row, int count);
    void ClearRows(int row, int count);
    void ClearAllCells();
    void SwapRows(int a, int b);
    void NumberRows(int col);

    // --- sorting and search ---
    // Sorts the normal rows on SortColumn in SortDirection; the current row follows its row.
    void SortRows();
    GridCellPos FindFirst(const QString& text, int options);
    GridCellPos FindNext();
    // Searches onwards from the current cell (downwards, or with `up` upwards).
    GridCellPos FindFrom(const QString& text, int options, bool up);
    int FindRowByPrefix(const QString& text) const;

    // --- the grid file; both throw AppError ---
    void SaveToFile(const QString& path) const;
    void LoadFromFile(const QString& path);

    // --- column widths ---
    void AutoSizeColumn(int displayCol);
    void AutoSizeColumns(bool includeFixed, int extraWidth);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    // Reads the widths kept under ColumnSize, by real column; the window calls it once it has
    // set the grid up. Returns whether the store held any.
    bool loadColumnWidths();
    // Writes them, by real column; the destructor does this too.
    void saveColumnWidths() const;
    // Width of a cell text (stored UTF-8): its widest line, measured in `fm`. Lines too long to
    // measure whole count with an upper bound of their width.
    static int cellTextWidth(QByteArrayView utf8, const QFontMetrics& fm);
    // `text` cut at its end and followed by "..." so that it fits `width`; empty when not even
    // that fits. `cutFromLonger`: `text` is the start of a longer line, so it never fits whole.
    static QString shortenText(const QString& text, int width, const QFontMetrics& fm, bool cutFromLonger = false);
    // Column widths never exceed this, so the sums of all widths stay far from overflowing.
    static constexpr int kMaxColWidth = 1 << 20;

    // --- clipboard ---
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();

    // --- editing ---
    bool EditorMode() const { return m_editor != nullptr && m_editing; }
    void setEditorMode(bool on);
    QWidget* inplaceEditor() const { return m_editing ? m_editor : nullptr; }

    // --- hints ---
    // The cell whose hint shows, as (display column, row); (-1, -1) when none.
    QPoint HintCell() const { return m_hintCell; }

    // --- sort state and display switches ---
    int SortColumn() const { return m_sortColumn; }
    void setSortColumn(int realCol);
    quint8 SortDirection = sdAscendingValue;
    bool SortShow() const { return m_sortShow; }
    void setSortShow(bool on);
    bool SortFixedCols = false;
    bool Multilinecells = false;
    bool EnhTextSize = false;
    bool EnableGraphics = false;
    bool SizeWithForm = false;
    bool ScrollProportional = false;
    bool ShowHint = true;
    QColor HintColor = QColor(255, 255, 0);
    int FixedFooters() const { return m_fixedFooters; }
    void setFixedFooters(int n);
    int FixedRightCols() const { return m_fixedRightCols; }
    void setFixedRightCols(int n);

    TNavigation Navigation;
    TColumnSize ColumnSize;
    TSizeWhileTyping SizeWhileTyping;
    TPrintsettings PrintSettings;

    // --- events; the first argument is the sender, references may be changed ---
    std::function<void(TTextGrid*, int ARow, int ACol, TGridDrawState AState, QColor& ABrush, TCellFont& AFont)> OnGetCellColor;
    std::function<void(TTextGrid*, int ARow, int ACol, TGridDrawState AState, QColor& ABrush, TCellFont& AFont)> OnGetCellPrintColor;
    std::function<void(TTextGrid*, int ARow, int ACol, Qt::Alignment& AAlignment)> OnGetAlignment;
    std::function<void(TTextGrid*, int ACol, quint8& AStyle)> OnGetFormat;
    std::function<void(TTextGrid*, int ARow, int ACol, QString& hintstr)> OnGridHint;
    std::function<void(TTextGrid*, int aCol)> OnClickSort;
    // Orders the rows of a title click in place of the grid's own sort when it returns true;
    // `currentRow` follows its row. SortRows() called by the program never asks.
    std::function<bool(TTextGrid*, CellStore& cells, const SortRequest& request, int& currentRow)> OnTitleClickSort;
    std::function<void(TTextGrid*, int aCol, bool& dosort)> OnCanSort;
    std::function<void(TTextGrid*, int ARow, int ACol)> OnClickCell;
    std::function<void(TTextGrid*, int ARow, int ACol)> OnDblClickCell;
    std::function<void(TTextGrid*, int ARow, int ACol, bool& canedit)> OnCanEditCell;
    // Col is the real column of the edited cell.
    std::function<void(TTextGrid*, int Col, int Row, QString& Value, bool& Valid)> OnCellValidate;
    std::function<void(TTextGrid*, int ARow)> OnAutoInsertRow;
    std::function<void(TTextGrid*, int ARow)> OnAutoDeleteRow;
    std::function<void(TTextGrid*, int ACol)> OnAutoInsertCol;
    // Raised by the print engine before the first row (pagenr 0) and after every page it ejects.
    std::function<void(TTextGrid*, QPainter* Canvas, int pagenr, int pagexsize, int pageysize)> OnPrintPage;

    // --- geometry (viewport coordinates) ---
    // The cell under a point as (display column, row); (-1, -1) outside the cells.
    QPoint cellAt(const QPoint& pos) const;
    QRect cellRect(int displayCol, int row) const;
    int visibleRowCount() const;
    int visibleColCount() const;
    // How the cell would be drawn now; empty cell rectangle when it is scrolled out of view.
    TCellLayout cellLayout(int displayCol, int row) const;

Q_SIGNALS:
    void currentCellChanged(int displayCol, int row);
    void cellsChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    TGridDrawState cellState(int displayCol, int row) const;
    bool isFixedCell(int displayCol, int row) const;
    TCellLayout layoutCell(int displayCol, int row, const QRect& rect) const;
    virtual void drawCell(QPainter& painter, const TCellLayout& layout);
    int columnLeft(int displayCol) const;
    int rowTop(int row) const;
    void updateScrollBars();
    void columnsChanged();
    void widthsChanged();
    int resizeHandleAt(const QPoint& pos) const;

    CellStore m_cells;
    ColumnMap m_map;
    std::vector<int> m_realWidths;  // by real column, hidden ones included
    std::vector<int> m_colWidths;   // the same by display column, rebuilt from m_realWidths
    std::map<int, int> m_rowHeights;
    TImageList* m_images = nullptr;
    int m_fixedCols = 0;
    int m_fixedRows = 1;
    int m_defaultRowHeight = 24;
    int m_defaultColWidth = 64;
    quint32 m_options = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
    int m_col = 0;
    int m_row = 1;
    int m_anchorCol = 0;
    int m_anchorRow = 1;
    int m_topRow = 1;
    int m_leftCol = 0;
    int m_sortColumn = 0;
    bool m_sortShow = false;
    int m_fixedFooters = 0;
    int m_fixedRightCols = 0;
    int m_sizingColumn = -1;
    int m_sizingStartX = 0;
    int m_sizingStartWidth = 0;

private:
    void moveCurrent(int displayCol, int row, bool extend);
    void cellSelected();
    int lastSelectableRow() const { return RowCount() - 1 - m_fixedFooters; }
    int lastSelectableCol() const { return ColCount() - 1 - m_fixedRightCols; }
    void applyStretch();
    void syncDisplayWidths();
    void rowsMoved();
    void storeChanged();
    void cellsWritten(int realCol, int firstRow, int lastRow);
    void titleClick(const QPoint& cell, const QPoint& pos);
    void sortRows(bool titleClick);
    bool advanceOnEnter();
    void typeAhead(QKeyEvent* event);
    bool canEditCurrent() const;
    void openEditor(const QString* typed);
    void closeEditor();
    void editorTextChanged();
    void placeEditor();
    bool editorKey(QKeyEvent* event);
    void setValidationBase();
    void validateCell();
    void showHint(THintInfo& info);
    void watchWindow();
    void windowResized();
    bool managedByLayout() const;

    bool m_autoSize = false;
    bool m_inStretch = false;
    bool m_pressSorted = false;
    QPoint m_hintCell{-1, -1};
    const void* m_prevHintOwner = nullptr;
    std::function<void(THintInfo&)> m_prevHintHandler;
    QPointer<QWidget> m_window;
    QSize m_windowSize;
    QString m_editOriginal;  // the edited cell's text when the open edit began, for Escape
    bool m_focusInside = false;  // the grid or its editor has the focus
    bool m_baseValid = false;
    int m_baseCol = -1;     // real column
    int m_baseRow = -1;
    QString m_baseText;
    QWidget* m_editor = nullptr;
    QLineEdit* m_lineEditor = nullptr;
    QPlainTextEdit* m_textEditor = nullptr;
    bool m_editing = false;
    bool m_forwardingKey = false;
    int m_editReal = -1;
    int m_editRow = -1;
    int m_editLines = 1;
    GridSearch m_search;
};

} // namespace veltry
