#include "history/fHistory.h"

#include "platform/AppIcons.h"

#include "history/core/TaskLog.h"
#include "history/gridprev.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "store/core/DataFiles.h"
#include "store/core/Task.h"
#include "widgets/FlatBtn.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace veltry {

namespace {

QPixmap toolIcon(const char* name)
{
    return AppIcons::pixmap(QLatin1String(name), QSize(18, 18));
}

TFlatButton* makeToolButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                            const QPixmap& picture, int x)
{
    auto* b = new TFlatButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setOptions(TFlatButtonOption::boIconOnly | TFlatButtonOption::boPopupMark | TFlatButtonOption::boShowBevel);
    b->setCaption(caption);
    b->setHint(hint);
    b->setShowHint(true);
    b->setBitmap(picture);
    b->setGeometry(x, 3, 26, 24);
    // Tab stops after the grid and the notes, so the keyboard reaches every command.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// Notes are kept with CR LF between lines; the memo wants plain line feeds.
QString notesForMemo(QString notes)
{
    notes.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    notes.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return notes;
}

} // namespace

TfrmTaskHistory::TfrmTaskHistory(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTaskHistory"));
    setWindowTitle(QStringLiteral("Task Log History"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlToolbar = new QWidget(this);
    pnlToolbar->setObjectName(QStringLiteral("pnlToolbar"));
    pnlToolbar->setFixedHeight(30);
    btnClose = makeToolButton(pnlToolbar, "btnClose", QStringLiteral("&Close History"),
                              QStringLiteral("Close History"), toolIcon("exit"), 2);
    btnClear = makeToolButton(pnlToolbar, "btnClear", QStringLiteral("C&lear History"),
                              QStringLiteral("Clear History"), toolIcon("clear"), 30);
    btnPrintPreview = makeToolButton(pnlToolbar, "btnPrintPreview", QStringLiteral("Print Pre&view"),
                                     QStringLiteral("Print Preview"), toolIcon("printpreview"), 58);
    FlatButton2 = makeToolButton(pnlToolbar, "FlatButton2", QStringLiteral("&Print Task History"),
                                 QStringLiteral("Print Task History"), toolIcon("print"), 84);
    btnClose->setOnClick([this](TFlatButton*) { btnCloseClick(); });
    btnClear->setOnClick([this](TFlatButton*) { btnClearClick(); });
    layout->addWidget(pnlToolbar);

    TTextGrid* g = new TTextGrid(this);
    TaskHistoryGrid = g;
    g->setObjectName(QStringLiteral("TaskHistoryGrid"));
    g->setColCount(HistCol::Count);
    g->setRowCount(2);
    g->setFixedCols(1);
    g->setFixedRows(1);
    g->setDefaultRowHeight(18);
    g->setOptions(TTextGrid::goFixedVertLine | TTextGrid::goFixedHorzLine | TTextGrid::goVertLine
                  | TTextGrid::goHorzLine | TTextGrid::goColSizing | TTextGrid::goRangeSelect
                  | TTextGrid::goEditing);
    g->HintColor = QColor(255, 255, 0);
    g->EnhTextSize = false;
    g->SizeWithForm = false;
    g->Multilinecells = true;
    g->SortFixedCols = false;
    g->SortDirection = sdAscendingValue;
    g->setSortShow(true);
    g->setSortColumn(0);
    g->EnableGraphics = false;
    g->ScrollProportional = false;
    g->Navigation = TNavigation{};
    g->ColumnSize.Save = false;
    g->setAccessibleName(QStringLiteral("Task Log History"));
    for (int c = 1; c < HistCol::Count; ++c)
        g->setColWidth(c, 20);
    g->setAutoSize(true);
    g->OnClickSort = [this](TTextGrid*, int) { TaskHistoryGridClickSort(); };
    g->OnClickCell = [this](TTextGrid*, int, int) { TaskHistoryGridClick(); };
    // Moving with the keys shows the notes of the new row as a click does.
    connect(g, &TTextGrid::currentCellChanged, this, [this](int, int) { TaskHistoryGridClick(); });
    layout->addWidget(g, 1);

    lblNotes = new QLabel(QStringLiteral("Notes"), this);
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setFixedHeight(20);
    lblNotes->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblNotes->setFrameShape(QFrame::NoFrame);
    lblNotes->setIndent(2);
    layout->addWidget(lblNotes);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFixedHeight(68);
    // It shows the selected entry's notes; text typed there would be thrown away unseen.
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(QStringLiteral("Notes"));
    layout->addWidget(Memo1);
    setTabOrder(g, Memo1);
    setTabOrder(Memo1, btnClose);
    setTabOrder(btnClose, btnClear);
    setTabOrder(btnClear, btnPrintPreview);
    setTabOrder(btnPrintPreview, FlatButton2);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    auto* panel = new QLabel(StatusBar1);
    panel->setObjectName(QStringLiteral("StatusPanel0"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setMinimumWidth(50);
    StatusBar1->addWidget(panel, 1);
    statusPanels[0] = panel;
    layout->addWidget(StatusBar1);

    setupPrinting();

    resize(kDesignedSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    FormCreate();
}

void TfrmTaskHistory::FormCreate()
{
    setTitlesAndWidths();
    TaskHistoryGrid->NumberRows(HistCol::Number);
}

void TfrmTaskHistory::FormActivate()
{
    if (m_alarmTimer)
        m_alarmTimer->stop();
    ensureHistoryShape();
    setTitlesAndWidths();
    TaskHistoryGrid->NumberRows(HistCol::Number);
    TaskHistoryGridClick();  // the notes of the entry selected as the window opens
}

bool TfrmTaskHistory::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TfrmTaskHistory::setTitlesAndWidths()
{
    TTextGrid* g = TaskHistoryGrid;
    static const QString titles[HistCol::Count] = {
        QString(), QStringLiteral("Task"), QStringLiteral("Due Date"), QStringLiteral("Log Date"),
        QStringLiteral("Category"), QStringLiteral("Notes"), QStringLiteral("Create Date")};
    g->setColWidth(HistCol::Number, 20);
    for (int c = HistCol::Task; c < HistCol::Count; ++c)
        g->setCells(c, 0, titles[c]);
    g->setColWidth(HistCol::DueDate, 60);
    g->setColWidth(HistCol::LogDate, 60);
    g->setColWidth(HistCol::Category, 50);
    g->setColWidth(HistCol::Notes, 297);
    g->setColWidth(HistCol::CreateDate, 70);
    // Before the window is first shown its layout has not placed the grid yet.
    if (!isVisible() && layout())
        layout()->activate();
    // Columns 0 to 4 fill the visible width; Notes and Create Date lie beyond, reached by scrolling.
    g->setColWidth(HistCol::Task, std::max(0, g->width() - 9 - g->ColWidth(HistCol::Number)
                                                  - g->ColWidth(HistCol::DueDate) - g->ColWidth(HistCol::LogDate)
                                                  - g->ColWidth(HistCol::Category)));
}

void TfrmTaskHistory::ensureHistoryShape()
{
    TTextGrid* g = TaskHistoryGrid;
    if (g->RealColCount() < HistCol::Count)
        g->setColCount(HistCol::Count - g->columnMap().hiddenCount());
    if (g->RowCount() < 2)
        g->setRowCount(2);
}

void TfrmTaskHistory::UpdateHistoryCount()
{
    statusPanels[0]->setText(historyCountText(TaskHistoryGrid->cellStore()));
}

void TfrmTaskHistory::btnCloseClick()
{
    close();
}

void TfrmTaskHistory::btnClearClick()
{
    if (!m_noConfirmations
        && MessageBox::show(this, MessageBox::Kind::Information,
                            QStringLiteral("Are you sure you want to clear your entire history list?"),
                            QMessageBox::Ok | QMessageBox::Cancel)
               != QMessageBox::Ok)
        return;
    TaskHistoryGrid->ClearAllCells();
    TaskHistoryGrid->setRowCount(2);
    Memo1->clear();
    // The emptied history goes to disk now, like every other change the user confirmed.
    saveReportingFailure();
}

void TfrmTaskHistory::setupPrinting()
{
    TPrintsettings& ps = TaskHistoryGrid->PrintSettings;
    ps.Time = ppBottomRight;
    ps.Date = ppBottomLeft;
    ps.PageNr = ppNone;
    ps.Title = ppTopCenter;
    ps.TitleText = QStringLiteral("Veltry: Task History");
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(17);
    ps.Font = font;
    ps.FontColor = QColor(0, 0, 0);
    ps.Borders = pbNoborder;
    btnPrintPreview->setOnClick([this](TFlatButton*) { btnPrintPreviewClick(); });
    FlatButton2->setOnClick([this](TFlatButton*) { btnPrintClick(); });
}

void TfrmTaskHistory::PrintHistory(bool print)
{
    QString failure;
    QString notice;  // the job went through but waits, for one
    {
        TGridPrintScope scope(*TaskHistoryGrid, {HistCol::Notes});
        TaskHistoryGrid->PrintSettings.TitleText = QStringLiteral("Veltry: Task History");
        if (print) {
            try {
                TGridPrint job(*TaskHistoryGrid);
                job.Print(Printer());
                notice = job.Notice();
            } catch (const AppError& e) {
                failure = e.message();
            }
        } else {
            // The alarm timer stays as this window keeps it: stopped while it is active.
            TPagePreview preview(this, TaskHistoryGrid);
            preview.setAlarmTimer(m_alarmTimer);
            preview.exec();
        }
    }
    if (!failure.isEmpty())
        MessageBox::showError(this, failure);
    if (!notice.isEmpty())
        MessageBox::show(this, MessageBox::Kind::Plain, notice);
}

void TfrmTaskHistory::btnPrintClick()
{
    PrintHistory(true);
}

void TfrmTaskHistory::btnPrintPreviewClick()
{
    PrintHistory(false);
}

void TfrmTaskHistory::TaskHistoryGridClick()
{
    const int top = TaskHistoryGrid->Selection().top();
    Memo1->setPlainText(notesForMemo(TaskHistoryGrid->Cells(HistCol::Notes, top)));
}

void TfrmTaskHistory::TaskHistoryGridClickSort()
{
    TaskHistoryGrid->NumberRows(HistCol::Number);
}

void TfrmTaskHistory::freezeDataDirectory()
{
    if (m_dataDirectory)
        m_dataDirectory = [dir = m_dataDirectory()] { return dir; };
}

void TfrmTaskHistory::SaveHistory()
{
    if (!m_dataDirectory)
        return;
    if (m_saver)
        m_saver(m_dataDirectory());
    else
        TaskHistoryGrid->SaveToFile(m_dataDirectory() + kHistoryFileName);
    if (m_onSaved)
        m_onSaved();
}

bool TfrmTaskHistory::saveReportingFailure()
{
    try {
        SaveHistory();
        return true;
    } catch (const AppError& e) {
        MessageBox::showError(this, e.message());
        return false;
    }
}

void TfrmTaskHistory::FormDestroy()
{
    m_onSaved = nullptr;
    try {
        SaveHistory();
    } catch (const AppError& e) {
        // The program ends: the history goes to a file of its own or is lost.
        const QString copy = saveUnsavedCopy(TaskHistoryGrid->cellStore(), kHistoryFileName, Clock::instance().now());
        MessageBox::showError(this, e.message()
                                        + (copy.isEmpty()
                                               ? QStringLiteral("\n\nThe history could not be written to any other "
                                                                "file either; the entries since the last save are lost.")
                                               : QStringLiteral("\n\nThe history was written to \"%1\" instead.").arg(copy)));
    }
}

} // namespace veltry
