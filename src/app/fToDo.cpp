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
#include "store/core/TaskListSaver.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
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
    // The saver's thread only posts; what its saves came to is taken here, on the window's.
    m_saver = std::make_unique<TaskListSaver>(
        [this] { QMetaObject::invokeMethod(this, [this] { takeSaveResults(); }, Qt::QueuedConnection); });
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
    setupUndo();
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
    // The first picture is the check mark, the second the notes sign; a check box is named by its task.
    describeGridPictures(g, TaskCol::Mark, 0, {QString(), QStringLiteral("has notes")}, TaskCol::Task,
                         QStringLiteral("Status"));
    for (int c = 0; c < TaskCol::Count; ++c)
        g->setColWidth(c, 64);
    g->OnGetCellColor = [this](TTextGrid*, int row, int col, TGridDrawState state, QColor& brush, TCellFont& font) {
        TaskGridGetCellColor(row, col, state, brush, font);
    };
    g->OnGetFormat = [this](TTextGrid*, int col, quint8& style) { TaskGridGetFormat(col, style); };
    g->OnTitleClickSort = [this](TTextGrid*, CellStore& cells, const SortRequest& request, int& current) {
        return TaskGridClickSort(cells, request, current);
    };
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

bool TfrmToDo::TaskGridClickSort(CellStore& cells, const SortRequest& request, int& current)
{
    // The tasks of each priority come by description; ordered together with the priorities, so
    // every row moves once.
    if (request.sortColumn != TaskCol::Priority)
        return false;
    sortByPriorityThenDescription(cells, request, current);
    return true;
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
    showStatusText(!text.isEmpty() ? text : !m_sharedStatus.isEmpty() ? m_sharedStatus : m_syncStatus);
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
    if (!sharedListActive())
        m_saver->prepareFollowing(TaskGrid->cellStore());
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
    if (m_beforeSave)
        std::exchange(m_beforeSave, nullptr)();
    if (sharedListActive())
        return saveSharedTaskList(false);
    m_saver->requestFollowing(TaskGrid->cellStore(), dataDirectory() + kTaskListFileName,
                              m_sync && !m_applyingSync);
    return true;
}

bool TfrmToDo::waitForSaves()
{
    // A logging run out saves the list when it comes back.
    settleSharedJobs();
    finishLogging(false);
    m_saver->waitUntilIdle();
    const bool saved = takeSaveResults();
    return settleSharedJobs() && saved;
}

bool TfrmToDo::takeSaveResults()
{
    const bool allSaved = handleSaveResults();
    runWhenSaved();
    return allSaved;
}

void TfrmToDo::whenSaved(std::function<void(bool)> done)
{
    if (m_whenSaved.empty())
        m_savesFailed = false;
    m_whenSaved.push_back(std::move(done));
    runWhenSaved();
}

void TfrmToDo::runWhenSaved()
{
    if (m_whenSaved.empty() || m_saver->busy() || m_sharedSaveAgain || (m_sharedWorker && m_sharedWorker->isOut())
        || (m_sharedRetry && m_sharedRetry->isActive()))
        return;
    handleSaveResults();  // one that ended since they were last taken
    const bool saved = !std::exchange(m_savesFailed, false);
    for (auto& done : std::exchange(m_whenSaved, {}))
        done(saved);
}

bool TfrmToDo::handleSaveResults()
{
    bool allSaved = true;
    for (TaskListSaver::Result& result : m_saver->takeResults()) {
        if (!result.saved) {
            allSaved = false;
            MessageBox::showError(this, result.error
                                            + QStringLiteral("\n\nYour tasks are still in the list; they will be saved "
                                                             "again with the next change or at exit."));
            continue;
        }
        // Our own write must never come back as another copy's change, or the shared-list check
        // would reload it over changes made since (a snooze given right after a removal).
        if (result.path == dataDirectory() + kTaskListFileName)
            m_watch.recordTaskList(dataDirectory());
        if (result.notify && m_sync)
            m_sync->listSaved();
    }
    m_savesFailed = m_savesFailed || !allSaved;
    return allSaved;
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
    // Until our own saves have landed and their times are recorded, a change is likely ours.
    if (m_saver->busy())
        return;
    takeSaveResults();
    const QString dir = dataDirectory();
    if (m_watch.taskListChanged(dir)) {
        if (loadGridFile(TaskGrid, dir + kTaskListFileName, false)) {
            m_saver->prepareFollowing(TaskGrid->cellStore());
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
    finishLogging(false);  // put off by a dialog that held rows
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
    hooks.raiseReminder = [this](int row, int typeIndex) {
        RowCells before = RowStep::keep(TaskGrid->cellStore(), row);
        const int rowsBefore = TaskGrid->RowCount();
        TfrmReminder::RaiseFor(this, row, typeIndex);
        reminderDone(std::move(before), row, rowsBefore);
    };
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
    settleLogging();
    m_whenSaved.clear();  // no message at the end, and the server's changes taken in anew
    const QString path = dataDirectory() + kTaskListFileName;
    try {
        if (sharedListActive()) {
            saveSharedTaskList(true);
        } else {
            // A save still running must not land after this one; one still waiting is outdone.
            m_saver->settle(path);
            m_saver->takeResults();
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
