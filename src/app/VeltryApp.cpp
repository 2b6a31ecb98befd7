#include "app/VeltryApp.h"

#include "platform/AppIcons.h"
#include "app/fToDo.h"
#include "config/fPrefs2.h"
#include "editing/fAddTask.h"
#include "history/fHistory.h"
#include "platform/MessageBox.h"
#include "platform/UnixSignals.h"
#include "platform/WindowPlacement.h"
#include "tray/SingleInst.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/Accessibility.h"
#include "widgets/ReadableColors.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>

namespace veltry {

VeltryApp::VeltryApp()
{
    QApplication::setApplicationName(QStringLiteral("Veltry"));
    // No display name: the platform would append it to every window's title, and the program's
    // windows carry exactly their own titles.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(AppIcons::programIcon());
    installAccessibleWidgets();
    makeSelectionReadable();
}

VeltryApp::~VeltryApp()
{
    shutdown();
}

bool VeltryApp::start()
{
    // Decided before any window exists: a second copy must not load, save or write a setting
    // (window creation alone would write the grid's column widths).
    const QString name = TPreviousInstance::nameForProgram(QCoreApplication::applicationFilePath());
    m_previous = std::make_unique<TPreviousInstance>(name);
    if (m_previous->AlreadyRunning) {
        m_previous.reset();
        m_secondCopy = true;
        m_shutDown = true;
        // The token the desktop started us with lets the running copy's window take the focus.
        TSingleInstance::bringRunningForward(name, 3000, qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
        return false;
    }

    // Ending the run must not depend on every window agreeing to close: the task window
    // refuses, as closing it only puts it away.
    qApp->installEventFilter(this);
    m_signals = std::make_unique<UnixSignals>();
    connect(m_signals.get(), &UnixSignals::terminationRequested, this, &VeltryApp::endBySignal);

    m_form1 = new TForm1(m_previous.get());
    m_prefs = new TfrmPrefs();
    m_history = new TfrmTaskHistory();
    m_toDo = new TfrmToDo(m_prefs, m_history);
    m_form1->setTaskWindow(m_toDo);
    m_toDo->FormCreate();
    // Started minimised on a desktop without a tray, the window would be out of reach.
    if (!m_toDo->isVisible() && m_toDo->settings().StartMinimized && !TTrayIcon::isTrayAvailable())
        m_toDo->showMinimized();
    m_toDo->setAddTaskDialog([this] { return addTask(); });
    if (!m_previous->holdsName())
        MessageBox::show(m_toDo, MessageBox::Kind::Warning,
                         QStringLiteral("No lock file could be made to keep a second copy of the program from "
                                        "starting, so this copy runs unguarded. Two copies running at once can save "
                                        "an older task list over a newer one."));

    // A logout may end the process without returning from the event loop: save while we can.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        // The session ends us soon after; a box now would only hold the logout up.
        const bool wasEnding = MessageBox::isEnding();
        MessageBox::setEnding(true);
        if (m_toDo)
            m_toDo->saveEverything();
        MessageBox::setEnding(wasEnding);
    });
    return true;
}

TfrmAddTask* VeltryApp::addTask()
{
    // Not needed to show the task window, so not made before it is first opened.
    if (!m_addTask && m_toDo && !m_shutDown) {
        m_addTask = new TfrmAddTask();
        m_addTask->setHost(m_toDo);
    }
    return m_addTask;
}

namespace {
// Every modal window and pop-up that is open now, innermost first, is closed as if cancelled.
void closeModalWindows()
{
    while (QWidget* popup = QApplication::activePopupWidget())
        if (!popup->close())
            break;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowModality() == Qt::NonModal)
            continue;
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->done(QDialog::Rejected);
        else
            w->hide();
    }
}
} // namespace

void VeltryApp::endBySignal()
{
    m_endingBySignal = true;
    MessageBox::setEnding(true);
    closeModalWindows();
    // Leaves every running loop, the nested ones of modal windows included; a run still starting
    // does not enter its loop at all (run() checks the flag).
    QCoreApplication::exit(0);
}

bool VeltryApp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::Quit) {
        QCoreApplication::exit(0);
        return true;
    }
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow() && (window->windowType() == Qt::Window || window->windowType() == Qt::Dialog))
            keepWindowOnScreen(window);
    }
    // A window that opens modally while the run ends by a signal is cancelled at once.
    if (m_endingBySignal && event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && dialog->isModal())
            QMetaObject::invokeMethod(dialog, [dialog = QPointer<QDialog>(dialog)] {
                if (dialog)
                    dialog->done(QDialog::Rejected);
            }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

int VeltryApp::run()
{
    if (m_secondCopy)
        return 0;
    if (m_endingBySignal) {
        shutdown();
        return 0;
    }
    const int code = QApplication::exec();
    shutdown();
    return code;
}

void VeltryApp::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    delete m_addTask;
    m_addTask = nullptr;
    if (m_toDo) {
        m_toDo->FormDestroy();
        delete m_toDo;
        m_toDo = nullptr;
    }
    if (m_history) {
        m_history->FormDestroy();
        delete m_history;
        m_history = nullptr;
    }
    delete m_prefs;
    m_prefs = nullptr;
    delete m_form1;
    m_form1 = nullptr;
    m_signals.reset();
    if (qApp)
        qApp->removeEventFilter(this);
    // Released only now, after the saves, so a new copy cannot read the files half-written.
    m_previous.reset();
}

} // namespace veltry
