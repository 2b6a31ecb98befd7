#pragma once

#include "config/core/Settings.h"
#include "store/core/DataFiles.h"
#include "widgets/ImageList.h"
#include "widgets/TextGrid.h"

#include <QMainWindow>
#include <array>

class QLabel;
class QTimer;

namespace veltry {

class TTextGrid;
class TfrmTaskHistory;
class TfrmPrefs;

// The task window: the task list in its grid, the status bar and the one-second timer. Created
// fourth at start; FormCreate loads settings and data, FormDestroy saves them.
class TfrmToDo : public QMainWindow
{
    Q_OBJECT

public:
    TfrmToDo(TfrmPrefs* prefs, TfrmTaskHistory* history, QWidget* parent = nullptr);
    ~TfrmToDo() override;

    void FormCreate();
    void FormDestroy();

    // One tick of Timer1: alarms, day icon, shared-list check.
    void Timer1Timer();
    virtual void CheckAlarms() {}

    // Saves the task list file; a failure is shown with the file's name and reason, and the list
    // stays in memory. Returns whether it was saved.
    bool SaveTaskList();
    void RecordFileTimes();
    // The shared-list check: reload a data file another copy changed.
    void ReloadChangedFiles();
    void UpdateTaskCount();
    // Saves list and settings now (logout, where the end may never come).
    void saveEverything();

    // Moves the checked tasks into the history, saves both files and says how many went
    // (unless confirmations are off or this is the start-up logging). Returns how many.
    int LogTasks();
    // Opens the history window modally, with Timer1 off meanwhile; the menu's form places it
    // beside this window's corner, the toolbar's leaves it where it was.
    void ViewHistory(bool fromMenu);

    // Grid callbacks: row colour by priority, date order of the due column, description order
    // after a sort by priority, notes as hints.
    void TaskGridGetCellColor(int row, int col, TGridDrawState state, QColor& brush, TCellFont& font);
    void TaskGridGetFormat(int col, quint8& style);
    void TaskGridClickSort(int col);
    void TaskGridGridHint(int row, int col, QString& hint);
    // "Auto-fit Column Widths": fit every shown column, then give the Task column the rest.
    void AutoFitColumnWidths();
    // The help text in the status bar's third panel.
    void setStatusHelp(const QString& text);

    QString dataDirectory() const;
    bool isTaskListEmpty() const;
    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    bool dayFirst() const { return m_dayFirst; }
    bool alarmsEnabled() const { return m_alarmsEnabled; }
    void setAlarmsEnabled(bool on);
    const QString& programDirectory() const { return m_programDir; }

    TTextGrid* TaskGrid = nullptr;
    QTimer* Timer1 = nullptr;
    QWidget* pnlToolbar = nullptr;
    std::array<QLabel*, 3> statusPanels{};
    TImageList ImageList2{QSize(14, 12)};

    static const QRect kDesignedFrame;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void setupTaskGrid();
    void setupEmptyTaskList();
    void loadTaskList();
    void loadHistory();
    void attachTaskImages();
    void applyColumnSettings();
    void saveSettings();
    QColor priorityColor(int row) const;
    // Loads a data file into a grid; on a damaged file keeps an untouched copy beside it and
    // says where. `partialOk` keeps what was read (start-up); otherwise the grid stays as it was.
    bool loadGridFile(TTextGrid* grid, const QString& path, bool partialOk);

    TfrmPrefs* m_prefs;
    TfrmTaskHistory* m_history;
    Settings m_settings;
    DataFileWatch m_watch;
    QString m_programDir;
    int m_sortKeys[4] = {5, 0, 2, 0};
    bool m_editing = false;
    bool m_alarmsEnabled = true;
    bool m_dayFirst = false;
    bool m_loggingAtStart = false;
    bool m_created = false;
};

} // namespace veltry
