#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace veltry {

// The start-up check: takes a per-user name or learns that a running copy holds it. The name
// stays taken while this object lives and is free again as soon as the process ends in any
// way (the kernel drops the lock with the process), so a crash never blocks the next start.
class TPreviousInstance final
{
public:
    explicit TPreviousInstance(const QString& name);
    ~TPreviousInstance();
    Q_DISABLE_COPY_MOVE(TPreviousInstance)

    // True when another copy holds the name; this object then holds nothing.
    bool AlreadyRunning = false;

    const QString& name() const { return m_name; }
    // False when the name could not be taken at all (the program then runs unguarded).
    bool holdsName() const { return m_lock >= 0; }

    // The name derived from the program file: the file name up to its first ".", first
    // letter in upper case, the rest in lower case, at most 255 characters ("veltry" gives
    // "Veltry").
    static QString nameForProgram(const QString& programFilePath);
    // Where the lock and the channel of `name` live: the per-user runtime folder, or where a
    // lock can be had when that folder cannot be written (the settings folder, then a private
    // folder under /tmp). Empty when no lock can be had anywhere.
    static QString guardDirectory(const QString& name);
    static QString lockFilePath(const QString& name);
    static QString channelPath(const QString& name);

private:
    QString m_name;
    int m_lock = -1;
};

// Sits on the hidden main form. In the copy that holds the name it listens on a per-user
// channel for later copies asking it to come forward; in a later copy it sends that request
// and ends the run.
class TSingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit TSingleInstance(const TPreviousInstance* previous, QObject* parent = nullptr);
    ~TSingleInstance() override;
    Q_DISABLE_COPY_MOVE(TSingleInstance)

    // Descriptive text; no effect on the run.
    QString About = QStringLiteral("Allows one running copy of the program per user");

    bool isListening() const;

    // Asks the copy holding `name` to show its window, retrying while that copy is still
    // starting. True when the request was delivered within `timeoutMs`. `activationToken` is
    // the one the desktop started this copy with (on Wayland, XDG_ACTIVATION_TOKEN): with it
    // the running copy may take the focus, which the compositor refuses a window otherwise.
    static bool bringRunningForward(const QString& name, int timeoutMs = 3000,
                                    const QString& activationToken = QString());

    // Whether `token` can travel in a request: one line of printable ASCII, not too long.
    static bool isSendableToken(const QString& token);

Q_SIGNALS:
    // A later copy asked this one to show its window, handing on its activation token (empty
    // when it had none).
    void showRequested(const QString& activationToken);

private:
    void listen(const QString& name);
    void readRequest(QLocalSocket* socket);

    std::unique_ptr<QLocalServer> m_server;
};

} // namespace veltry
