#include "history/fHistory.h"

#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "store/core/Task.h"
#include "widgets/TextGrid.h"

#include <QVBoxLayout>

namespace veltry {

TfrmTaskHistory::TfrmTaskHistory(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTaskHistory"));
    setWindowTitle(QStringLiteral("Task Log History"));
    TaskHistoryGrid = new TTextGrid(this);
    TaskHistoryGrid->setObjectName(QStringLiteral("TaskHistoryGrid"));
    TaskHistoryGrid->setColCount(HistCol::Count);
    TaskHistoryGrid->setRowCount(2);
    TaskHistoryGrid->setFixedCols(1);
    TaskHistoryGrid->setFixedRows(1);
    TaskHistoryGrid->setDefaultRowHeight(18);
    TaskHistoryGrid->setOptions(TTextGrid::goFixedVertLine | TTextGrid::goFixedHorzLine | TTextGrid::goVertLine
                                | TTextGrid::goHorzLine | TTextGrid::goColSizing | TTextGrid::goRangeSelect
                                | TTextGrid::goEditing);
    TaskHistoryGrid->Multilinecells = true;
    TaskHistoryGrid->setSortShow(true);
    for (int c = 1; c < HistCol::Count; ++c)
        TaskHistoryGrid->setColWidth(c, 20);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(TaskHistoryGrid);
    resize(480, 300);
}

void TfrmTaskHistory::SaveHistory()
{
    if (m_dataDirectory)
        TaskHistoryGrid->SaveToFile(m_dataDirectory() + kHistoryFileName);
}

void TfrmTaskHistory::FormDestroy()
{
    try {
        SaveHistory();
    } catch (const AppError& e) {
        MessageBox::showError(nullptr, e.message());
    }
}

} // namespace veltry
