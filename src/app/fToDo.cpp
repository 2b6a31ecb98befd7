#include "app/fToDo.h"

#include "app/AppIcons.h"
#include "app/HelpViewer.h"
#include "app/fAbout.h"
#include "app/core/Version.h"
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
#include "app/core/TaskOrder.h"

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
#include <QLayout>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace veltry {

const QRect TfrmToDo::kDesignedFrame(293, 197, 407, 264);

namespace {

// One task row as the calendar server's sync sees it.
sync::TaskRow taskRow(const CellStore& cells, int row)
{
    sync::TaskRow task;
    for (int c = 0; c < TaskCol::Count && c < cells.columnCount(); ++c)
        task[size_t(c)] = cells.cell(c, row);
    return task;
}

QPixmap blankImage(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    return pm;
}
} // namespace

TfrmToDo::TfrmToDo(TfrmPrefs* prefs, TfrmTaskHistory* history, QWidget* parent)
    : QMainWindow(parent), m_prefs(prefs), m_history(history)
{
    setObjectName(QStringLiteral("frmToDo"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(12);
    setFont(f);

    setWindowIcon(AppIcons::programIcon());
    // Drawn from their outlines for each screen's resolution.
    ImageList2.add([](QSize pixels) { return AppIcons::pixmap(QStringLiteral("checkmark"), pixels, 1.0); });
    ImageList2.add([](QSize pixels) { return AppIcons::pixmap(QStringLiteral("notes"), pixels, 1.0); });
    ImageList2.add(blankImage(ImageList2.size()));

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
    const int widths[3] = {kCountPanelWidth, 80, 50};
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
    createToolbar();
    createMenus();
    connectPreferences();
    setupCaption();
    setupPrinting();
    connectSortAndFind();
    setGeometry(kDesignedFrame);
}

void TfrmToDo::setupCaption()
{
    // The window's title comes from the bar's parts: "Veltry Professional".
    GradCaption = new TGradientCaption(this);
    GradCaption->AppNameText().setCaption(QStringLiteral("Veltry"));
    GradCaption->AppNameText().setFontKind(TFontKind::fkSystemB);
    QFont captionFont(QStringLiteral("MS Sans Serif"));
    captionFont.setPixelSize(11);
    GradCaption->CaptionText().setFont(captionFont);
    GradCaption->CompanyText().setFontKind(TFontKind::fkSystemBI);
    GradCaption->CaptionText().setCaption(QStringLiteral("Professional"));
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
    g->setAccessibleName(QStringLiteral("Tasks"));
    // The first picture is the check mark, the second the notes sign.
    describeGridPictures(g, TaskCol::Mark, 0, {QString(), QStringLiteral("has notes")});
    for (int c = 0; c < TaskCol::Count; ++c)
        g->setColWidth(c, 64);
    g->OnGetCellColor = [this](TTextGrid*, int row, int col, TGridDrawState state, QColor& brush, TCellFont& font) {
        TaskGridGetCellColor(row, col, state, brush, font);
    };
    g->OnGetFormat = [this](TTextGrid*, int col, quint8& style) { TaskGridGetFormat(col, style); };
    g->OnClickSort = [this](TTextGrid*, int col) { TaskGridClickSort(col); };
    g->OnGridHint = [this](TTextGrid*, int row, int col, QString& hint) { TaskGridGridHint(row, col, hint); };
    m_haveStoredWidths = g->loadColumnWidths();
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

namespace {
// Below this ratio of luminances text no longer stands out from its background (yellow on white
// is 1.07; the default priority colours are 4 and more).
constexpr double kLeastTaskContrast = 1.5;

double relativeLuminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

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
    const QColor colour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    // A colour the background swallows would hide the task: such rows keep the grid's own text
    // colour.
    if (contrastRatio(colour, TaskGrid->palette().color(QPalette::Base)) < kLeastTaskContrast)
        return TaskGrid->palette().color(QPalette::Text);
    return colour;
}

void TfrmToDo::TaskGridGetCellColor(int row, int, TGridDrawState state, QColor&, TCellFont& font)
{
    // On the highlight a priority colour can be unreadable (red on blue); the selected cell keeps
    // the highlighted-text colour the grid gave it.
    if (state & gdSelected)
        return;
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
    TaskGrid->editCells([&](CellStore& cells) {
        orderByDescriptionWithinPriority(cells, TaskGrid->FixedRows(), TaskGrid->RowCount() - 1, current);
    });
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
    g->setColWidth(1, showableGridWidth() - 4 - g->ColCount() - others);
}

int TfrmToDo::showableGridWidth() const
{
    // A vertical scroll bar covers the right end of the grid; what is fitted must stay left of it.
    const QScrollBar* bar = TaskGrid->verticalScrollBar();
    const bool barShown = bar->isVisibleTo(TaskGrid) && bar->maximum() > bar->minimum();
    return TaskGrid->width() - (barShown ? bar->sizeHint().width() : 0);
}

void TfrmToDo::fitStoredColumnWidths()
{
    // Widths stored from a larger window would hide the columns on the right for good: the grid
    // scrolls only up and down. The Task column gives way first, then the others alike.
    TTextGrid* g = TaskGrid;
    const int showable = showableGridWidth() - 4;
    int used = 0;
    for (int k = 0; k < g->ColCount(); ++k)
        used += g->ColWidth(k) + 1;
    int excess = used - showable;
    if (excess <= 0)
        return;
    constexpr int kTaskMinimum = 40;
    const int task = g->ColWidth(TaskCol::Task);
    const int taskCut = std::clamp(task - kTaskMinimum, 0, excess);
    g->setColWidth(TaskCol::Task, task - taskCut);
    excess -= taskCut;
    if (excess <= 0)
        return;
    qint64 others = 0;
    for (int k = 0; k < g->ColCount(); ++k)
        if (k != TaskCol::Task)
            others += g->ColWidth(k);
    if (others <= 0)
        return;
    const qint64 keep = std::max<qint64>(0, others - excess);
    for (int k = 0; k < g->ColCount(); ++k)
        if (k != TaskCol::Task)
            g->setColWidth(k, int(g->ColWidth(k) * keep / others));
}

void TfrmToDo::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_storedWidthsFitted && m_created) {
        m_storedWidthsFitted = true;
        if (QLayout* l = layout())
            l->activate();
        fitStoredColumnWidths();
    }
}

void TfrmToDo::setStatusHelp(const QString& text)
{
    statusPanels[2]->setText(!text.isEmpty() ? text : !m_sharedStatus.isEmpty() ? m_sharedStatus : m_syncStatus);
}

bool TfrmToDo::eventFilter(QObject* watched, QEvent* event)
{
    if (gridCommandEvent(watched, event))
        return true;
    if (event->type() == QEvent::MouseMove) {
        if (watched == statusBar() || std::find(statusPanels.begin(), statusPanels.end(), watched) != statusPanels.end()) {
            const auto* move = static_cast<QMouseEvent*>(event);
            const int x = static_cast<QWidget*>(watched)->mapTo(statusBar(), move->position().toPoint()).x();
            // The zones move right with the count panel when a long count widened it.
            const int wider = statusPanels[0]->width() - kCountPanelWidth;
            setStatusHelp(x < 77 + wider    ? QStringLiteral("Number of current tasks")
                          : x < 157 + wider ? QStringLiteral("Alarm indicator")
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

QStringList TfrmToDo::categories() const
{
    // The preferences dialog keeps the category list.
    return m_prefs ? m_prefs->categories() : QStringList();
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
    QList<QRect> screens;
    if (screen)
        screens << screen->availableGeometry();
    for (const QScreen* other : QGuiApplication::screens())
        if (other != screen)
            screens << other->availableGeometry();
    // Stored places are in the units of the screens' areas (logical pixels), whatever the scale.
    const QRect frame = keepOnScreen(SettingsIO::windowFrame(m_settings, kDesignedFrame, screenSize), screens,
                                     minimumSize().expandedTo(minimumSizeHint()));
    resize(frame.size());
    move(frame.topLeft());
    for (const QString& e : settingErrors)
        MessageBox::showError(this, e);

    // Priority ascending, then due date ascending, whatever the settings held.
    m_sortKeys = {5, 0, 2, 0};
    m_dayFirst = LocaleFormats::current().dayFirst();
    m_programDir = DataPaths::programDirectory();

    if (dataDirectory() == DataPaths::programDirectory()) {
        const QString adopted = adoptProgramFolderFiles();
        if (!adopted.isEmpty())
            MessageBox::show(this, MessageBox::Kind::Information, adopted);
    }
    clearSaveLeftovers();
    loadTaskList();
    loadHistory();
    RecordFileTimes();
    setupSharedList();
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
    setupSync();
    // Started by the desktop session's autostart entry: straight into the tray, where there is one.
    const bool sessionStart = qEnvironmentVariableIsSet(Autostart::kSessionStartVariable) && TTrayIcon::isTrayAvailable();
    qunsetenv(Autostart::kSessionStartVariable);  // not for the programs started from here
    if (!m_settings.StartMinimized && !sessionStart)
        show();
}

void TfrmToDo::setupEmptyTaskList()
{
    TTextGrid* g = TaskGrid;
    g->ClearAllCells();
    g->setRowCount(2);
    for (int c = 0; c < TaskCol::Count; ++c)
        g->setCells(c, 0, kTaskTitles[size_t(c)]);
    setFirstColumnWidths();
}

void TfrmToDo::setFirstColumnWidths()
{
    TTextGrid* g = TaskGrid;
    const int widths[TaskCol::Count] = {20, 0, 56, 56, 56, 20, 200, 50, 20, 64, 64, 64};
    for (int c = 0; c < TaskCol::Count; ++c)
        if (c != TaskCol::Task)
            g->setColWidth(c, widths[c]);
    // Before the window is first shown its layout has not run, so the grid has no width of its
    // own yet; it spans the window's whole width inside the frame.
    const int gridWidth = g->isVisible() ? g->width() : contentsRect().width();
    g->setColWidth(TaskCol::Task, gridWidth - 20 - 56 - 56 - 56 - 20 - 9);
}

void TfrmToDo::clearSaveLeftovers()
{
    // In a shared folder another copy may be saving right now: only what is plainly stale goes.
    // File times follow the real clock, whatever the program's clock says.
    const QDateTime before = m_settings.Networkable ? QDateTime::currentDateTimeUtc().addSecs(-10 * 60) : QDateTime();
    const QStringList lists{kTaskListFileName, kHistoryFileName};
    FileSafety::removeSaveLeftovers(dataDirectory(), lists, before);
    if (DataPaths::programDirectory() != dataDirectory())
        FileSafety::removeSaveLeftovers(DataPaths::programDirectory(), lists);
    FileSafety::removeSaveLeftovers(DataPaths::configDirectory(), {QStringLiteral("registry.reg")});
    FileSafety::removeSaveLeftovers(DataPaths::userDataDirectory(), {QStringLiteral("sync-state.dat")});
}

void TfrmToDo::loadTaskList()
{
    const QString path = dataDirectory() + kTaskListFileName;
    if (QFile::exists(path)) {
        // A list that stops loading part-way keeps these titles where the file did not reach.
        for (int c = 0; c < TaskCol::Count; ++c)
            TaskGrid->setCells(c, 0, kTaskTitles[size_t(c)]);
        loadGridFile(TaskGrid, path, true);
        // A list brought from elsewhere, with no widths of its own yet, starts with the same
        // columns as a new one, however many tasks it holds.
        if (!m_haveStoredWidths)
            setFirstColumnWidths();
    } else {
        setupEmptyTaskList();
        SaveTaskList();
    }
    if (TaskGrid->RealColCount() < TaskCol::Count)
        TaskGrid->setColCount(TaskCol::Count - TaskGrid->columnMap().hiddenCount());
}

void TfrmToDo::loadHistory()
{
    const QString path = dataDirectory() + kHistoryFileName;
    if (QFile::exists(path))
        loadGridFile(m_history->TaskHistoryGrid, path, true);
    m_history->setDataDirectoryProvider([this] { return dataDirectory(); });
}

bool TfrmToDo::loadGridFile(TTextGrid* grid, const QString& path, bool partialOk)
{
    CellStore loaded;
    loaded.setColumnCount(grid->RealColCount());
    loaded.setRowCount(grid->RowCount());
    // A load that stops part-way keeps the grid's titles where the file did not reach them, so
    // the list is never saved back without its title row.
    if (loaded.rowCount() > 0)
        for (int c = 0; c < loaded.columnCount(); ++c)
            loaded.setCellUtf8(c, 0, grid->cellStore().cellUtf8(c, 0));
    try {
        GridFile::loadFromFile(loaded, path);
    } catch (const AppError& e) {
        QString text = e.message();
        if (QFile::exists(path)) {
            // Whatever is saved next must not replace the only good copy of the user's list.
            const QString copy = FileSafety::keepUntouchedCopy(path);
            if (!copy.isEmpty())
                text += QStringLiteral("\n\nThe file \"%1\" could not be read completely. "
                                       "An untouched copy of it was kept as \"%2\".")
                            .arg(path, copy);
            else
                text += QStringLiteral("\n\nThe file \"%1\" could not be read completely, "
                                       "and no copy of it could be made beside it.")
                            .arg(path);
        }
        MessageBox::showError(this, text);
        if (!partialOk)
            return false;
    }
    grid->replaceCells(std::move(loaded));
    // Both lists rely on the title row and at least one (placeholder) row below it.
    grid->setRowCount(std::max(2, grid->RowCount()));
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
    QLabel* panel = statusPanels[0];
    panel->setText(isTaskListEmpty() ? QStringLiteral("Tasks: 0")
                                     : QStringLiteral("Tasks: %1").arg(TaskGrid->RowCount() - 1));
    // The designed width holds four digits; a longer count widens the panel rather than losing a
    // digit, which would read as another count.
    const int needed = panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth() + 4;
    panel->setFixedWidth(std::max(kCountPanelWidth, needed));
}

bool TfrmToDo::SaveTaskList()
{
    if (sharedListActive())
        return saveSharedTaskList(false);
    try {
        TaskGrid->SaveToFile(dataDirectory() + kTaskListFileName);
        // Our own write must never come back as another copy's change, or the shared-list check
        // would reload it over changes made since (a snooze given right after a removal).
        m_watch.recordTaskList(dataDirectory());
        if (m_sync && !m_applyingSync)
            m_sync->listSaved();
        return true;
    } catch (const AppError& e) {
        MessageBox::showError(this, e.message()
                                        + QStringLiteral("\n\nYour tasks are still in the list; they will be saved "
                                                         "again with the next change or at exit."));
        return false;
    }
}

void TfrmToDo::RecordFileTimes()
{
    m_watch.RecordFileTimes(dataDirectory());
}

void TfrmToDo::ReloadChangedFiles()
{
    if (sharedListActive()) {
        reloadSharedFiles();
        return;
    }
    const QString dir = dataDirectory();
    if (m_watch.taskListChanged(dir)) {
        if (loadGridFile(TaskGrid, dir + kTaskListFileName, false)) {
            attachTaskImages();
            UpdateTaskCount();
        }
    }
    if (m_watch.historyChanged(dir))
        loadGridFile(m_history->TaskHistoryGrid, dir + kHistoryFileName, false);
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

void TfrmToDo::CheckAlarms()
{
    Timer1->stop();
    // A tick that slips in while a reminder is up (the alarm switch restarts the timer) must not
    // ring the same task again; the running pass restarts the timer when it ends.
    if (m_inAlarmPass)
        return;
    m_inAlarmPass = true;
    const auto passEnded = qScopeGuard([this] {
        m_inAlarmPass = false;
        if (m_alarmsEnabled)
            Timer1->start();
    });
    if (!m_alarms)
        m_alarms = std::make_unique<AlarmScheduler>();
    AlarmScheduler::Hooks hooks;
    hooks.raiseReminder = [this](int row, int typeIndex) { TfrmReminder::RaiseFor(this, row, typeIndex); };
    hooks.appendRow = [this] {
        TaskGrid->setRowCount(TaskGrid->RowCount() + 1);
        UpdateTaskCount();  // a renewed task is one more in the list
        return TaskGrid->RowCount() - 1;
    };
    hooks.reportUnreadable = [this](const QString& text) { MessageBox::show(this, MessageBox::Kind::Plain, text); };
    TaskGrid->editCells([&](CellStore& cells) {
        m_alarms->checkAlarms(cells, Clock::instance().now(), LocaleFormats::current(), hooks);
    });
}

void TfrmToDo::setAlarmsEnabled(bool on)
{
    m_alarmsEnabled = on;
    if (on)
        Timer1->start();
    else
        Timer1->stop();
    statusPanels[1]->setText(on ? QStringLiteral("Alarms: ON") : QStringLiteral("Alarms: OFF"));
    Q_EMIT alarmsEnabledChanged(on);
}

void TfrmToDo::saveSettings()
{
    SettingsExitState exit;
    exit.window = QRect(pos(), size());
    exit.positionKnown = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    std::copy(m_sortKeys.begin(), m_sortKeys.end(), exit.sortKeys);
    for (int c = 2; c <= 5; ++c)
        exit.colHidden[c - 2] = TaskGrid->IsHiddenColumn(c);
    m_settings.Categories = m_prefs->categoryEntries();
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
    saveTaskListAtExit();
    saveSettings();
}

void TfrmToDo::saveTaskListAtExit()
{
    const QString path = dataDirectory() + kTaskListFileName;
    try {
        if (sharedListActive()) {
            saveSharedTaskList(true);
        } else {
            TaskGrid->SaveToFile(path);
            m_watch.recordTaskList(dataDirectory());
        }
    } catch (const AppError& e) {
        // There is no later save to wait for: the tasks go to a file of their own or are lost.
        // A shared list also keeps them for the next start, which merges them into the file.
        if (sharedListActive())
            m_shared->keepUnsaved(TaskGrid->cellStore());
        const QString copy = saveUnsavedCopy(TaskGrid->cellStore(), kTaskListFileName, Clock::instance().now());
        MessageBox::showError(this, e.message()
                                        + (copy.isEmpty()
                                               ? QStringLiteral("\n\nYour tasks could not be written to any other "
                                                                "file either; the changes since the last save are lost.")
                                               : QStringLiteral("\n\nYour tasks were written to \"%1\" instead.").arg(copy)));
    }
}

void TfrmToDo::FormDestroy()
{
    // The history is saved after this window is gone; it must not ask it for the folder then.
    m_history->freezeDataDirectory();
    if (!m_created)
        return;
    Timer1->stop();
    saveTaskListAtExit();
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
        if (m_sync && m_sync->isEnabled()) {
            std::vector<sync::TaskRow> logged;
            const CellStore& cells = TaskGrid->cellStore();
            for (int r = 1; r < cells.rowCount(); ++r) {
                if (cells.cell(TaskCol::Mark, r) != kCheckedMark)
                    continue;
                logged.push_back(taskRow(cells, r));
            }
            m_sync->tasksLogged(logged, Clock::instance().now());
        }
        renewLoggedTasks();
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

void TfrmToDo::renewLoggedTasks()
{
    // However a recurring task is finished, on time, early or late, its series goes on.
    const QDate today = Clock::instance().today();
    std::vector<int> added;
    TaskGrid->editCells([&](CellStore& cells) {
        const int rows = cells.rowCount();
        for (int r = 1; r < rows; ++r) {
            if (cells.cell(TaskCol::Mark, r) != kCheckedMark)
                continue;
            const int next = AlarmScheduler::renewLoggedTask(cells, r, today, LocaleFormats::current(), [this] {
                TaskGrid->setRowCount(TaskGrid->RowCount() + 1);
                return TaskGrid->RowCount() - 1;
            });
            if (next > 0)
                added.push_back(next);
        }
        // A copy renewed before this log still carries the logged task's UID. It is a task of
        // its own from now on: left with that UID, the sync would move the completed to-do to
        // the copy's date instead of closing it. It gets a UID of its own at the next sync.
        QSet<QByteArray> loggedUids;
        for (int r = 1; r < rows; ++r)
            if (cells.cell(TaskCol::Mark, r) == kCheckedMark && !cells.cellUtf8(TaskCol::Reserved, r).isEmpty())
                loggedUids.insert(cells.cellUtf8(TaskCol::Reserved, r).toByteArray());
        for (int r = 1; r < cells.rowCount(); ++r)
            if (cells.cell(TaskCol::Mark, r) != kCheckedMark
                && loggedUids.contains(cells.cellUtf8(TaskCol::Reserved, r).toByteArray()))
                cells.setCellUtf8(TaskCol::Reserved, r, QByteArrayView());
    });
    for (int r : added)
        if (!TaskGrid->Cells(TaskCol::Notes, r).isEmpty())
            TaskGrid->SetCellImage(TaskCol::Task, r, 1, 1, 0);
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

// --- commands ---------------------------------------------------------------------------------

void TfrmToDo::createToolbar()
{
    struct ButtonDef
    {
        TFlatButton** button;
        const char* name;
        int x;
        const char* icon;
        const char* caption;
        const char* hint;
        const char* help;
    };
    const ButtonDef defs[] = {
        {&btnExit, "btnExit", 4, "exit", "E&xit", "Exit", "Exit application."},
        {&btnMinimize, "btnMinimize", 30, "minimize", "&Minimize", "Minimize",
         "Minimize this application to the system tray."},
        {&btnChecked, "btnChecked", 60, "check", "&Check/Uncheck", "Check/Uncheck", "Check/uncheck selected task."},
        {&btnAdd, "btnAdd", 90, "add", "&Add Task", "Add Task", "Add a new task"},
        {&btnRemove, "btnRemove", 116, "remove", "&Remove Task", "Remove Task", "Remove selected task"},
        {&btnEdit, "btnEdit", 142, "edit", "&Edit Task", "Edit Task", "Edit the selected task"},
        {&btnPrint, "btnPrint", 168, "autofit", "Auto-fit Column &Widths", "Auto-fit Column Widths",
         "Auto-fit columns to task grid width"},
        {&btnAdvSort, "btnAdvSort", 198, "advsort", "Advanced &Sort", "Advanced Sort",
         "More options for how the list is sorted"},
        {&btnFind, "btnFind", 224, "find", "&Find Text", "Find Text", "Finds the specified text"},
        {&btnLogTasks, "btnLogTasks", 254, "logtasks", "&Log Completed Tasks", "Log Completed Tasks",
         "Log all completed tasks in history list"},
        {&btnViewHistory, "btnViewHistory", 280, "history", "&View Task History", "View Task History",
         "View task log history"},
        {&FlatButton1, "FlatButton1", 310, "preferences", "&Preferences", "Set Preferences", "Set your preferences"},
    };
    for (const ButtonDef& d : defs) {
        auto* b = new TFlatButton(pnlToolbar);
        b->setObjectName(QString::fromLatin1(d.name));
        b->setGeometry(d.x, 3, 26, 24);
        b->setOptions(TFlatButtonOption::boIconOnly | TFlatButtonOption::boPopupMark | TFlatButtonOption::boShowBevel);
        b->setBitmap(AppIcons::pixmap(QString::fromLatin1(d.icon), QSize(18, 18)));
        b->setCaption(QString::fromLatin1(d.caption));
        // After the caption, which would otherwise replace the hint with its own text.
        b->setHint(QString::fromLatin1(d.hint));
        const QString help = QString::fromLatin1(d.help);
        b->setOnMouseMove([this, help](TFlatButton*, Qt::KeyboardModifiers, int, int) { setStatusHelp(help); });
        // Tab stops after the grid, so the keyboard reaches every command without its letter.
        b->setFocusPolicy(Qt::TabFocus);
        // The command done, the keyboard goes on in the grid it acted on.
        connect(b, &TFlatButton::clicked, this, [this, b] {
            if (focusWidget() == b)
                TaskGrid->setFocus(Qt::OtherFocusReason);
        });
        *d.button = b;
    }
    btnChecked->setGroupIndex(1);

    for (int x : {57, 87, 195, 251, 307}) {
        auto* bar = new QFrame(pnlToolbar);
        bar->setFrameShape(QFrame::VLine);
        bar->setFrameShadow(QFrame::Sunken);
        bar->setGeometry(x, 4, 2, 22);
    }

    btnExit->setOnClick([this](TFlatButton*) { btnExitClick(); });
    btnMinimize->setOnClick([this](TFlatButton*) { btnMinimizeClick(); });
    btnChecked->setOnClick([this](TFlatButton*) { btnCheckedClick(); });
    btnAdd->setOnClick([this](TFlatButton*) { btnAddClick(); });
    btnRemove->setOnClick([this](TFlatButton*) { btnRemoveClick(); });
    btnEdit->setOnClick([this](TFlatButton*) { btnEditClick(); });
    btnPrint->setOnClick([this](TFlatButton*) { AutoFitColumnWidths(); });
    btnLogTasks->setOnClick([this](TFlatButton*) { LogTasks(); });
    btnViewHistory->setOnClick([this](TFlatButton*) { ViewHistory(false); });
}

void TfrmToDo::createMenus()
{
    auto add = [](QMenu* menu, QAction*& action, const char* name, const char* text) {
        action = menu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, mnuFilePreferences, "mnuFilePreferences", "&Preferences...");
    add(file, Import1, "Import1", "&Import...");
    add(file, mnuExport, "mnuExport", "&Export...");
    file->addSeparator();
    add(file, mnuFilePrinterSetup, "mnuFilePrinterSetup", "Printer &Setup...");
    add(file, mnuFilePrintPreview, "mnuFilePrintPreview", "Print Pre&view...");
    add(file, mnuFilePrint, "mnuFilePrint", "P&rint");
    file->addSeparator();
    add(file, mnuFileMinimize, "mnuFileMinimize", "&Minimize");
    add(file, mnuFileExit, "mnuFileExit", "E&xit");

    QMenu* edit = bar->addMenu(QStringLiteral("E&dit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    add(edit, CheckUncheckTask1, "CheckUncheckTask1", "&Check/Uncheck Task");
    edit->addSeparator();
    add(edit, mnuEditAdd, "mnuEditAdd", "&Add Task");
    add(edit, EditTask1, "EditTask1", "&Edit Task");
    add(edit, mnuEditRemove, "mnuEditRemove", "&Remove Task");
    edit->addSeparator();
    add(edit, LogCompletedTasks1, "LogCompletedTasks1", "&Log Completed Tasks");
    add(edit, ViewTaskHistory1, "ViewTaskHistory1", "&View Task History");

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, HelpTopics1, "HelpTopics1", "&Help Topics");
    add(help, Help1, "Help1", "&Hotkeys");
    help->addSeparator();
    add(help, mnuHelpAbout, "mnuHelpAbout", "&About");

    connect(mnuFileMinimize, &QAction::triggered, this, &TfrmToDo::btnMinimizeClick);
    connect(mnuFileExit, &QAction::triggered, this, &TfrmToDo::btnExitClick);
    connect(CheckUncheckTask1, &QAction::triggered, this, &TfrmToDo::btnCheckedClick);
    connect(mnuEditAdd, &QAction::triggered, this, &TfrmToDo::btnAddClick);
    connect(EditTask1, &QAction::triggered, this, &TfrmToDo::btnEditClick);
    connect(mnuEditRemove, &QAction::triggered, this, &TfrmToDo::btnRemoveClick);
    connect(LogCompletedTasks1, &QAction::triggered, this, [this] { LogTasks(); });
    connect(ViewTaskHistory1, &QAction::triggered, this, [this] { ViewHistory(true); });
    connect(HelpTopics1, &QAction::triggered, this, &TfrmToDo::HelpTopics1Click);
    connect(Help1, &QAction::triggered, this, &TfrmToDo::Help1Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &TfrmToDo::mnuHelpAboutClick);
    connectImportExport();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    add(PopupMenu1, popAdd, "popAdd", "&Add");
    add(PopupMenu1, popEdit, "popEdit", "&Edit");
    add(PopupMenu1, popRemove, "popRemove", "&Remove");
    add(PopupMenu1, popCheck, "popCheck", "&Check");
    connect(popAdd, &QAction::triggered, this, &TfrmToDo::btnAddClick);
    connect(popEdit, &QAction::triggered, this, &TfrmToDo::btnEditClick);
    connect(popRemove, &QAction::triggered, this, &TfrmToDo::btnRemoveClick);
    connect(popCheck, &QAction::triggered, this, &TfrmToDo::btnCheckedClick);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &TfrmToDo::HelpTopics1Click);
    // A usable toolbar button's accelerator wins over a menu title's (Alt+F is find text); F10
    // opens the menu bar at its first menu, so the File menu stays within reach of the keyboard.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [bar, file] { bar->setActiveAction(file->menuAction()); });

    TaskGrid->installEventFilter(this);
}

void TfrmToDo::btnExitClick()
{
    // The windows are destroyed, and the list and settings saved, once the event loop has ended.
    QCoreApplication::quit();
}

void TfrmToDo::btnMinimizeClick()
{
    TForm1::putAwayTaskWindow(this);
}

void TfrmToDo::btnAddClick()
{
    m_editing = false;
    AddTask();
}

void TfrmToDo::btnEditClick()
{
    m_editing = true;
    AddTask();
}

void TfrmToDo::btnRemoveClick()
{
    RemoveTask();
}

void TfrmToDo::btnCheckedClick()
{
    CheckTask();
}

void TfrmToDo::stopTimerForModal()
{
    Timer1->stop();
}

void TfrmToDo::restartTimerAfterModal()
{
    if (m_alarmsEnabled)
        Timer1->start();
}

void TfrmToDo::AddTask()
{
    if (!m_addTask)
        return;
    stopTimerForModal();
    m_addTask->execute(m_editing);
    restartTimerAfterModal();
    UpdateChecked();
}

void TfrmToDo::RemoveTask()
{
    bool remove = true;
    if (!m_settings.NoConfirmations)
        remove = MessageBox::show(this, MessageBox::Kind::Information, QStringLiteral("Remove this task?"),
                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
            == QMessageBox::Ok;
    if (remove) {
        if (TaskGrid->RowCount() > 2)
            TaskGrid->RemoveRows(TaskGrid->Row(), 1);
        else
            TaskGrid->ClearRows(1, 1);
    }
    SaveTaskList();
    RecordFileTimes();
    UpdateTaskCount();
    UpdateChecked();
}

void TfrmToDo::CheckTask()
{
    if (isTaskListEmpty())
        return;
    const int r = TaskGrid->Row();
    if (r < 1)
        return;
    if (!TaskGrid->Cells(TaskCol::Mark, r).isEmpty()) {
        btnChecked->setDown(false);
        TaskGrid->setCells(TaskCol::Mark, r, QString());
        TaskGrid->RemoveCellImage(TaskCol::Mark, r);
    } else {
        btnChecked->setDown(true);
        TaskGrid->setCells(TaskCol::Mark, r, kCheckedMark);
        TaskGrid->SetCellImage(TaskCol::Mark, r, 0, 2, 2);
    }
}

void TfrmToDo::UpdateChecked()
{
    const int r = TaskGrid->Row();
    btnChecked->setDown(r >= 1 && TaskGrid->Cells(TaskCol::Mark, r) == kCheckedMark);
}

bool TfrmToDo::TaskGridKeyDown(QKeyEvent* event)
{
    // The command follows the key alone, whatever Ctrl, Alt, Shift or Meta are held with it;
    // Alt+letters never come here, the toolbar's accelerators and the menu bar take them first.
    switch (event->key()) {
    case Qt::Key_Space:
        CheckTask();
        return true;
    case Qt::Key_Insert:
    case Qt::Key_Plus:    // keypad + and the =/+ key with Shift
    case Qt::Key_Equal:   // the =/+ key
        m_editing = false;
        AddTask();
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Minus:       // keypad - and the -/_ key
    case Qt::Key_Underscore:  // the -/_ key with Shift
        RemoveTask();
        return true;
    case Qt::Key_Menu:
        ShowGridPopupAtSelection();
        return true;
    case Qt::Key_F10:
        if (!(event->modifiers() & Qt::ShiftModifier))
            return false;  // F10 alone opens the menu bar
        ShowGridPopupAtSelection();
        return true;
    default:
        return false;
    }
}

void TfrmToDo::ShowGridPopupAtSelection()
{
    const int row = TaskGrid->Row();
    if (row < 1 || PopupMenu1->isVisible())
        return;
    TaskGrid->setCurrentCell(TaskGrid->Col(), row);  // scrolled into view
    const QRect cell = TaskGrid->cellRect(TaskGrid->Col(), row);
    const QPoint at = cell.isEmpty() ? QPoint(0, 0) : cell.bottomLeft() + QPoint(2, 0);
    PopupMenu1->popup(TaskGrid->viewport()->mapToGlobal(at));
}

void TfrmToDo::TaskGridKeyUp(QKeyEvent*)
{
    UpdateChecked();
}

namespace {
// Whether a point of the grid's viewport lies on the title row (its bottom grid line included).
bool onTitleRow(const TTextGrid* grid, const QPoint& pos)
{
    const QRect title = grid->cellRect(0, 0);
    return !title.isEmpty() && pos.y() <= title.bottom() + 1;
}
} // namespace

void TfrmToDo::TaskGridMouseDown(Qt::MouseButton button, const QPoint& viewportPos)
{
    UpdateChecked();
    if (button != Qt::RightButton || onTitleRow(TaskGrid, viewportPos))
        return;
    // Any x inside the cells finds the row; below the last row means the last row.
    int row = TaskGrid->cellAt(QPoint(2, viewportPos.y())).y();
    if (row < 0)
        row = TaskGrid->RowCount() - 1;
    if (row < 1)
        return;
    TaskGrid->setCurrentCell(TaskGrid->columnMap().realToDisplay(TaskCol::Task), row);
    UpdateChecked();
    PopupMenu1->popup(TaskGrid->viewport()->mapToGlobal(viewportPos));
}

void TfrmToDo::TaskGridDblClick(const QPoint& viewportPos)
{
    // A double click on a title is two title clicks (two sorts), not a request to edit.
    if (onTitleRow(TaskGrid, viewportPos))
        return;
    if (TaskGrid->DisplayToRealColumn(TaskGrid->Col()) == TaskCol::Mark) {
        CheckTask();
        return;
    }
    m_editing = !TaskGrid->Cells(TaskCol::Task, TaskGrid->Row()).isEmpty();
    AddTask();
}

bool TfrmToDo::gridCommandEvent(QObject* watched, QEvent* event)
{
    if (!TaskGrid)
        return false;
    if (watched == TaskGrid) {
        // A key the window acted on is spent: passed on, the grid would also look it up as
        // type-ahead and move the selection away from the task just acted on.
        if (event->type() == QEvent::KeyPress)
            return TaskGridKeyDown(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::KeyRelease)
            TaskGridKeyUp(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::ContextMenu
            && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            ShowGridPopupAtSelection();
            return true;
        }
        return false;
    }
    if (watched != TaskGrid->viewport() || m_passingGridMouse)
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return false;
    // The grid moves its selection first; the commands act on where it lands.
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    const Qt::MouseButton button = mouse->button();
    m_passingGridMouse = true;
    QCoreApplication::sendEvent(watched, event);
    m_passingGridMouse = false;
    if (type == QEvent::MouseButtonPress)
        TaskGridMouseDown(button, pos);
    else if (button == Qt::LeftButton)
        TaskGridDblClick(pos);
    return true;
}

void TfrmToDo::connectPreferences()
{
    if (m_prefs)
        m_prefs->setMainWindow(this, m_history);
    FlatButton1->setOnClick([this](TFlatButton*) { ShowPreferences(); });
    connect(mnuFilePreferences, &QAction::triggered, this, &TfrmToDo::ShowPreferences);
}

void TfrmToDo::ShowPreferences()
{
    if (!m_prefs)
        return;
    stopTimerForModal();
    m_prefs->exec();
    setupSharedList();  // sharing switched, or the data moved to another folder
    restartTimerAfterModal();
}

void TfrmToDo::setupSync()
{
    if (!m_sync) {
        sync::SyncEngine::Host host;
        host.rows = [this] {
            std::vector<sync::TaskRow> rows;
            const CellStore& cells = TaskGrid->cellStore();
            rows.reserve(size_t(std::max(0, cells.rowCount() - 1)));
            for (int r = 1; r < cells.rowCount(); ++r) {
                sync::TaskRow row = taskRow(cells, r);
                // An empty list's placeholder row is no task.
                if (std::any_of(row.begin(), row.end(), [](const QString& cell) { return !cell.isEmpty(); }))
                    rows.push_back(std::move(row));
            }
            return rows;
        };
        host.mayChange = [this] { return syncMayChangeList(); };
        host.replaceRows = [this](const std::vector<sync::TaskRow>& rows) { return replaceTaskRows(rows); };
        m_sync = new sync::TaskListSync(std::move(host), this);
        connect(m_sync, &sync::TaskListSync::statusChanged, this, [this](const QString& text) {
            const bool showingStatus = statusPanels[2]->text() == m_syncStatus;
            m_syncStatus = text;
            if (showingStatus)
                statusPanels[2]->setText(text);
        });
        m_prefs->setSyncProber(&sync::TaskListSync::probe);
        // Once the password is stored, so the new settings start with it.
        connect(m_prefs, &TfrmPrefs::syncServerChanged, this, [this] {
            m_sync->configure(m_settings.SyncUrl, m_settings.SyncUser, m_settings.SyncEnabled);
        });
    }
    m_sync->configure(m_settings.SyncUrl, m_settings.SyncUser, m_settings.SyncEnabled);
}

bool TfrmToDo::syncMayChangeList() const
{
    // A reminder, the add/edit dialog or an open cell edit refer to rows by number.
    return m_created && !m_inAlarmPass && !TaskGrid->EditorMode() && !QApplication::activeModalWidget()
        && !QApplication::activePopupWidget();
}

bool TfrmToDo::replaceTaskRows(const std::vector<sync::TaskRow>& rows)
{
    const CellStore& old = TaskGrid->cellStore();
    // The current task stays current wherever it moved to.
    const int currentRow = TaskGrid->Row();
    const QString currentUid = currentRow > 0 && currentRow < old.rowCount() && old.columnCount() > TaskCol::Reserved
        ? old.cell(TaskCol::Reserved, currentRow)
        : QString();
    CellStore cells;
    cells.setColumnCount(std::max<int>(TaskCol::Count, old.columnCount()));
    cells.setRowCount(int(std::max<size_t>(rows.size(), 1)) + 1);
    for (int c = 0; c < cells.columnCount(); ++c)
        cells.setCellUtf8(c, 0, old.cellUtf8(c, 0));
    int newCurrent = currentRow;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int r = int(i) + 1;
        for (int c = 0; c < TaskCol::Count; ++c)
            cells.setCell(c, r, rows[i][size_t(c)]);
        if (!currentUid.isEmpty() && rows[i][TaskCol::Reserved] == currentUid)
            newCurrent = r;
    }
    TaskGrid->replaceCells(std::move(cells));
    if (newCurrent > 0 && newCurrent < TaskGrid->RowCount())
        TaskGrid->setRow(newCurrent);
    attachTaskImages();
    UpdateTaskCount();
    UpdateChecked();
    TaskGrid->viewport()->update();
    m_applyingSync = true;
    const bool saved = SaveTaskList();
    m_applyingSync = false;
    return saved;
}

void TfrmToDo::LoadDataFiles()
{
    const QString dir = dataDirectory();
    if (loadGridFile(TaskGrid, dir + kTaskListFileName, false))
        attachTaskImages();
    if (QFile::exists(dir + kHistoryFileName))
        loadGridFile(m_history->TaskHistoryGrid, dir + kHistoryFileName, false);
    RecordFileTimes();
    m_shared.reset();  // what the new folder's files hold is agreed anew
    setupSharedList();
    UpdateTaskCount();
    UpdateChecked();
}

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
    TfrmImport dialog(TaskGrid, [this] { tasksImported(); }, this);
    dialog.exec();
}

void TfrmToDo::tasksImported()
{
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
    dialog.exec();
}

// --- a list shared through a folder ------------------------------------------------------------

namespace {
// Normally another copy holds the lock for a few milliseconds; a save waits this long for it at
// once, then tries again from a timer, and says so in the status bar after ten seconds.
constexpr int kSharedLockWaitMs = 2000;
constexpr int kSharedRetryMs = 250;
constexpr int kSharedWaitToldMs = 10000;
// At the end there is no later try: wait longer, then the list goes to a file of its own.
constexpr int kSharedExitLockWaitMs = 10000;
} // namespace

bool TfrmToDo::sharedListActive() const
{
    // A move to another folder is saved plainly; the new folder's files are agreed afterwards.
    return m_shared && m_settings.Networkable && m_shared->directory() == dataDirectory();
}

void TfrmToDo::setupSharedList()
{
    if (!m_sharedRetry) {
        m_sharedRetry = new QTimer(this);
        m_sharedRetry->setInterval(kSharedRetryMs);
        connect(m_sharedRetry, &QTimer::timeout, this, [this] { saveSharedTaskList(false, true); });
    }
    if (!m_settings.Networkable) {
        m_shared.reset();
        m_sharedRetry->stop();
        setSharedStatus(QString());
        m_history->setSaver(nullptr);
        return;
    }
    if (m_shared && m_shared->directory() == dataDirectory())
        return;
    m_sharedRetry->stop();
    setSharedStatus(QString());
    m_shared = std::make_shared<shared::SharedList>(dataDirectory());
    std::optional<CellStore> unsaved;
    TaskGrid->editCells([&](CellStore& cells) { unsaved = m_shared->agree(cells, m_history->TaskHistoryGrid->cellStore()); });
    // The history window outlives this one at the end, so its saver holds the shared list itself.
    m_history->setSaver([list = m_shared, grid = m_history->TaskHistoryGrid](const QString& directory) {
        if (directory != list->directory()) {
            grid->SaveToFile(directory + kHistoryFileName);
            return;
        }
        // Logging saves the task list right after: both reach their files under one hold of
        // the lock, let go once the command is done.
        shared::SharedList::Outcome o = list->saveHistory(grid->cellStore(), kSharedLockWaitMs, true);
        if (o.status != shared::SharedList::Outcome::Done)
            throw AppError(o.error);
        QTimer::singleShot(0, [weak = std::weak_ptr<shared::SharedList>(list)] {
            if (auto held = weak.lock())
                held->fileLock().unlock();
        });
        if (o.cells)
            grid->replaceCells(std::move(*o.cells));
    });
    // What could not reach the file at the last end joins it now.
    if (unsaved) {
        showMergedTasks(std::move(*unsaved));
        SaveTaskList();
    }
}

bool TfrmToDo::saveSharedTaskList(bool atExit, bool retrying)
{
    using Outcome = shared::SharedList::Outcome;
    // A save already waiting takes this change too: it reads the grid when it runs.
    if (!atExit && !retrying && m_sharedRetry->isActive())
        return true;
    if (!sharedListActive()) {
        m_sharedRetry->stop();
        setSharedStatus(QString());
        return SaveTaskList();
    }
    // At the end the grid may take the merged list whatever holds rows by number: nothing acts
    // on them any more.
    const bool mayChange = atExit || syncMayChangeList();
    // While a dialog holds rows by number a retry would only read and merge in vain.
    if (retrying && !mayChange)
        return true;
    const int wait = atExit ? kSharedExitLockWaitMs : retrying ? 0 : kSharedLockWaitMs;
    Outcome o = m_shared->saveTasks(TaskGrid->cellStore(), mayChange, wait);
    if (!o.notice.isEmpty())
        MessageBox::showError(this, o.notice);
    switch (o.status) {
    case Outcome::Done:
        m_sharedRetry->stop();
        setSharedStatus(QString());
        m_watch.recordTaskList(dataDirectory());
        // Whatever reached the file must be in the grid too, or the next save would drop it.
        if (o.cells)
            showMergedTasks(std::move(*o.cells));
        if (m_sync && !m_applyingSync)
            m_sync->listSaved();
        return true;
    case Outcome::Busy:
    case Outcome::Deferred:
        if (atExit)
            throw AppError(QStringLiteral("Could not save \"%1\": the shared list is in use by %2.")
                               .arg(dataDirectory() + kTaskListFileName, m_shared->fileLock().holderText()));
        if (!m_sharedRetry->isActive()) {
            m_sharedWaiting.start();
            m_sharedRetry->start();
        }
        if (o.status == Outcome::Busy && m_sharedWaiting.elapsed() >= kSharedWaitToldMs)
            setSharedStatus(QStringLiteral("Waiting to save: the shared list is in use by %1")
                                .arg(m_shared->fileLock().holderText()));
        return true;
    case Outcome::Failed:
        break;
    }
    m_sharedRetry->stop();
    setSharedStatus(QString());
    if (atExit)
        throw AppError(o.error);
    MessageBox::showError(this, o.error
                                    + QStringLiteral("\n\nYour tasks are still in the list; they will be saved "
                                                     "again with the next change or at exit."));
    return false;
}

void TfrmToDo::reloadSharedFiles()
{
    // A save waiting for the lock merges the file itself; a dialog or an open edit holds rows by
    // number, so the check waits for them (the file times stay unrecorded until then).
    if (m_sharedRetry->isActive() || !syncMayChangeList())
        return;
    const QString dir = dataDirectory();
    if (fileStamp(dir + kTaskListFileName) == m_watch.taskListStamp()
        && fileStamp(dir + kHistoryFileName) == m_watch.historyStamp())
        return;
    // Read under the lock: another copy's logging writes both files before it lets go. A folder
    // where no lock can be made (read-only) is read all the same.
    if (!m_shared->fileLock().tryLock() && m_shared->fileLock().error().isEmpty())
        return;
    const auto release = qScopeGuard([this] { m_shared->fileLock().unlock(); });
    if (m_watch.taskListChanged(dir)) {
        shared::SharedList::Outcome o = m_shared->reloadTasks(TaskGrid->cellStore());
        if (o.cells)
            showMergedTasks(std::move(*o.cells));
    }
    if (m_watch.historyChanged(dir)) {
        shared::SharedList::Outcome o = m_shared->reloadHistory(m_history->TaskHistoryGrid->cellStore());
        if (o.cells)
            m_history->TaskHistoryGrid->replaceCells(std::move(*o.cells));
    }
}

void TfrmToDo::showMergedTasks(CellStore&& cells)
{
    const CellStore& old = TaskGrid->cellStore();
    const int currentRow = TaskGrid->Row();
    const QString currentUid = currentRow > 0 && currentRow < old.rowCount() ? old.cell(TaskCol::Reserved, currentRow) : QString();
    int newCurrent = currentRow;
    if (!currentUid.isEmpty())
        for (int r = 1; r < cells.rowCount(); ++r)
            if (cells.cell(TaskCol::Reserved, r) == currentUid)
                newCurrent = r;
    TaskGrid->replaceCells(std::move(cells));
    if (newCurrent > 0 && newCurrent < TaskGrid->RowCount())
        TaskGrid->setRow(newCurrent);
    attachTaskImages();
    UpdateTaskCount();
    UpdateChecked();
    TaskGrid->viewport()->update();
}

void TfrmToDo::setSharedStatus(const QString& text)
{
    if (text == m_sharedStatus)
        return;
    m_sharedStatus = text;
    statusPanels[2]->setText(text.isEmpty() ? m_syncStatus : text);
}

} // namespace veltry
