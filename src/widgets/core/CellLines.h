#pragma once

#include <QString>
#include <QStringList>

namespace veltry {

// Cell lines break at CR; an LF right after it belongs to the same break. The screen and the
// printout split a cell alike.
inline QStringList splitCellLines(const QString& text)
{
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('\r')) {
            lines << current;
            current.clear();
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            current += ch;
        }
    }
    lines << current;
    return lines;
}

} // namespace veltry
