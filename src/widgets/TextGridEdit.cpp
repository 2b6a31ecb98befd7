#include "widgets/TextGrid.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace veltry {

// --- validation -------------------------------------------------------------------------------

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

} // namespace veltry
