#include "app/fToDo.h"

#include "config/fPrefs2.h"
#include "history/fHistory.h"
#include "history/TaskLogGrid.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/core/ConfigStore.h"
#include "platform/core/DataPaths.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "tray/TrayT1.h"
#include "widgets/TextGrid.h"
#include "widgets/core/GridFile.h"
#include "app/core/TaskOrder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <algorithm>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace veltry {

const QRect TfrmToDo::kDesignedFrame(293, 197, 407, 264);

namespace {
QPixmap drawCheckMark()
{
    QPixmap pm(14, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 128, 0), 2));
    p.drawPolyline(QPolygonF({QPointF(2, 6), QPointF(5, 9.5), QPointF(12, 2)}));
    return pm;
}

QPixmap drawNotesMark()
{
    QPixmap pm(14, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(96, 96, 96));
    p.setBrush(QColor(255, 255, 200));
    p.drawRect(3, 0, 9, 11);
    for (int y = 3; y <= 8; y += 2)
        p.drawLine(5, y, 10, y);
    return pm;
}
} // namespace

TfrmToDo::TfrmToDo(TfrmPrefs* prefs, TfrmTaskHistory* history, QWidget* parent)
    : QMainWindow(parent), m_prefs(prefs), m_history(history)
{
    setObjectName(QStringLiteral("frmToDo"));
    setWindowTitle(QStringLiteral("Veltry Professional"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(12);
    setFont(f);

    ImageList2.add(drawCheckMark());
    ImageList2.add(drawNotesMark());
    ImageList2.add(QPixmap(14, 12));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pnlToolbar = new QWidget(central);
    pnlToolbar->setObjectName(QStringLiteral("pnlToolbar"));
    pnlToolbar->setFixedHeight(30);
    layout->addWidget(pnlToolbar);
    TaskGrid = new TTextGrid(central);
    TaskGrid->setObjectName(QStringLiteral("TaskGrid"));
    layout->addWidget(TaskGrid, 1);
    setCentralWidget(central);

    QFont statusFont(QStringLiteral("MS Sans Serif"));
    statusFont.setPixelSize(12);
    statusBar()->setFont(statusFont);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    const int widths[3] = {75, 80, 50};
    const Qt::Alignment aligns[3] = {Qt::AlignCenter, Qt::AlignCenter, Qt::AlignLeft | Qt::AlignVCenter};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(statusBar());
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setAlignment(aligns[i]);
        if (i < 2)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        statusBar()->addWidget(panel, i == 2 ? 1 : 0);
        statusPanels[size_t(i)] = panel;
    }
    statusPanels[0]->setText(QStringLiteral("Tasks: 0"));
    statusPanels[1]->setText(QStringLiteral("Alarms: ON"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TfrmToDo::Timer1Timer);

    setupTaskGrid();
    setGeometry(kDesignedFrame);
}

TfrmToDo::~TfrmToDo() = default;

void TfrmToDo::setupTaskGrid()
{
    TTextGrid* g = TaskGrid;
    g->setColCount(TaskCol::Count);
    g->setRowCount(2);
    g->setFixedCols(0);
    g->setFixedRows(1);
    g->setDefaultRowHeight(18);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(12);
    g->setFont(f);
    g->setOptions(TTextGrid::goFixedVertLine | TTextGrid::goFixedHorzLine | TTextGrid::goVertLine
                  | TTextGrid::goHorzLine | TTextGrid::goColSizing);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->HintColor = QColor(255, 255, 0);
    g->EnhTextSize = true;
    g->SizeWithForm = true;
    g->Multilinecells = true;
    g->SortDirection = sdAscendingValue;
    g->setSortShow(true);
    g->setSortColumn(0);
    g->EnableGraphics = true;
    g->ColumnSize.Save = true;
    g->ColumnSize.Key = QStringLiteral(" HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry\\");
    g->ColumnSize.Section = QStringLiteral("ColumnSize");
    g->setGridImages(&ImageList2);
    for (int c = 0; c < TaskCol::Count; ++c)
        g->setColWidth(c, 64);
    g->OnGetCellColor = [this](TTextGrid*, int row, int col, TGridDrawState state, QColor& brush, TCellFont& font) {
        TaskGridGetCellColor(row, col, state, brush, font);
    };
    g->OnGetFormat = [this](TTextGrid*, int col, quint8& style) { TaskGridGetFormat(col, style); };
    g->OnClickSort = [this](TTextGrid*, int col) { TaskGridClickSort(col); };
    g->OnGridHint = [this](TTextGrid*, int row, int col, QString& hint) { TaskGridGridHint(row, col, hint); };
    g->loadColumnWidths();
    g->viewport()->installEventFilter(this);
    pnlToolbar->installEventFilter(this);
    statusBar()->installEventFilter(this);
    for (QLabel* panel : statusPanels)
        panel->installEventFilter(this);
    centralWidget()->setMouseTracking(true);
    pnlToolbar->setMouseTracking(true);
    statusBar()->setMouseTracking(true);
    for (QLabel* panel : statusPanels)
        panel->setMouseTracking(true);
}

QColor TfrmToDo::priorityColor(int row) const
{
    qint64 priority = 0;
    const QString text = TaskGrid->Cells(TaskCol::Priority, row);
    if (!parseInteger(QStringView(text), priority))
        priority = 0;
    const qint32 c = priority == 1 ? m_settings.clOne
        : priority == 2            ? m_settings.clTwo
        : priority == 3            ? m_settings.clThree
                                   : m_settings.clElse;
    // Stored colours are $00BBGGRR.
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void TfrmToDo::TaskGridGetCellColor(int row, int, TGridDrawState, QColor&, TCellFont& font)
{
    font.Color = priorityColor(row);
}

void TfrmToDo::TaskGridGetFormat(int col, quint8& style)
{
    if (col == TaskCol::DueDate)
        style = quint8(taskGridFormat(col, m_dayFirst));
}

void TfrmToDo::TaskGridClickSort(int col)
{
    if (col != TaskCol::Priority)
        return;
    int current = TaskGrid->Row();
    orderByDescriptionWithinPriority(TaskGrid->cellStore(), TaskGrid->FixedRows(), TaskGrid->RowCount() - 1, current);
    TaskGrid->setCurrentCell(TaskGrid->Col(), current);
    TaskGrid->viewport()->update();
}

void TfrmToDo::TaskGridGridHint(int row, int col, QString& hint)
{
    hint.clear();
    if (!m_settings.TaskHints || row < 1)
        return;
    if (col == TaskCol::Task) {
        hint = TaskGrid->Cells(TaskCol::Task, row);
    } else if (col > TaskCol::Task) {
        const QString notes = TaskGrid->Cells(TaskCol::Notes, row);
        hint = notes.size() <= 150 ? notes : notes.left(150) + QStringLiteral("\n\r[more...]");
    }
}

void TfrmToDo::AutoFitColumnWidths()
{
    TTextGrid* g = TaskGrid;
    g->setColWidth(0, 20);
    for (int k = 1; k < g->ColCount(); ++k)
        g->AutoSizeColumn(k);
    int others = 0;
    for (int real : {0, 2, 3, 4, 5}) {
        if (!g->IsHiddenColumn(real))
            others += g->ColWidth(g->columnMap().realToDisplay(real));
    }
    g->setColWidth(1, g->width() - 4 - g->ColCount() - others);
}

void TfrmToDo::setStatusHelp(const QString& text)
{
    statusPanels[2]->setText(text);
}

bool TfrmToDo::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == statusBar() || std::find(statusPanels.begin(), statusPanels.end(), watched) != statusPanels.end()) {
            const auto* move = static_cast<QMouseEvent*>(event);
            const int x = static_cast<QWidget*>(watched)->mapTo(statusBar(), move->position().toPoint()).x();
            setStatusHelp(x < 77    ? QStringLiteral("Number of current tasks")
                          : x < 157 ? QStringLiteral("Alarm indicator")
                                    : QStringLiteral("Status bar"));
        } else if (watched == TaskGrid->viewport() || watched == pnlToolbar) {
            setStatusHelp(QString());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmToDo::mouseMoveEvent(QMouseEvent* event)
{
    setStatusHelp(QString());
    QMainWindow::mouseMoveEvent(event);
}

QString TfrmToDo::dataDirectory() const
{
    return veltry::dataDirectory(m_settings);
}

bool TfrmToDo::isTaskListEmpty() const
{
    return TaskGrid->RowCount() <= 2 && TaskGrid->Cells(TaskCol::Task, 1).isEmpty();
}

void TfrmToDo::FormCreate()
{
    m_editing = false;
    m_alarmsEnabled = true;

    QStringList settingErrors;
    m_settings = SettingsIO::load(ConfigStore::shared(), &settingErrors);
    m_prefs->setCategories(m_settings.Categories);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    const QRect frame = SettingsIO::windowFrame(m_settings, kDesignedFrame, screenSize);
    resize(frame.size());
    move(frame.topLeft());
    for (const QString& e : settingErrors)
        MessageBox::showError(this, e);

    for (int i = 0; i < 4; ++i)
        m_sortKeys[i] = (i == 0) ? 5 : (i == 2) ? 2 : 0;
    m_dayFirst = LocaleFormats::current().dayFirst();
    m_programDir = DataPaths::programDirectory();

    loadTaskList();
    loadHistory();
    RecordFileTimes();
    applyColumnSettings();
    attachTaskImages();
    UpdateTaskCount();
    if (TForm1* tray = TForm1::mainForm()) {
        tray->SaveTrayPicture();
        if (m_settings.ShowDayIcon)
            tray->ShowDayIcon();
    }

    if (m_settings.LogOnStartup) {
        m_loggingAtStart = true;
        LogTasks();
        m_loggingAtStart = false;
    }

    Timer1->setInterval(1);
    if (m_alarmsEnabled)
        Timer1->start();
    m_created = true;
    if (!m_settings.StartMinimized)
        show();
}

void TfrmToDo::setupEmptyTaskList()
{
    TTextGrid* g = TaskGrid;
    g->ClearAllCells();
    g->setRowCount(2);
    for (int c = 0; c < TaskCol::Count; ++c)
        g->setCells(c, 0, kTaskTitles[size_t(c)]);
    const int widths[TaskCol::Count] = {20, 0, 56, 56, 56, 20, 200, 50, 20, 64, 64, 64};
    for (int c = 0; c < TaskCol::Count; ++c)
        if (c != TaskCol::Task)
            g->setColWidth(c, widths[c]);
    if (centralWidget()->layout())
        centralWidget()->layout()->activate();
    g->setColWidth(TaskCol::Task, g->width() - 20 - 56 - 56 - 56 - 20 - 9);
}

void TfrmToDo::loadTaskList()
{
    const QString path = dataDirectory() + kTaskListFileName;
    if (QFile::exists(path)) {
        loadGridFile(TaskGrid, path, true);
    } else {
        setupEmptyTaskList();
        SaveTaskList();
    }
    // The rest of the program relies on the title row and one placeholder row.
    if (TaskGrid->RowCount() < 2)
        TaskGrid->setRowCount(2);
    if (TaskGrid->RealColCount() < TaskCol::Count)
        TaskGrid->setColCount(TaskCol::Count - TaskGrid->columnMap().hiddenCount());
}

void TfrmToDo::loadHistory()
{
    const QString path = dataDirectory() + kHistoryFileName;
    if (QFile::exists(path))
        loadGridFile(m_history->TaskHistoryGrid, path, true);
    if (m_history->TaskHistoryGrid->RowCount() < 2)
        m_history->TaskHistoryGrid->setRowCount(2);
    m_history->setDataDirectoryProvider([this] { return dataDirectory(); });
}

bool TfrmToDo::loadGridFile(TTextGrid* grid, const QString& path, bool partialOk)
{
    CellStore loaded;
    loaded.setColumnCount(grid->RealColCount());
    loaded.setRowCount(grid->RowCount());
    try {
        GridFile::loadFromFile(loaded, path);
    } catch (const AppError& e) {
        QString text = e.message();
        if (QFile::exists(path)) {
            // Whatever is saved next must not replace the only good copy of the user's list.
            const QFileInfo info(path);
            const QString copy = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
                + QStringLiteral("-unreadable-")
                + Clock::instance().now().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('.')
                + info.suffix();
            if (QFile::copy(path, copy))
                text += QStringLiteral("\n\nThe file could not be read completely. An untouched copy of it was kept as \"%1\".")
                            .arg(copy);
            else
                text += QStringLiteral("\n\nThe file could not be read completely, and no copy of it could be made beside it.");
        }
        MessageBox::showError(this, text);
        if (!partialOk)
            return false;
    }
    const int hidden = grid->columnMap().hiddenCount();
    grid->cellStore() = std::move(loaded);
    grid->setColCount(grid->RealColCount() - hidden);
    grid->setRowCount(grid->RowCount());
    return true;
}

void TfrmToDo::applyColumnSettings()
{
    for (int c = 2; c <= 5; ++c)
        if (m_settings.colHidden(c))
            TaskGrid->HideColumn(c);
    for (int c = 6; c <= 11; ++c)
        TaskGrid->HideColumn(c);
}

void TfrmToDo::attachTaskImages()
{
    for (int r = 1; r < TaskGrid->RowCount(); ++r) {
        if (TaskGrid->Cells(TaskCol::Mark, r) == kCheckedMark)
            TaskGrid->SetCellImage(TaskCol::Mark, r, 0, 0, 0);
        if (!TaskGrid->Cells(TaskCol::Notes, r).isEmpty())
            TaskGrid->SetCellImage(TaskCol::Task, r, 1, 1, 0);
    }
}

void TfrmToDo::UpdateTaskCount()
{
    statusPanels[0]->setText(isTaskListEmpty() ? QStringLiteral("Tasks: 0")
                                               : QStringLiteral("Tasks: %1").arg(TaskGrid->RowCount() - 1));
}

bool TfrmToDo::SaveTaskList()
{
    try {
        TaskGrid->SaveToFile(dataDirectory() + kTaskListFileName);
        return true;
    } catch (const AppError& e) {
        MessageBox::showError(this, e.message() + QStringLiteral("\n\nYour tasks are still in the list; they will be saved again with the next change or at exit."));
        return false;
    }
}

void TfrmToDo::RecordFileTimes()
{
    m_watch.RecordFileTimes(dataDirectory());
}

void TfrmToDo::ReloadChangedFiles()
{
    const QString dir = dataDirectory();
    if (m_watch.taskListChanged(dir)) {
        if (loadGridFile(TaskGrid, dir + kTaskListFileName, false)) {
            if (TaskGrid->RowCount() < 2)
                TaskGrid->setRowCount(2);
            attachTaskImages();
            UpdateTaskCount();
        }
    }
    if (m_watch.historyChanged(dir)) {
        TTextGrid* h = m_history->TaskHistoryGrid;
        if (loadGridFile(h, dir + kHistoryFileName, false) && h->RowCount() < 2)
            h->setRowCount(2);
    }
}

void TfrmToDo::Timer1Timer()
{
    Timer1->setInterval(1000);
    CheckAlarms();
    if (m_settings.ShowDayIcon)
        if (TForm1* tray = TForm1::mainForm())
            tray->ShowDayIcon();
    if (m_settings.Networkable)
        ReloadChangedFiles();
}

void TfrmToDo::setAlarmsEnabled(bool on)
{
    m_alarmsEnabled = on;
    if (on)
        Timer1->start();
    else
        Timer1->stop();
    statusPanels[1]->setText(on ? QStringLiteral("Alarms: ON") : QStringLiteral("Alarms: OFF"));
}

void TfrmToDo::saveSettings()
{
    SettingsExitState exit;
    exit.window = QRect(pos(), size());
    for (int i = 0; i < 4; ++i)
        exit.sortKeys[i] = m_sortKeys[i];
    for (int c = 2; c <= 5; ++c)
        exit.colHidden[c - 2] = TaskGrid->IsHiddenColumn(c);
    m_settings.Categories = m_prefs->categories();
    try {
        SettingsIO::save(ConfigStore::shared(), m_settings, exit);
    } catch (const AppError& e) {
        MessageBox::showError(this, e.message());
    }
}

void TfrmToDo::saveEverything()
{
    if (!m_created)
        return;
    SaveTaskList();
    saveSettings();
}

void TfrmToDo::FormDestroy()
{
    // The history is saved after this window is gone; it must not ask it for the folder then.
    m_history->freezeDataDirectory();
    if (!m_created)
        return;
    Timer1->stop();
    SaveTaskList();
    saveSettings();
    m_created = false;
}

int TfrmToDo::LogTasks()
{
    m_history->ensureHistoryShape();
    TextGridRows tasks(TaskGrid);
    TextGridRows history(m_history->TaskHistoryGrid);
    const TaskLogCopy copy = copyCompletedTasks(tasks, history, todaysLogDate());
    if (copy.count > 0) {
        // The tasks leave the list file at once, so the history must reach its file first.
        try {
            m_history->SaveHistory();
        } catch (const AppError& e) {
            undoTaskLogCopy(history, copy);
            MessageBox::showError(this, e.message() + QStringLiteral("\n\nThe completed tasks stay in your task list."));
            return 0;
        }
        removeCompletedTasks(tasks);
    }
    SaveTaskList();
    RecordFileTimes();
    UpdateTaskCount();
    TaskGrid->viewport()->update();
    if (!m_loggingAtStart && !m_settings.NoConfirmations)
        MessageBox::show(this, MessageBox::Kind::Plain,
                         QString::number(copy.count) + QStringLiteral(" tasks were logged in your history file"));
    return copy.count;
}

void TfrmToDo::ViewHistory(bool fromMenu)
{
    TfrmTaskHistory* h = m_history;
    h->setNoConfirmations(m_settings.NoConfirmations);
    h->setAlarmTimer(Timer1);
    h->setOnHistorySaved([this] { m_watch.recordHistory(dataDirectory()); });
    if (fromMenu)
        h->move(pos() + QPoint(40, 40));
    h->ensureHistoryShape();
    h->UpdateHistoryCount();
    h->TaskHistoryGrid->NumberRows(HistCol::Number);
    Timer1->stop();
    h->exec();
    h->setOnHistorySaved(nullptr);
    if (m_alarmsEnabled)
        Timer1->start();
}

void TfrmToDo::closeEvent(QCloseEvent* event)
{
    // The program lives on in the tray; only Exit ends it.
    event->ignore();
    TForm1::putAwayTaskWindow(this);
}

} // namespace veltry
