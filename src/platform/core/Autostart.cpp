#include "platform/core/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace veltry::Autostart {

namespace {
// A path as one argument of an Exec line: quoted, with the characters the desktop entry
// format reserves inside quotes escaped, and "%" doubled.
QString execArgument(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    // Inside a desktop entry value a backslash is itself escaped once more.
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString entryPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/veltry.desktop");
}

bool isEnabled()
{
    return QFileInfo::exists(entryPath());
}

QByteArray entryText(const QString& programPath)
{
    QByteArray text = "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Veltry Professional\n"
                      "Comment=Start the task list with the desktop session, in the notification area\n"
                      "Icon=veltry\n";
    text += "Exec=env " + QByteArray(kSessionStartVariable) + "=1 " + execArgument(programPath).toUtf8() + '\n';
    text += "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool setEnabled(bool on, const QString& programPath, QString* error)
{
    const QString path = entryPath();
    if (!on) {
        if (!QFile::exists(path) || QFile::remove(path))
            return true;
        if (error)
            *error = QStringLiteral("\"%1\" could not be removed.").arg(path);
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray text = entryText(programPath);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("\"%1\" could not be written: %2").arg(path, file.errorString());
    return false;
}

} // namespace veltry::Autostart
