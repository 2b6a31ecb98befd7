#include "platform/core/DrivePlaces.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace veltry {

namespace {

bool isSystemMount(const QStorageInfo& volume)
{
    static const QSet<QByteArray> pseudo = {
        "proc",  "sysfs",   "devtmpfs", "devpts",    "tmpfs",     "cgroup",  "cgroup2",  "securityfs",
        "pstore", "bpf",    "debugfs",  "tracefs",   "mqueue",    "hugetlbfs", "configfs", "fusectl",
        "autofs", "binfmt_misc", "efivarfs", "squashfs", "nsfs", "ramfs", "rpc_pipefs", "overlay",
        "fuse.portal", "fuse.gvfsd-fuse"};
    if (pseudo.contains(volume.fileSystemType()))
        return true;
    const QString root = volume.rootPath();
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib", "/var/snap"}) {
        const QString p = QLatin1String(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/')))
            return !root.startsWith(QStringLiteral("/run/media/"));
    }
    return false;
}

QString clean(const QString& path)
{
    return QDir::cleanPath(path);  // drops a trailing "/" except for the root
}

} // namespace

QList<DrivePlace> drivePlaces()
{
    QList<DrivePlace> places;
    QSet<QString> seen;
    auto add = [&](const QString& path, const QString& label) {
        const QString p = clean(path);
        if (p.isEmpty() || seen.contains(p) || !QFileInfo(p).isDir())
            return;
        seen.insert(p);
        places.append({p, label});
    };
    add(QDir::rootPath(), QDir::rootPath());
    add(QDir::homePath(), clean(QDir::homePath()));

    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(),
              [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
    for (const QStorageInfo& v : volumes) {
        if (!v.isValid() || !v.isReady() || isSystemMount(v))
            continue;
        const QString root = clean(v.rootPath());
        const QString name = v.name();
        add(root, name.isEmpty() ? root : root + QStringLiteral(" [") + name + QLatin1Char(']'));
    }
    return places;
}

int placeHolding(const QList<DrivePlace>& places, const QString& path)
{
    const QString p = clean(path);
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < places.size(); ++i) {
        const QString& root = places[i].path;
        const bool holds = p == root || root == QDir::rootPath() || p.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

} // namespace veltry
