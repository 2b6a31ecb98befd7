// The one-use windows the task window opens: help, printing and its set-up, about, import,
// export, advanced sort and find.

#include "app/fToDo.h"
#include "app/fToDo_p.h"

#include "platform/AppIcons.h"
#include "app/HelpViewer.h"
#include "app/fAbout.h"
#include "platform/core/Version.h"
#include "config/fhotkeys.h"
#include "editing/fAddTask.h"
#include "widgets/FlatBtn.h"
#include "widgets/GradCap.h"

#include "alarms/core/AlarmScheduler.h"
#include "alarms/fRemind.h"
#include "config/fPrefs2.h"
#include "history/fAdvSort.h"
#include "history/fFind.h"
#include "history/fHistory.h"
#include "history/TaskLogGrid.h"
#include "history/gridprev.h"
#include "store/fExport.h"
#include "store/fImport.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "platform/core/Autostart.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DataPaths.h"
#include "platform/core/FileSafety.h"
#include "platform/core/LocaleFormats.h"
#include "platform/core/ScreenFit.h"
#include "store/core/SharedList.h"
#include "store/core/Task.h"
#include "sync/TaskListSync.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"
#include "widgets/TextGridAccessible.h"
#include "widgets/core/GridFile.h"
#include "app/core/TaskUndo.h"
#include "store/core/TaskOrder.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QSet>
#include <QMenuBar>
#include <QShortcut>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLayout>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace veltry {

HelpViewer* TfrmToDo::showHelp(const QString& page)
{
    if (!m_helpViewer)
        m_helpViewer = new HelpViewer(this);
    m_helpViewer->showPage(page.isEmpty() ? HelpViewer::kContents : page);
    return m_helpViewer;
}

void TfrmToDo::HelpTopics1Click()
{
    showHelp(HelpViewer::kContents);
}

void TfrmToDo::setupPrinting()
{
    TPrintsettings& ps = TaskGrid->PrintSettings;
    ps.Time = ppBottomLeft;
    ps.Date = ppBottomLeft;
    ps.PageNr = ppNone;
    ps.Title = ppTopCenter;
    ps.TitleText = QStringLiteral("Veltry v1.06: Task List");  // replaced before every print
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    ps.Font = font;
    ps.FontColor = QColor(0, 0, 0);
    ps.Borders = pbSingle;
    ps.HeaderSize = 50;
    ps.FooterSize = 50;
    ps.LeftSize = 50;
    ps.RightSize = 50;
    ps.ColumnSpacing = 15;

    connect(mnuFilePrinterSetup, &QAction::triggered, this, &TfrmToDo::mnuFilePrinterSetupClick);
    connect(mnuFilePrintPreview, &QAction::triggered, this, &TfrmToDo::mnuFilePrintPreviewClick);
    connect(mnuFilePrint, &QAction::triggered, this, &TfrmToDo::mnuFilePrintClick);
}

void TfrmToDo::PrintTaskList(bool print)
{
    QString failure;
    QString notice;  // the job went through but waits, for one
    {
        // Status, category and priority stay off the paper; the columns after them are always hidden.
        TGridPrintScope scope(*TaskGrid, {TaskCol::Mark, TaskCol::Category, TaskCol::Priority});
        TaskGrid->PrintSettings.TitleText
            = QStringLiteral("Veltry ") + QLatin1String(kVersionText) + QStringLiteral(": Task List");
        if (print) {
            try {
                TGridPrint job(*TaskGrid);
                job.Print(Printer());
                notice = job.Notice();
            } catch (const AppError& e) {
                failure = e.message();
            }
        } else {
            TPagePreview preview(this, TaskGrid);
            preview.setAlarmTimer(Timer1);
            stopTimerForModal();
            preview.exec();
            restartTimerAfterModal();
        }
    }
    // Told once the grid is back as it was.
    if (!failure.isEmpty())
        MessageBox::showError(this, failure);
    if (!notice.isEmpty())
        MessageBox::show(this, MessageBox::Kind::Plain, notice);
}

void TfrmToDo::mnuFilePrintClick()
{
    PrintTaskList(true);
}

void TfrmToDo::mnuFilePrintPreviewClick()
{
    PrintTaskList(false);
}

void TfrmToDo::mnuFilePrinterSetupClick()
{
    // Alarms may ring while the dialog is open, as with the other system dialogs.
    QPrintDialog PrintDialog1(&Printer(), this);
    PrintDialog1.exec();
}

void TfrmToDo::Help1Click()
{
    stopTimerForModal();
    {
        TfrmHotKeys sheet(this, Timer1);
        sheet.exec();
    }
    restartTimerAfterModal();
}

void TfrmToDo::mnuHelpAboutClick()
{
    stopTimerForModal();
    bool wantsHelp = false;
    {
        TfrmAbout about(this);
        about.exec();
        wantsHelp = about.helpRequested();
    }
    restartTimerAfterModal();
    if (wantsHelp)
        showHelp(HelpViewer::kContents);
}

// --- import and export ------------------------------------------------------------------------

void TfrmToDo::connectImportExport()
{
    connect(Import1, &QAction::triggered, this, &TfrmToDo::Import1Click);
    connect(mnuExport, &QAction::triggered, this, &TfrmToDo::mnuExportClick);
}

void TfrmToDo::Import1Click()
{
    m_rowsBeforeImport = TaskGrid->RowCount();
    m_emptyBeforeImport = isTaskListEmpty();
    TfrmImport dialog(TaskGrid, [this] { tasksImported(); }, this);
    dialog.exec();
}

void TfrmToDo::tasksImported()
{
    // The imported tasks come in at the top; the rows that were there follow unchanged, except
    // an empty list's blank row, which the tasks take.
    TaskListStep step;
    step.text = QStringLiteral("Import");
    const int added = m_emptyBeforeImport ? TaskGrid->RowCount() - 1 : TaskGrid->RowCount() - m_rowsBeforeImport;
    if (!isTaskListEmpty())
        for (int r = 1; r <= added && r < TaskGrid->RowCount(); ++r)
            step.tasks.added(TaskGrid->cellStore(), r);
    pushStep(std::move(step));
    attachTaskImages();
    UpdateTaskCount();
    UpdateChecked();
    SaveTaskList();
    RecordFileTimes();
}

void TfrmToDo::mnuExportClick()
{
    TfrmExport dialog(TaskGrid, dataDirectory() + kTaskListFileName, this);
    dialog.exec();
    if (dialog.uidsGiven())
        SaveTaskList();
}

// --- advanced sort and find ------------------------------------------------------------------

void TfrmToDo::connectSortAndFind()
{
    btnAdvSort->setOnClick([this](TFlatButton*) { btnAdvSortClick(); });
    btnFind->setOnClick([this](TFlatButton*) { btnFindClick(); });
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, [this] { FindNext(false); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(previous, &QShortcut::activated, this, [this] { FindNext(true); });
}

void TfrmToDo::btnAdvSortClick()
{
    AdvancedSortChoice choice;
    {
        TfrmAdvSort dialog(m_sortKeys, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        choice = dialog.choice();
    }
    // Used once: the dialog opens on the kept choices again next time.
    AdvancedSortTaskGrid(TaskGrid, choice);
}

void TfrmToDo::btnFindClick()
{
    TfrmFind dialog(TaskGrid, this);
    if (dialog.exec() == QDialog::Accepted)
        m_findText = dialog.edtFind->text();
    // Space and Delete go on with the task found.
    UpdateChecked();
    TaskGrid->setFocus(Qt::OtherFocusReason);
}

void TfrmToDo::FindNext(bool up)
{
    if (m_findText.isEmpty()) {
        btnFindClick();
        return;
    }
    const GridCellPos found = TaskGrid->FindFrom(m_findText, 0, up);
    if (found.isValid()) {
        TaskGrid->setCurrentCell(found.col, found.row);
        UpdateChecked();
        return;
    }
    MessageBox::show(this, MessageBox::Kind::Information,
                     QStringLiteral("The text \"") + m_findText + QStringLiteral("\" was not found"));
}

} // namespace veltry
