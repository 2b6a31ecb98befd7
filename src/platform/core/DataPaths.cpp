#include "platform/core/DataPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace veltry::DataPaths {

namespace {
QString& programOverride()
{
    static QString dir;
    return dir;
}

bool& overrideReadOnly()
{
    static bool readOnly = false;
    return readOnly;
}

QString withSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString xdg(const char* variable, const char* fallback)
{
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
    return withSlash(base) + QStringLiteral("veltry/");
}

bool writable(const QString& dir)
{
    // Access bits alone lie on read-only mounts; only a real file tells.
    QTemporaryFile probe(dir + QStringLiteral(".veltry-probe-XXXXXX"));
    return probe.open();
}

// An installed program: a system folder is no place for one user's data, even for root, who
// could write there.
bool systemFolder(const QString& dir)
{
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/"})
        if (dir.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

struct Resolved
{
    QString dir;
    bool standIn = false;
};

QString ownDirectory()
{
    return withSlash(programOverride().isEmpty() ? QCoreApplication::applicationDirPath() : programOverride());
}

Resolved resolve()
{
    const QString own = ownDirectory();
    if (!(overrideReadOnly() && !programOverride().isEmpty()) && !systemFolder(own) && writable(own))
        return {own, false};
    const QString standIn = xdg("XDG_DATA_HOME", ".local/share");
    QDir().mkpath(standIn);
    return {standIn, true};
}

Resolved& cached()
{
    static Resolved r = resolve();
    return r;
}
} // namespace

QString programDirectory()
{
    return cached().dir;
}

bool usingStandIn()
{
    return cached().standIn;
}

QString userDataDirectory()
{
    return xdg("XDG_DATA_HOME", ".local/share");
}

QString configDirectory()
{
    return xdg("XDG_CONFIG_HOME", ".config");
}

QString programFileDirectory()
{
    return ownDirectory();
}

void setProgramDirectoryOverride(const QString& dir, bool readOnly)
{
    programOverride() = dir;
    overrideReadOnly() = readOnly;
    cached() = resolve();
}

} // namespace veltry::DataPaths
