#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>

namespace veltry {

// Bounded pieces of a stored cell text for drawing and measuring. However long a cell is, only
// the lines and characters asked for are decoded from its UTF-8, so a repaint never pays for text
// that cannot be seen.
namespace CellLines {

// Which part of an over-long line to keep: the start, the end or the middle.
enum class Keep : quint8 { Start, End, Middle };

struct Line
{
    QString text;
    // How many UTF-16 units of the line were left out, at most (0: the whole line is in `text`).
    qsizetype more = 0;
};

// True when the text holds a line break (CR).
bool hasBreak(QByteArrayView utf8);

// Calls `take` for each line of the text in order (lines break at CR, an LF right after it
// belongs to the break; without `split` the whole text is one line), each cut to at most
// `maxChars` UTF-16 units from the side `keep` names, until `take` returns false.
void forEachLine(QByteArrayView utf8, bool split, int maxChars, Keep keep, const std::function<bool(const Line&)>& take);

// The UTF-8 length of the longest line after the first `skip` lines (split as above); -1 when
// the text has no more lines. An upper bound of the UTF-16 length of each of them.
qsizetype longestLineAfter(QByteArrayView utf8, qsizetype skip);

} // namespace CellLines

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
