#include "store/core/SharedFileLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace veltry::shared {

namespace {

QByteArray readWhole(const QString& path, bool* exists = nullptr)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (exists)
        *exists = opened || file.exists();
    // A lock file is a few dozen bytes; anything larger is not ours to read whole.
    return opened ? file.read(4096) : QByteArray();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

SharedFileLock::SharedFileLock(QString path) : m_path(std::move(path)) {}

SharedFileLock::~SharedFileLock()
{
    unlock();
}

QString SharedFileLock::hostName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

QByteArray SharedFileLock::describe(const Holder& holder)
{
    return holder.host.toUtf8() + '\n' + QByteArray::number(holder.pid) + '\n'
        + holder.time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\n';
}

SharedFileLock::Holder SharedFileLock::parse(const QByteArray& bytes)
{
    Holder h;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() >= 3) {
        h.host = QString::fromUtf8(lines[0]);
        h.pid = lines[1].toLongLong();
        h.time = QDateTime::fromString(QString::fromLatin1(lines[2]), Qt::ISODateWithMs);
    }
    return h;
}

QString SharedFileLock::holderText() const
{
    if (m_seen.host.isEmpty())
        return QStringLiteral("another copy");
    return QStringLiteral("%1, process %2").arg(m_seen.host).arg(m_seen.pid);
}

bool SharedFileLock::create()
{
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno != EEXIST)
            m_error = QStringLiteral("Could not create the lock file \"%1\": %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_mine = describe(Holder{hostName(), QCoreApplication::applicationPid(), QDateTime::currentDateTimeUtc()});
    qsizetype done = 0;
    int failure = 0;
    while (done < m_mine.size()) {
        const ssize_t n = ::write(fd, m_mine.constData() + done, size_t(m_mine.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (::close(fd) != 0 && !failure && errno != EINTR)
        failure = errno;
    if (failure) {
        // A lock that names no holder would stop every copy (this one too) until it counts as left.
        ::unlink(name.constData());
        m_error = QStringLiteral("Could not write the lock file \"%1\": %2").arg(m_path, QString::fromLocal8Bit(std::strerror(failure)));
        return false;
    }
    m_locked = true;
    return true;
}

bool SharedFileLock::stale() const
{
    const bool here = m_seen.host == hostName();
    bool old = m_seenSince.isValid() && m_seenSince.elapsed() >= m_staleMs;
    // On this machine the time written in it is on our own clock.
    if (!old && here && m_seen.time.isValid())
        old = m_seen.time.msecsTo(QDateTime::currentDateTimeUtc()) >= m_staleMs;
    // One that names no holder (empty: its writer failed or was killed at once) has only the
    // file's own time to go by.
    if (!old && m_seen.host.isEmpty()) {
        const QDateTime written = QFileInfo(m_path).lastModified();
        old = written.isValid() && written.msecsTo(QDateTime::currentDateTimeUtc()) >= m_staleMs;
    }
    if (!old)
        return false;
    return !here || !processAlive(m_seen.pid);
}

bool SharedFileLock::takeOver()
{
    // Renamed aside first: of several copies taking over the same lock only one can move it, and
    // one that moved a fresh lock (taken meanwhile by another) puts it back.
    const QString aside = m_path + QStringLiteral(".stale-%1-%2").arg(hostName()).arg(QCoreApplication::applicationPid());
    const QByteArray from = QFile::encodeName(m_path);
    const QByteArray to = QFile::encodeName(aside);
    if (m_beforeTakeOver)
        m_beforeTakeOver();
    if (::rename(from.constData(), to.constData()) != 0)
        return false;
    const bool same = readWhole(aside) == m_seenBytes;
    if (!same)
        (void)::link(to.constData(), from.constData());
    ::unlink(to.constData());
    return same;
}

bool SharedFileLock::tryLock()
{
    m_error.clear();
    if (m_locked)
        return true;
    if (create()) {
        m_seenSince.invalidate();
        m_seenBytes.clear();
        return true;
    }
    if (!m_error.isEmpty())
        return false;
    bool exists = false;
    const QByteArray bytes = readWhole(m_path, &exists);
    if (!exists)
        return create();  // released just now
    if (bytes != m_seenBytes || !m_seenSince.isValid()) {
        m_seenBytes = bytes;
        m_seen = parse(bytes);
        m_seenSince.start();
    }
    if (stale() && takeOver() && create()) {
        m_seenSince.invalidate();
        m_seenBytes.clear();
        return true;
    }
    return false;
}

bool SharedFileLock::lock(int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (tryLock())
            return true;
        if (!m_error.isEmpty() || waited.elapsed() >= waitMs)
            return false;
        QThread::msleep(20);
    }
}

void SharedFileLock::unlock()
{
    if (!m_locked)
        return;
    m_locked = false;
    // Only our own: a lock taken over from us (we hung for a minute) belongs to its new holder.
    if (readWhole(m_path) == m_mine)
        QFile::remove(m_path);
}

} // namespace veltry::shared
