#include "sync/Credentials.h"

#include "platform/core/Settings.h"
#include "platform/core/AppError.h"
#include "platform/core/ConfigStore.h"
#include "sync/core/SyncState.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>

namespace veltry::Credentials {

namespace {

const QString kService = QStringLiteral("veltry");
const QString kFileValue = QStringLiteral("SyncPassword");

ConfigStore* g_store = nullptr;

ConfigStore& store()
{
    return g_store ? *g_store : ConfigStore::shared();
}

struct Answer
{
    bool timedOut = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString text;
};

// No keyring service to talk to: the settings file stands in for it.
bool noKeyring(const Answer& a)
{
    return a.timedOut || a.error == QKeychain::NoBackendAvailable || a.error == QKeychain::OtherError
        || a.error == QKeychain::NotImplemented;
}

// Starts `job` and hands its answer (or a time-out) to `finished` once, later, on the event
// loop, while `context` lives. A job that never answers is left to itself; nothing waits on it.
void run(QKeychain::Job* job, QObject* context, std::function<void(const Answer&)> finished)
{
    job->setAutoDelete(true);
    auto answered = std::make_shared<bool>(false);
    QPointer<QObject> guard(context);
    auto* timer = new QTimer(context);
    timer->setSingleShot(true);
    auto deliver = [answered, guard, timer, finished](const Answer& a) {
        if (*answered)
            return;
        *answered = true;
        if (!guard)
            return;
        timer->deleteLater();
        // Queued, so an answer the job gives inside start() does not reach the caller before
        // the call that asked for it has returned.
        QMetaObject::invokeMethod(
            guard.data(), [guard, finished, a] { if (guard) finished(a); }, Qt::QueuedConnection);
    };
    QObject::connect(timer, &QTimer::timeout, context, [deliver] {
        Answer a;
        a.timedOut = true;
        deliver(a);
    });
    QObject::connect(job, &QKeychain::Job::finished, context, [deliver](QKeychain::Job* j) {
        Answer a;
        a.error = j->error();
        a.errorText = j->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(j))
            a.text = read->textData();
        deliver(a);
    });
    timer->start(kKeyringTimeoutMs);
    job->start();
}

QString filePassword()
{
    ConfigKey key(store(), SettingsIO::kRoot, SettingsIO::kKey, false);
    try {
        if (key.isOpen() && key.valueExists(kFileValue)) {
            // A file that holds the password keeps being written privately.
            store().setPrivateFile(true);
            return key.readString(kFileValue);
        }
    } catch (const AppError&) {
        // Stored as a number: no password.
    }
    return {};
}

// Puts the password into the file, or takes it out when empty. The error text, null when done.
QString setFilePassword(const QString& password)
{
    try {
        ConfigKey key(store(), SettingsIO::kRoot, SettingsIO::kKey, true);
        if (password.isEmpty()) {
            key.deleteValue(kFileValue);
        } else {
            store().setPrivateFile(true);
            key.writeString(kFileValue, password);
        }
        key.close();
    } catch (const AppError& e) {
        return e.message();
    }
    return {};
}

} // namespace

void setStore(ConfigStore* s)
{
    g_store = s;
}

void readPassword(const QString& url, const QString& user, QObject* context,
                  std::function<void(const QString& password)> done)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(sync::accountOf(url, user));
    run(job, context, [done](const Answer& a) {
        if (a.error == QKeychain::NoError && !a.timedOut)
            done(a.text);
        else
            done(filePassword());  // kept there while no keyring ran, or none at all
    });
}

void writePassword(const QString& url, const QString& user, const QString& password, QObject* context,
                   std::function<void(bool inKeyring, const QString& error)> done)
{
    if (password.isEmpty()) {
        auto* job = new QKeychain::DeletePasswordJob(kService);
        job->setKey(sync::accountOf(url, user));
        run(job, context, [done](const Answer& a) {
            QString error = setFilePassword({});
            if (error.isNull() && a.error != QKeychain::NoError && a.error != QKeychain::EntryNotFound && !noKeyring(a))
                error = a.errorText;
            done(false, error);
        });
        return;
    }
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(sync::accountOf(url, user));
    job->setTextData(password);
    run(job, context, [done, password](const Answer& a) {
        if (a.error == QKeychain::NoError && !a.timedOut) {
            done(true, setFilePassword({}));
        } else if (noKeyring(a)) {
            done(false, setFilePassword(password));
        } else {
            done(false, a.errorText);
        }
    });
}

void probeKeyring(QObject* context, std::function<void(bool available)> done)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(QStringLiteral("probe"));
    run(job, context, [done](const Answer& a) { done(!noKeyring(a)); });
}

} // namespace veltry::Credentials
