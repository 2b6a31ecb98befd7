#include "platform/core/DrivePlaces.h"

#include <QDir>
#include <QStorageInfo>
#include <algorithm>

namespace veltry {

namespace {

bool isSystemMount(const QStorageInfo& volume)
{
    static const QList<QByteArray> pseudoTypes = {"proc", "sysfs", "devtmpfs", "devpts", "tmpfs", "cgroup",
                                                  "cgroup2", "securityfs", "debugfs", "tracefs", "pstore",
                                                  "bpf", "mqueue", "hugetlbfs", "configfs", "fusectl",
                                                  "autofs", "binfmt_misc", "efivarfs", "squashfs", "nsfs",
                                                  "overlay", "ramfs", "rpc_pipefs"};
    if (pseudoTypes.contains(volume.fileSystemType()))
        return true;
    const QString root = volume.rootPath();
    // Removable media mount below /run/media; the rest of /run belongs to the system.
    if (root.startsWith(QLatin1String("/run/")) && !root.startsWith(QLatin1String("/run/media/")))
        return true;
    for (const char* prefix : {"/proc", "/sys", "/dev", "/boot", "/snap", "/var/lib"})
        if (root == QLatin1String(prefix) || root.startsWith(QLatin1String(prefix) + QLatin1Char('/')))
            return true;
    return false;
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QList<DrivePlace> drivePlaces()
{
    QList<DrivePlace> places;
    places.append({QStringLiteral("/"), QStringLiteral("File System")});
    const QString home = withoutTrailingSlash(QDir::cleanPath(QDir::homePath()));
    if (home != QLatin1String("/"))
        places.append({home, QStringLiteral("Home")});

    QList<DrivePlace> volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || isSystemMount(volume))
            continue;
        const QString path = withoutTrailingSlash(volume.rootPath());
        const bool known = std::any_of(places.begin(), places.end(), [&](const DrivePlace& p) { return p.path == path; })
            || std::any_of(volumes.begin(), volumes.end(), [&](const DrivePlace& p) { return p.path == path; });
        if (known)
            continue;
        QString label = volume.displayName();
        if (label.isEmpty() || label == volume.rootPath())
            label = QDir(path).dirName();
        volumes.append({path, label});
    }
    std::sort(volumes.begin(), volumes.end(), [](const DrivePlace& a, const DrivePlace& b) { return a.path < b.path; });
    places.append(volumes);
    return places;
}

int drivePlaceOf(const QList<DrivePlace>& places, const QString& directory)
{
    const QString dir = withoutTrailingSlash(QDir::cleanPath(directory));
    int best = -1;
    for (int i = 0; i < places.size(); ++i) {
        const QString& p = places.at(i).path;
        const bool holds = p == QLatin1String("/") ? dir.startsWith(QLatin1Char('/'))
                                                   : dir == p || dir.startsWith(p + QLatin1Char('/'));
        if (holds && (best < 0 || p.size() > places.at(best).path.size()))
            best = i;
    }
    return best;
}

} // namespace veltry
