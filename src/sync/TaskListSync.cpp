#include "sync/TaskListSync.h"

#include "platform/MessageBox.h"
#include "sync/Credentials.h"

#include <QTimer>
#include <QWidget>

namespace veltry::sync {

TaskListSync::TaskListSync(SyncEngine::Host host, QWidget* window)
    : QObject(window), m_window(window)
{
    m_client = new CalDavClient(this);
    m_engine = new SyncEngine(m_client, std::move(host), stateFilePath(), this);
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    m_afterSave = new QTimer(this);
    m_afterSave->setSingleShot(true);
    m_afterSave->setInterval(kAfterSaveMs);
    connect(m_poll, &QTimer::timeout, m_engine, &SyncEngine::syncNow);
    connect(m_afterSave, &QTimer::timeout, m_engine, &SyncEngine::syncNow);
    connect(m_engine, &SyncEngine::statusChanged, this, [this](const QString& text) {
        if (m_enabled)
            emit statusChanged(text);
    });
    connect(m_engine, &SyncEngine::serverRemovalsHeld, this, &TaskListSync::askAboutServerRemovals);
}

TaskListSync::~TaskListSync() = default;

void TaskListSync::configure(const QString& url, const QString& user, bool enabled)
{
    ++m_configuration;
    m_poll->stop();
    m_afterSave->stop();
    m_enabled = enabled && !url.trimmed().isEmpty();
    m_url = url.trimmed();
    m_user = user;
    if (!m_enabled) {
        emit statusChanged(QString());
        return;
    }
    const quint64 configuration = m_configuration;
    Credentials::readPassword(m_url, m_user, this, [this, configuration](const QString& password) {
        if (configuration == m_configuration)
            start(password);
    });
}

void TaskListSync::start(const QString& password)
{
    m_client->setServer(QUrl(m_url), m_user, password);
    m_engine->setAccount(accountOf(m_client->collection().toString(), m_user));
    m_poll->start();
    m_engine->syncNow();
}

void TaskListSync::listSaved()
{
    if (m_enabled && m_poll->isActive())
        m_afterSave->start();
}

void TaskListSync::tasksLogged(const std::vector<TaskRow>& rows, const QDateTime& at)
{
    if (m_enabled)
        m_engine->noteLogged(rows, at);
}

void TaskListSync::askAboutServerRemovals(int count, int of)
{
    if (!m_enabled)
        return;
    // Asked from the event loop, not from inside the engine's cycle.
    QTimer::singleShot(0, this, [this, count, of] {
        const auto answer = MessageBox::show(
            m_window, MessageBox::Kind::Information,
            QStringLiteral("The calendar server no longer holds %1 of the %2 tasks your list shares with it. "
                           "So many at once look like a mistake, so they were kept in your list.\n\n"
                           "Remove them from your list as well? A copy of them is kept first. "
                           "No puts them back on the server.")
                .arg(count)
                .arg(of),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (!m_enabled)
            return;
        m_engine->answerServerRemovals(answer == QMessageBox::Yes);
        m_engine->syncNow();
    });
}

void TaskListSync::probe(const QUrl& url, const QString& user, const QString& password,
                         std::function<void(const QString& error, const QString& name)> done)
{
    auto* client = new CalDavClient;
    client->setServer(url, user, password);
    client->probe([client, done = std::move(done)](const DavError& error, const QString& name) {
        done(error ? error.message : QString(), name);
        client->deleteLater();
    });
}

} // namespace veltry::sync
