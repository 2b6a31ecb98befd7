#include "tray/SingleInst.h"

#include "platform/core/DataPaths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltry {

namespace {
const QByteArray kShowRequest = "show\n";
const QByteArray kShowAnswer = "ok\n";
// Sent before the request when the later copy has an activation token. Copies of older
// editions skip lines they do not know, so they still answer the request that follows.
const QByteArray kTokenPrefix = "token ";
constexpr int kMaxTokenLength = 512;

QString userName()
{
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(getuid());
}

// A private folder under /tmp: made 0700, and taken only when it is a real folder of ours that
// nobody else can enter (another user could otherwise plant a lock of their own there).
QString privateTempDirectory()
{
    const QByteArray dir = QFile::encodeName(QStringLiteral("/tmp/veltry-%1").arg(getuid()));
    ::mkdir(dir.constData(), 0700);
    struct stat st = {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0)
        return {};
    return QFile::decodeName(dir);
}

// Where a lock can be had, in order: the desktop's runtime folder, the program's settings folder,
// then a private folder under /tmp. Every copy walks the same list, so all copies meet in the
// same folder.
QStringList guardCandidates()
{
    QStringList dirs;
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QFileInfo(xdg).isDir())
        dirs << xdg;
    else
        // Qt makes a private per-user folder under the temporary folder when the desktop gave none.
        dirs << QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QString config = DataPaths::configDirectory();
    QDir().mkpath(config);
    if (config.endsWith(QLatin1Char('/')))
        config.chop(1);
    dirs << config;
    if (const QString tmp = privateTempDirectory(); !tmp.isEmpty())
        dirs << tmp;
    return dirs;
}

enum class LockTry { Held, HeldElsewhere, Unusable };

// Opens and locks `path`; on Held the descriptor is left in `fd`.
LockTry tryLock(const QString& path, int& fd)
{
    // Close-on-exec: a program started from here (a browser for the help) must not inherit the
    // lock and keep the name taken after this copy has ended.
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return LockTry::Unusable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return LockTry::Held;
    const int error = errno;
    ::close(fd);
    fd = -1;
    return error == EWOULDBLOCK ? LockTry::HeldElsewhere : LockTry::Unusable;
}

// The user's name is in the file name as well as in the folder: the stand-in folder may be
// shared by everyone.
QString baseName(const QString& name)
{
    return name + QLatin1Char('-') + userName();
}
} // namespace

QString TPreviousInstance::nameForProgram(const QString& programFilePath)
{
    QString name = QFileInfo(programFilePath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    // The title a program gets from its file name: the first character as it is, the rest in
    // lower case.
    name = name.left(1) + name.mid(1).toLower();
    return name.left(255);
}

QString TPreviousInstance::guardDirectory(const QString& name)
{
    for (const QString& dir : guardCandidates()) {
        int fd = -1;
        const LockTry result = tryLock(dir + QLatin1Char('/') + baseName(name) + QStringLiteral(".lock"), fd);
        if (fd >= 0)
            ::close(fd);
        if (result != LockTry::Unusable)
            return dir;
    }
    return {};
}

QString TPreviousInstance::lockFilePath(const QString& name)
{
    const QString dir = guardDirectory(name);
    return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + baseName(name) + QStringLiteral(".lock");
}

QString TPreviousInstance::channelPath(const QString& name)
{
    QString dir = guardDirectory(name);
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    dir += QLatin1Char('/');
    QString path = dir + baseName(name) + QStringLiteral(".sock");
    // A socket address holds about a hundred bytes; a long program name goes in hashed.
    if (path.toLocal8Bit().size() > 100) {
        const QByteArray hash = QCryptographicHash::hash(baseName(name).toUtf8(), QCryptographicHash::Sha1).toHex();
        path = dir + QStringLiteral("veltry-") + QString::fromLatin1(hash.left(16)) + QStringLiteral(".sock");
    }
    return path;
}

TPreviousInstance::TPreviousInstance(const QString& name) : m_name(name)
{
    for (const QString& dir : guardCandidates()) {
        int fd = -1;
        switch (tryLock(dir + QLatin1Char('/') + baseName(name) + QStringLiteral(".lock"), fd)) {
        case LockTry::Held:
            m_lock = fd;
            return;
        case LockTry::HeldElsewhere:
            AlreadyRunning = true;
            return;
        case LockTry::Unusable:
            break;  // the next folder
        }
    }
    // No lock anywhere: the program runs unguarded (holdsName() says so).
}

TPreviousInstance::~TPreviousInstance()
{
    if (m_lock >= 0)
        ::close(m_lock);  // closing the only descriptor drops the lock
}

TSingleInstance::TSingleInstance(const TPreviousInstance* previous, QObject* parent) : QObject(parent)
{
    if (!previous)
        return;
    if (previous->AlreadyRunning) {
        bringRunningForward(previous->name());
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        return;
    }
    if (previous->holdsName())
        listen(previous->name());
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

void TSingleInstance::listen(const QString& name)
{
    const QString path = TPreviousInstance::channelPath(name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whoever holds the lock owns the channel, so a socket file still there was left by a copy
    // that died without cleaning up.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        qWarning("Cannot listen on %s: %s", qPrintable(path), qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
            if (socket->canReadLine())
                readRequest(socket);
        }
    });
}

bool TSingleInstance::isSendableToken(const QString& token)
{
    if (token.isEmpty() || token.size() > kMaxTokenLength)
        return false;
    return std::all_of(token.begin(), token.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

void TSingleInstance::readRequest(QLocalSocket* socket)
{
    // A line longer than any request is not ours: drop the connection rather than buffer it.
    if (!socket->canReadLine() && socket->bytesAvailable() > kMaxTokenLength + 64) {
        socket->abort();
        return;
    }
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxTokenLength + 64);
        if (line.startsWith(kTokenPrefix) && line.endsWith('\n')) {
            const QString token = QString::fromLatin1(line.mid(kTokenPrefix.size()).chopped(1));
            socket->setProperty("activationToken", isSendableToken(token) ? token : QString());
        } else if (line == kShowRequest) {
            socket->write(kShowAnswer);
            socket->flush();
            Q_EMIT showRequested(socket->property("activationToken").toString());
        }
    }
}

bool TSingleInstance::bringRunningForward(const QString& name, int timeoutMs, const QString& activationToken)
{
    QByteArray request = kShowRequest;
    if (isSendableToken(activationToken))
        request.prepend(kTokenPrefix + activationToken.toLatin1() + '\n');
    const QString path = TPreviousInstance::channelPath(name);
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(int(qMin<qint64>(500, deadline.remainingTime())))) {
            socket.write(request);
            if (socket.waitForBytesWritten(int(deadline.remainingTime()))) {
                // Wait for the answer, so the request is known to have arrived.
                while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
                }
                if (socket.canReadLine() && socket.readLine() == kShowAnswer)
                    return true;
            }
            return false;
        }
        // The running copy may still be starting and not listen yet.
        QThread::msleep(100);
    }
    return false;
}

} // namespace veltry
