#include "widgets/TextGrid.h"

#include "widgets/GridHint.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace veltry {

namespace {

bool isWindowSwitch(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

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
    sortRows(true);
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

// --- focus ------------------------------------------------------------------------------------

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

// --- hints ------------------------------------------------------------------------------------

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
