#include "app/VeltryApp.h"

#include "app/fToDo.h"
#include "config/fPrefs2.h"
#include "editing/fAddTask.h"
#include "history/fHistory.h"
#include "platform/UnixSignals.h"
#include "tray/TrayT1.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>

namespace veltry {

VeltryApp::VeltryApp()
{
    QApplication::setApplicationName(QStringLiteral("Veltry"));
    QApplication::setApplicationDisplayName(QStringLiteral("Veltry Professional"));
    QApplication::setQuitOnLastWindowClosed(false);
}

VeltryApp::~VeltryApp()
{
    shutdown();
}

void VeltryApp::start()
{
    m_signals = std::make_unique<UnixSignals>();
    connect(m_signals.get(), &UnixSignals::terminationRequested, qApp, &QCoreApplication::quit);

    m_form1 = new TForm1();
    m_prefs = new TfrmPrefs();
    m_history = new TfrmTaskHistory();
    m_toDo = new TfrmToDo(m_prefs, m_history);
    m_toDo->FormCreate();
    m_addTask = new TfrmAddTask();
    m_addTask->setMainWindow(m_toDo, m_prefs);

    // A logout may end the process without returning from the event loop: save while we can.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (m_toDo)
            m_toDo->saveEverything();
    });
}

int VeltryApp::run()
{
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
}

} // namespace veltry
