#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QStatusBar;

namespace veltry {

class TFlatButton;
class TTextGrid;

// The task history window; its grid is the history list, loaded at start and saved at the end.
// Created hidden at start and shown modally by the main window.
class TfrmTaskHistory final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmTaskHistory(QWidget* parent = nullptr);

    // Where the data files live; asked at save time because the folder may change while running.
    void setDataDirectoryProvider(std::function<QString()> provider) { m_dataDirectory = std::move(provider); }
    // Keeps the folder the provider names now and forgets the provider: the history is saved at
    // the end after the window that answers for the folder is gone.
    void freezeDataDirectory();
    // Saves the history file; throws AppError.
    void SaveHistory();
    // The end of the run: saves the history, reporting a failure.
    void FormDestroy();

    // Set by the opening command: whether clearing asks first, the timer every activation
    // stops, and who hears about a save (so the shared-list check skips our own write).
    void setNoConfirmations(bool on) { m_noConfirmations = on; }
    void setAlarmTimer(QTimer* timer) { m_alarmTimer = timer; }
    void setOnHistorySaved(std::function<void()> handler) { m_onSaved = std::move(handler); }
    // Writes the history in place of the plain save, given the data folder (a shared folder
    // merges it with the file); throws AppError. Empty: the plain save.
    void setSaver(std::function<void(const QString& directory)> saver) { m_saver = std::move(saver); }

    // Titles, widths and row numbers; run at creation and at every activation.
    void FormCreate();
    void FormActivate();
    // "Tasks: n" in the status bar, as the opening command shows it.
    void UpdateHistoryCount();
    // Seven columns and at least the title row and one entry row, whatever a file held.
    void ensureHistoryShape();

    void btnCloseClick();
    void btnClearClick();
    // Prints the history at once (true) or shows its preview (false), always without the notes.
    void PrintHistory(bool print);
    void btnPrintClick();
    void btnPrintPreviewClick();
    void TaskHistoryGridClick();
    void TaskHistoryGridClickSort();

    TTextGrid* TaskHistoryGrid = nullptr;
    QWidget* pnlToolbar = nullptr;
    TFlatButton* btnClose = nullptr;
    TFlatButton* btnClear = nullptr;
    TFlatButton* btnPrintPreview = nullptr;
    TFlatButton* FlatButton2 = nullptr;
    QLabel* lblNotes = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 1> statusPanels{};

    static constexpr QSize kDesignedSize{453, 307};

protected:
    bool event(QEvent* event) override;

private:
    void setTitlesAndWidths();
    void setupPrinting();
    bool saveReportingFailure();

    std::function<QString()> m_dataDirectory;
    std::function<void()> m_onSaved;
    std::function<void(const QString&)> m_saver;
    QPointer<QTimer> m_alarmTimer;
    bool m_noConfirmations = false;
};

} // namespace veltry
