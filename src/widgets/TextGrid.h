#pragma once

#include "widgets/ImageList.h"
#include "widgets/core/CellStore.h"
#include "widgets/core/ColumnMap.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <functional>
#include <map>
#include <vector>

namespace veltry {

enum TSortDirectionValue : quint8 { sdAscendingValue = 0, sdDescendingValue = 1 };

// Draw state of a cell, as passed to the colour callbacks.
enum TGridDrawStateFlag : quint8 { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = quint8;

enum class TAdvanceDirection : quint8 { adLeftRight, adTopBottom };

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

struct TPrintsettings
{
    QString PagePrefix = QStringLiteral("page");
    QFont Font;
};

// The text grid of both lists: rows by real columns of texts, some columns hidden without losing
// their cells, small pictures in cells, whole-row operations, and the grid file.
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
    CellStore& cellStore() { return m_cells; }
    const CellStore& cellStore() const { return m_cells; }
    const ColumnMap& columnMap() const { return m_map; }

    // --- current cell (display column, row) ---
    int Col() const { return m_col; }
    int Row() const { return m_row; }
    void setCol(int col) { setCurrentCell(col, m_row); }
    void setRow(int row) { setCurrentCell(m_col, row); }
    void setCurrentCell(int displayCol, int row);
    int TopRow() const { return m_topRow; }
    void setTopRow(int row);

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

    // --- the grid file; both throw AppError ---
    void SaveToFile(const QString& path) const;
    void LoadFromFile(const QString& path);

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
    std::function<void(TTextGrid*, int ARow, int ACol, TGridDrawState AState, QColor& ABrush, QFont& AFont)> OnGetCellColor;
    std::function<void(TTextGrid*, int ARow, int ACol, TGridDrawState AState, QColor& ABrush, QFont& AFont)> OnGetCellPrintColor;
    std::function<void(TTextGrid*, int ARow, int ACol, Qt::Alignment& AAlignment)> OnGetAlignment;
    std::function<void(TTextGrid*, int ACol, quint8& AStyle)> OnGetFormat;
    std::function<void(TTextGrid*, int ARow, int ACol, QString& hintstr)> OnGridHint;
    std::function<void(TTextGrid*, int aCol)> OnClickSort;
    std::function<void(TTextGrid*, int aCol, bool& dosort)> OnCanSort;
    std::function<void(TTextGrid*, int ARow, int ACol)> OnClickCell;
    std::function<void(TTextGrid*, int ARow, int ACol)> OnDblClickCell;
    std::function<void(TTextGrid*, int ARow, int ACol, bool& canedit)> OnCanEditCell;
    std::function<void(TTextGrid*, int Col, int Row, QString& Value, bool& Valid)> OnCellValidate;
    std::function<void(TTextGrid*, int ARow)> OnAutoInsertRow;
    std::function<void(TTextGrid*, int ARow)> OnAutoDeleteRow;
    std::function<void(TTextGrid*, int ACol)> OnAutoInsertCol;

    // --- geometry (viewport coordinates) ---
    // The cell under a point as (display column, row); (-1, -1) outside the cells.
    QPoint cellAt(const QPoint& pos) const;
    QRect cellRect(int displayCol, int row) const;
    int visibleRowCount() const;

Q_SIGNALS:
    void currentCellChanged(int displayCol, int row);
    void cellsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    // Drawing of one cell; the display side refines it.
    virtual void drawCell(QPainter& painter, int displayCol, int row, const QRect& rect, TGridDrawState state);
    int columnLeft(int displayCol) const;
    int rowTop(int row) const;
    void updateScrollBars();
    void columnsChanged();
    int resizeHandleAt(const QPoint& pos) const;

    CellStore m_cells;
    ColumnMap m_map;
    std::vector<int> m_colWidths;
    std::map<int, int> m_rowHeights;
    TImageList* m_images = nullptr;
    int m_fixedCols = 0;
    int m_fixedRows = 1;
    int m_defaultRowHeight = 24;
    int m_defaultColWidth = 64;
    quint32 m_options = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
    int m_col = 0;
    int m_row = 1;
    int m_topRow = 1;
    int m_leftCol = 0;
    int m_sortColumn = 0;
    bool m_sortShow = false;
    int m_fixedFooters = 0;
    int m_fixedRightCols = 0;
    int m_sizingColumn = -1;
    int m_sizingStartX = 0;
    int m_sizingStartWidth = 0;
};

} // namespace veltry
