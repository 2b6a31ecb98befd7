#pragma once

#include <QObject>
#include <memory>

namespace veltry {

class TForm1;
class TfrmPrefs;
class TfrmTaskHistory;
class TfrmToDo;
class TfrmAddTask;
class UnixSignals;
class TPreviousInstance;

// The program's run: the five long-lived windows created in order (the add/edit dialog when it
// is first opened), the event loop, and their destruction in reverse order with the saves that
// go with it.
class VeltryApp final : public QObject
{
    Q_OBJECT

public:
    VeltryApp();
    ~VeltryApp() override;

    // Checks for a running copy first: when there is one, asks it to show its window and
    // returns false before anything is created, read or written. Otherwise creates the windows
    // (each completely before the next) and returns true.
    bool start();
    // Runs the event loop, then ends the run; returns the exit code (0 at once for a second copy).
    int run();
    // Destroys the windows in reverse order: task list and settings, then history, are saved.
    void shutdown();

    TForm1* form1() const { return m_form1; }
    TfrmPrefs* prefs() const { return m_prefs; }
    TfrmTaskHistory* history() const { return m_history; }
    TfrmToDo* toDo() const { return m_toDo; }
    // The add/edit dialog, made on first use (nullptr once the run has ended).
    TfrmAddTask* addTask();
    bool isSecondCopy() const { return m_secondCopy; }
    // SIGTERM, SIGINT, SIGHUP: close whatever window or box is open, leave every event loop and
    // end with the saves, whether the run is starting, running or already ending.
    void endBySignal();
    bool endingBySignal() const { return m_endingBySignal; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1* m_form1 = nullptr;
    TfrmPrefs* m_prefs = nullptr;
    TfrmTaskHistory* m_history = nullptr;
    TfrmToDo* m_toDo = nullptr;
    TfrmAddTask* m_addTask = nullptr;
    std::unique_ptr<UnixSignals> m_signals;
    std::unique_ptr<TPreviousInstance> m_previous;
    bool m_shutDown = false;
    bool m_secondCopy = false;
    bool m_endingBySignal = false;
};

} // namespace veltry
