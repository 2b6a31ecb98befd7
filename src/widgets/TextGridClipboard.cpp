#include "widgets/TextGrid.h"

#include <QClipboard>
#include <QGuiApplication>

namespace veltry {

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

} // namespace veltry
