#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <functional>

namespace veltry::shared {

// A lock file beside a shared list, so that copies on several machines save one after the other.
// It is created with O_EXCL, which holds on network file systems where flock() does not, and
// names its holder: host, process and time. A lock older than a minute whose holder is gone is
// taken over; on another machine the holder cannot be asked, and a lock seen unchanged for a
// minute counts as left behind (no save holds it that long).
class SharedFileLock
{
public:
    static constexpr int kStaleMs = 60'000;

    struct Holder
    {
        QString host;
        qint64 pid = 0;
        QDateTime time;  // UTC
    };

    explicit SharedFileLock(QString path);
    ~SharedFileLock();
    SharedFileLock(const SharedFileLock&) = delete;
    SharedFileLock& operator=(const SharedFileLock&) = delete;

    // One attempt (taking over a stale lock). False when another holds it, or on an error, which
    // error() then names.
    bool tryLock();
    // Attempts until the lock is had or `waitMs` have passed.
    bool lock(int waitMs);
    void unlock();
    bool isLocked() const { return m_locked; }
    const QString& path() const { return m_path; }
    // The holder seen at the last failed attempt, and how long that lock has been seen unchanged.
    const Holder& holder() const { return m_seen; }
    qint64 heldForMs() const { return m_seenSince.isValid() ? m_seenSince.elapsed() : 0; }
    // "host, process 123", or what can be said of an unreadable lock file.
    QString holderText() const;
    const QString& error() const { return m_error; }

    // Tests: the age after which a lock counts as left behind.
    void setStaleAfterMs(int ms) { m_staleMs = ms; }
    // Tests: runs after a lock was found left behind and before it is moved aside, where another
    // copy may take it over first.
    void setBeforeTakeOver(std::function<void()> hook) { m_beforeTakeOver = std::move(hook); }

    static QString hostName();
    static QByteArray describe(const Holder& holder);
    static Holder parse(const QByteArray& bytes);

private:
    bool create();
    bool stale() const;
    bool takeOver();

    QString m_path;
    bool m_locked = false;
    QByteArray m_mine;
    QByteArray m_seenBytes;
    Holder m_seen;
    QElapsedTimer m_seenSince;
    QString m_error;
    int m_staleMs = kStaleMs;
    std::function<void()> m_beforeTakeOver;
};

} // namespace veltry::shared
