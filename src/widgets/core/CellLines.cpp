#include "widgets/core/CellLines.h"

#include <algorithm>
#include <cstring>

namespace veltry::CellLines {

namespace {

bool isContinuation(char b)
{
    return (static_cast<unsigned char>(b) & 0xC0) == 0x80;
}

// Moves a byte index back (or forward) to the start of the UTF-8 sequence it points into.
qsizetype backToLead(QByteArrayView s, qsizetype i)
{
    while (i > 0 && i < s.size() && isContinuation(s[i]))
        --i;
    return i;
}

qsizetype onToLead(QByteArrayView s, qsizetype i)
{
    while (i > 0 && i < s.size() && isContinuation(s[i]))
        ++i;
    return i;
}

Line decode(QByteArrayView line, int maxChars, Keep keep)
{
    Line out;
    if (maxChars <= 0) {
        out.more = line.size();
        return out;
    }
    // A UTF-16 unit never takes more than three UTF-8 bytes, so this many bytes always hold
    // maxChars units when the line has them.
    const qsizetype window = qsizetype(maxChars) * 3 + 3;
    bool whole = line.size() <= window;
    if (whole) {
        out.text = QString::fromUtf8(line);
    } else if (keep == Keep::Start) {
        out.text = QString::fromUtf8(line.first(backToLead(line, window)));
    } else if (keep == Keep::End) {
        out.text = QString::fromUtf8(line.sliced(onToLead(line, line.size() - window)));
    } else {
        const qsizetype from = onToLead(line, line.size() / 2 - window / 2);
        const qsizetype to = backToLead(line, line.size() / 2 + window / 2);
        out.text = QString::fromUtf8(line.sliced(from, to - from));
    }
    if (out.text.size() > maxChars) {
        whole = false;
        const qsizetype drop = out.text.size() - maxChars;
        qsizetype first = keep == Keep::Start ? 0 : keep == Keep::End ? drop : drop / 2;
        qsizetype count = maxChars;
        // Never keep half of a surrogate pair.
        if (first > 0 && out.text.at(first).isLowSurrogate()) {
            ++first;
            --count;
        }
        if (count > 0 && out.text.at(first + count - 1).isHighSurrogate())
            --count;
        out.text = out.text.sliced(first, count);
    }
    // Every unit left out came from at least one byte of the line.
    out.more = whole ? 0 : line.size() - out.text.size();
    return out;
}

} // namespace

bool hasBreak(QByteArrayView utf8)
{
    return !utf8.isEmpty() && std::memchr(utf8.data(), '\r', size_t(utf8.size())) != nullptr;
}

namespace {
// The byte index of the next CR at or after `pos`, or the text's size.
qsizetype lineEnd(QByteArrayView utf8, qsizetype pos)
{
    if (pos >= utf8.size())
        return utf8.size();
    const void* cr = std::memchr(utf8.data() + pos, '\r', size_t(utf8.size() - pos));
    return cr ? qsizetype(static_cast<const char*>(cr) - utf8.data()) : utf8.size();
}

// Where the line after the break at `end` starts; an LF right after the CR belongs to it.
qsizetype nextLine(QByteArrayView utf8, qsizetype end)
{
    qsizetype pos = end + 1;
    if (pos < utf8.size() && utf8[pos] == '\n')
        ++pos;
    return pos;
}
} // namespace

void forEachLine(QByteArrayView utf8, bool split, int maxChars, Keep keep, const std::function<bool(const Line&)>& take)
{
    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = split ? lineEnd(utf8, pos) : utf8.size();
        if (!take(decode(utf8.sliced(pos, end - pos), maxChars, keep)) || end == utf8.size())
            return;
        pos = nextLine(utf8, end);
    }
}

qsizetype longestLineAfter(QByteArrayView utf8, qsizetype skip)
{
    qsizetype pos = 0;
    for (qsizetype i = 0; i < skip; ++i) {
        const qsizetype end = lineEnd(utf8, pos);
        if (end == utf8.size())
            return -1;
        pos = nextLine(utf8, end);
    }
    qsizetype longest = 0;
    for (;;) {
        const qsizetype end = lineEnd(utf8, pos);
        longest = std::max(longest, end - pos);
        if (end == utf8.size())
            return longest;
        pos = nextLine(utf8, end);
    }
}

} // namespace veltry::CellLines
