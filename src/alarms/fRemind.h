#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace veltry {

class TTextGrid;
class TaskListHost;

// The window that says a task with its alarm on has fallen due. It is made for one task, shown
// modally and freed; its four actions write straight into that task's row of the task grid.
class TfrmReminder final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmReminder(TTextGrid* taskGrid, QWidget* parent = nullptr);
    ~TfrmReminder() override;

    // Makes, fills, shows and frees the reminder for `row` of the host's task list.
    // `typeIndex` is the row's recurrence type, -1 for a type cell that names none.
    static void RaiseFor(TaskListHost* owner, int row, int typeIndex);

    // Test seam: while set, RaiseFor shows the window without a modal loop and hands it to the
    // hook, which acts on it; the window is freed when the hook returns.
    static void setShowHook(std::function<void(TfrmReminder*)> hook);

    int taskRow() const { return m_row; }
    void setTaskRow(int row) { m_row = row; }

    // Called after the removal has changed the grid: the list is saved and recounted.
    std::function<void()> OnTaskRemoved;

    void FormActivate();
    void btnSnoozeClick();
    void btnCancelAlarmClick();
    void btnRemoveTaskClick();
    void btnRolloverClick();

    // Interval of each snooze choice in seconds, in the order of cboSnooze.
    static const int kSnoozeSeconds[6];

    QFrame* Panel1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lblTaskName = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* lblOwner = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* lblPriority = nullptr;
    QPushButton* btnSnooze = nullptr;
    QComboBox* cboSnooze = nullptr;
    QPushButton* btnCancelAlarm = nullptr;
    QPushButton* btnRemoveTask = nullptr;
    QFrame* pnlTaskType = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblTaskType = nullptr;
    QPushButton* btnRollover = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool rowIsValid() const;

    TTextGrid* m_grid;
    int m_row = -1;
};

} // namespace veltry
