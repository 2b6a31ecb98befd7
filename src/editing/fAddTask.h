#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace veltry {

class TCalComp;
class TMPanel;
class TPanelManager;
class TTimeEdit;
class TaskListHost;

// The add/edit task dialog, created once at start and kept for the whole run. The main window
// opens it with execute(); on OK the dialog writes the task into the main window's grid itself
// and saves the list.
class TfrmAddTask final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 371;

    explicit TfrmAddTask(QWidget* parent = nullptr);
    ~TfrmAddTask() override;

    // The grid, settings and saves the dialog works on, and the category list it offers.
    void setHost(TaskListHost* host);
    TaskListHost* host() const { return m_host; }

    // Fills the fields for a new task, or (editing) from the top row of the grid's selection,
    // and runs the dialog modally. True when the task was written with OK. Stopping and
    // restarting the alarm timer around it is the caller's part.
    bool execute(bool editing);
    bool isEditing() const { return m_editing; }

    // The recurrence type names by index ("one-time" .. "monthly").
    QStringList taskTypeNames() const;

    // The window's outer height for the expanded panels at the given dots per inch.
    static int heightFor(bool advExpanded, bool notesExpanded, qreal dotsPerInch);

    // Steps of the dialog, by the names they are known under.
    void FormActivate();
    void btnOKClick();
    void btnShowCalClick();
    void ShowCalendar();
    void edtDateChange();
    void mmoNotesChange();
    void PanelManager1PanelChange(TPanelManager* Sender, QWidget* Panel);

    // Upper part.
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edtTask = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* edtDate = nullptr;
    QPushButton* btnShowCal = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* cboCategory = nullptr;
    QLabel* Label10 = nullptr;
    QComboBox* edtPriority = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // Lower part.
    TPanelManager* PanelManager1 = nullptr;
    TMPanel* AdvPanel = nullptr;
    QLabel* Label8 = nullptr;
    TTimeEdit* edtTime = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cboTaskType = nullptr;
    QFrame* Panel5 = nullptr;
    QCheckBox* chkEnableAlarm = nullptr;
    TMPanel* NotesPanel = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* mmoNotes = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblCreateDate = nullptr;

    TCalComp* CalComp1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void buildUpperPart();
    void buildLowerPart();
    void openForAdding();
    void openForEditing();
    void commonOpeningSteps();
    void fillCategories();
    void setFieldEnabled(QWidget* field, bool enabled);
    void colourNotesTab();
    // Notes beyond a memo's comfortable size wait in m_heldNotes (as the cell holds them) until
    // the notes panel is open, so that opening the task stays quick and small.
    void setNotes(const QString& cellText);
    void showHeldNotes();
    bool hasNotes() const;
    void applyHeight();
    void centreOnScreen();
    qreal screenDotsPerInch() const;
    // The date the calendar opens on, from edtDate; nothing (after the error box) when a part
    // of the text is no whole number.
    bool calendarStart(int& day, int& month, int& year);
    // The task's fields into grid row `row`, columns in the order the grid file expects.
    void writeRow(int row);

    TaskListHost* m_host = nullptr;
    bool m_editing = false;
    // Height of the window frame above and below the client area, once the window system
    // has told us; the height rule is for the whole window.
    int m_frameExtraHeight = 0;
    int m_frameExtraWidth = 0;
    bool m_applyingHeight = false;
    QString m_heldNotes;
    bool m_notesHeld = false;
};

} // namespace veltry
