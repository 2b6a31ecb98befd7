#include "store/core/ICalendar_p.h"

#include "platform/core/AppError.h"

#include <QScopeGuard>
#include <QRandomGenerator>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace veltry::ICalendar {

namespace {

// Past the line end at `pos`: CR LF, a lone CR or a lone LF.
qsizetype afterLineEnd(const char* data, qsizetype size, qsizetype pos)
{
    if (pos < size && data[pos] == '\r')
        return pos + 1 < size && data[pos + 1] == '\n' ? pos + 2 : pos + 1;
    return pos < size ? pos + 1 : pos;
}

// Calendars nest three deep (calendar, to-do, alarm); the library frees components recursively,
// so a file nesting thousands deep would overflow the stack.
constexpr int kMaxNesting = 16;

// The library's complaint about the first damaged line it met, or null.
const char* firstError(icalcomponent* c)
{
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY))
        return icalproperty_get_xlicerror(p);
    for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
         child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        if (const char* e = firstError(child))
            return e;
    return nullptr;
}

// The library looks for the end of a property's parameters anew for each parameter, so a line
// costs their number times its length; no calendar gives a property anywhere near this many.
constexpr int kMaxParameters = 64;

// The parameters of a content line as the library splits them: semicolons before the first
// colon, neither inside quotes; a character after a backslash, and the first one, count for
// neither.
int parameterCount(std::string_view line)
{
    int count = 0;
    bool quoted = false;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i - 1] == '\\')
            continue;
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ':')
            break;
        else if (!quoted && c == ';')
            ++count;
    }
    return count;
}

// The length of the line at `data`, up to its CR, LF or a NUL; `odd` tells whether it holds a
// backslash, a control character or a byte past ASCII, and `all` gathers its bytes ORed
// together. A huge line is gone through once, so it must be fast: runs of printable ASCII are
// passed over 64 bytes at a time; a block with any other byte in it is gone through byte by byte.
qsizetype lineEnd(const char* data, qsizetype size, bool& odd, unsigned& all)
{
    unsigned oddBytes = 0;
    qsizetype i = 0;
    while (i < size) {
#ifdef __SSE2__
        // A byte plus 0x60 is below -33 as a signed byte just for 0x20 to 0x7E.
        const __m128i shift = _mm_set1_epi8(0x60);
        const __m128i printable = _mm_set1_epi8(-34);
        const __m128i backslash = _mm_set1_epi8('\\');
        for (; i + 64 <= size; i += 64) {
            __m128i other = _mm_setzero_si128();
            for (int k = 0; k < 64; k += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + k));
                other = _mm_or_si128(other, _mm_or_si128(_mm_cmpgt_epi8(_mm_add_epi8(v, shift), printable),
                                                         _mm_cmpeq_epi8(v, backslash)));
            }
            if (_mm_movemask_epi8(other))
                break;
        }
#endif
        for (const qsizetype blockEnd = std::min(size, i + 64); i < blockEnd; ++i) {
            const auto c = uchar(data[i]);
            if (c == '\n' || c == '\r' || c == '\0') {
                odd = oddBytes != 0;
                return i;
            }
            oddBytes |= unsigned(c == '\\' || c < 0x20 || c >= 0x7F);
            all |= c;
        }
    }
    odd = oddBytes != 0;
    return i;
}

// Where the value of a long SUMMARY or DESCRIPTION starts in a content line: past the colon
// that ends its parameters; -1 for any other line, and for one whose parameters could move that
// colon (quotes, backslashes) or the kind of its value.
qsizetype longTextStart(std::string_view line, qsizetype from)
{
    const size_t nameEnd = line.find_first_of(";:");
    if (nameEnd == std::string_view::npos)
        return -1;
    const QByteArrayView name(line.data(), qsizetype(nameEnd));
    if (name.compare("SUMMARY", Qt::CaseInsensitive) != 0 && name.compare("DESCRIPTION", Qt::CaseInsensitive) != 0)
        return -1;
    const size_t colon = line.find(':', nameEnd);
    // A value of white space alone is none, and the library drops the property.
    if (colon == std::string_view::npos || qsizetype(line.size() - colon - 1) < from
        || line.find_first_not_of(" \t\n\v\f\r", colon + 1) == std::string_view::npos)
        return -1;
    const QByteArrayView parameters(line.data() + nameEnd, qsizetype(colon - nameEnd));
    if (parameters.contains('"') || parameters.contains('\\')
        || QByteArray(parameters.data(), parameters.size()).toUpper().contains("VALUE"))
        return -1;
    return qsizetype(colon + 1);
}

// What the library makes of a text value: white space trimmed off both ends, then each escape
// read, an unknown one as a blank, a lone backslash at the end dropped. Written over the value
// where it lies and NUL-ended, so it is never copied. `plain` tells that the value holds no
// backslash, control character or byte past ASCII, so that it need not be looked through.
LongTexts::Value unescapeText(char* begin, char* end, bool plain)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
    while (begin < end && space(*begin))
        ++begin;
    while (end > begin && space(end[-1]))
        --end;
    if (plain) {
        *end = '\0';
        return {begin, end - begin, true};
    }
    char* out = begin;
    const char* in = begin;
    while (in < end) {
        const auto* slash = static_cast<const char*>(std::memchr(in, '\\', size_t(end - in)));
        const char* const stop = slash ? slash : end;
        if (out != in)
            std::memmove(out, in, size_t(stop - in));
        out += stop - in;
        if (!slash || slash + 1 == end)
            break;
        switch (slash[1]) {
        case 'n': case 'N': *out++ = '\n'; break;
        case 't': case 'T': *out++ = '\t'; break;
        case 'r': case 'R': *out++ = '\r'; break;
        case 'b': case 'B': *out++ = '\b'; break;
        case 'f': case 'F': *out++ = '\f'; break;
        case ';': case ',': case '"': case '\\': *out++ = slash[1]; break;
        default: *out++ = ' ';
        }
        in = slash + 2;
    }
    *out = '\0';
    return {begin, out - begin, false};
}

struct ParserDeleter
{
    void operator()(icalparser* p) const { icalparser_free(p); }
};

// The calendar library's tree of the `size` bytes at `data`, or null; `data[size]` must be
// writable. The library's own line reader looks for the end of a line anew for every 80 bytes it
// takes, which makes one long line cost its length squared (minutes for a few megabytes); here
// the lines are cut and unfolded in one pass and handed to the library whole. A line ends at LF,
// CR LF or a lone CR; one that starts with a blank or a TAB goes on with the line before it.
// Each content line is unfolded where it lies and ended with a NUL, so however long it is, it is
// not copied on its way to the library; the bytes are left changed.
// A long text value is read by `texts`, if given, and the library reads a stand-in.
icalcomponent* parseLines(char* data, qsizetype size, LongTexts* texts, const TextCheck& check)
{
    std::unique_ptr<icalparser, ParserDeleter> parser(icalparser_new());
    const icalerrorstate malformed = icalerror_get_error_state(ICAL_MALFORMEDDATA_ERROR);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
    const auto restore = qScopeGuard([malformed] { icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, malformed); });

    Component root;
    auto collect = [&root](icalcomponent* c) {
        // Several calendars in a row go under one root, as the library's own reader puts them.
        if (!root) {
            root.reset(c);
        } else {
            if (icalcomponent_isa(root.get()) != ICAL_XROOT_COMPONENT) {
                icalcomponent* all = icalcomponent_new(ICAL_XROOT_COMPONENT);
                icalcomponent_add_component(all, root.release());
                root.reset(all);
            }
            icalcomponent_add_component(root.get(), c);
        }
    };
    // The content line being gathered runs from `line` to `written`; its folded parts are moved
    // up to it, over the line ends and folds between them, so it never overtakes what is unread.
    char* line = nullptr;
    char* written = nullptr;
    bool odd = false;  // the content line holds a backslash, a control character or a byte past ASCII
    int lineNumber = 0;  // of the file, where the content line starts
    auto flush = [&] {
        if (!line)
            return;
        // Trailing blanks and line ends are not part of the value, as the library reads it.
        while (written > line && (written[-1] == ' ' || written[-1] == '\t'))
            --written;
        const std::string_view text(line, size_t(written - line));
        line = nullptr;
        if (text.empty())
            return;
        if (parameterCount(text) > kMaxParameters)
            throw AppError(QStringLiteral("Line %1 of the calendar gives a property more than %2 parameters.")
                               .arg(lineNumber)
                               .arg(kMaxParameters));
        *written = '\0';
        char* handed = const_cast<char*>(text.data());
        std::string standIn;
        if (const qsizetype start = texts ? longTextStart(text, texts->from) : -1; start >= 0) {
            standIn.assign(text.data(), size_t(start));
            standIn.append(texts->mark.constData(), size_t(texts->mark.size()));
            standIn.append(std::to_string(texts->values.size()));
            texts->values.push_back(unescapeText(handed + start, written, !odd));
            handed = standIn.data();
        }
        if (icalcomponent* c = icalparser_add_line(parser.get(), handed))
            collect(c);
    };

    qsizetype pos = 0;
    size_t nextLong = 0;
    int physical = 0;
    while (pos < size) {
        ++physical;
        // A long line's end is known from the check, which went through it a moment ago (the
        // lines of a reading for the library alone are cut here, to check that against).
        while (texts && nextLong < check.longLines.size() && check.longLines[nextLong].begin < pos)
            ++nextLong;
        const bool known = texts && nextLong < check.longLines.size() && check.longLines[nextLong].begin == pos;
        bool oddPart = known && check.longLines[nextLong].odd;
        unsigned all = 0;  // not wanted here
        const qsizetype end = known ? check.longLines[nextLong].end : pos + lineEnd(data + pos, size - pos, oddPart, all);
        const char* start = data + pos;
        qsizetype length = end - pos;
        if (length > 0 && (*start == ' ' || *start == '\t')) {
            ++start;  // a folded line: its first blank is the fold
            --length;
            if (!line)
                line = written = data + pos;
            odd = odd || oddPart;
        } else {
            flush();
            lineNumber = physical;
            line = written = data + pos;
            odd = oddPart;
        }
        if (written != start)
            std::memmove(written, start, size_t(length));
        written += length;
        pos = afterLineEnd(data, size, end);
    }
    flush();
    return root.release();
}

} // namespace

Component parseCalendar(QByteArrayView bytes)
{
    return parseCalendar(bytes.toByteArray());
}

Component parseCalendar(QByteArray&& bytes)
{
    return parseCalendar(std::move(bytes), nullptr);
}

const LongTexts::Value* LongTexts::find(const char* held) const
{
    if (!held || mark.isEmpty() || std::strncmp(held, mark.constData(), size_t(mark.size())) != 0)
        return nullptr;
    const std::string_view number(held + mark.size());
    size_t index = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), index);
    return error == std::errc() && end == number.data() + number.size() && index < values.size() ? &values[index]
                                                                                                  : nullptr;
}

TextCheck checkText(QByteArrayView bytes)
{
    TextCheck check;
    const qsizetype from = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    check.ascii = from == 0;
    const char* const data = bytes.data();
    const qsizetype size = bytes.size();
    unsigned all = 0;  // every byte ORed together
    int depth = 0;
    bool lineStart = true;  // past an LF: a lone CR ends no line here
    for (qsizetype pos = from; pos < size;) {
        // A folded line goes on with a blank, so a line that starts with BEGIN: opens a component.
        if (lineStart && !check.tooDeep && size - pos >= 6 && qstrnicmp(data + pos, "BEGIN:", 6) == 0)
            check.tooDeep = ++depth > kMaxNesting;
        else if (lineStart && size - pos >= 4 && qstrnicmp(data + pos, "END:", 4) == 0 && depth > 0)
            --depth;
        bool odd = false;
        const qsizetype end = pos + lineEnd(data + pos, size - pos, odd, all);
        if (end - pos >= TextCheck::kLongLine)
            check.longLines.push_back({pos - from, end - from, odd});
        if (end < size && data[end] == '\0') {
            check.nul = end - from;
            check.ascii = false;
            return check;
        }
        lineStart = end < size && data[end] == '\n';
        pos = end + 1;
    }
    check.ascii = check.ascii && !(all & 0x80);
    return check;
}

Component parseCalendar(QByteArray&& bytes, LongTexts* texts, const TextCheck* checked)
{
    if (texts) {
        // The values stay in the bytes until the tree is read.
        texts->bytes = std::move(bytes);
        texts->values.clear();
        // No calendar can hold a stand-in's text: it is not known before the reading.
        texts->mark = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
            + QByteArray::number(QRandomGenerator::system()->generate64(), 16) + '-';
    }
    QByteArray& own = texts ? texts->bytes : bytes;
    char* const data = own.data();  // one of its own, the lines are ended in place
    const qsizetype from = own.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArrayView text = QByteArrayView(own).sliced(from);
    const TextCheck check = checked ? *checked : checkText(own);
    // The library reads up to the first NUL and would take the rest as missing.
    if (check.nul >= 0)
        throw AppError(QStringLiteral("The file holds a NUL byte at offset %1; a calendar is text.").arg(check.nul));
    if (check.tooDeep)
        throw AppError(QStringLiteral("The calendar nests its parts more than %1 deep.").arg(kMaxNesting));

    icalerror_clear_errno();
    // A byte array always has room for the NUL after its last byte.
    Component root(parseLines(data + from, text.size(), texts, check));
    if (!root) {
        throw AppError(icalerrno != ICAL_NO_ERROR
                           ? QString::fromUtf8(icalerror_strerror(icalerrno))
                           : QStringLiteral("The file holds no complete calendar (BEGIN:VCALENDAR to END:VCALENDAR)."));
    }
    if (const char* error = firstError(root.get()))
        throw AppError(QString::fromUtf8(error));
    return root;
}

} // namespace veltry::ICalendar

namespace veltry::ICalendar {

namespace {

// One content line as it stands in the text: from its first byte to the end of its last folded
// part, line end included; its name upper-cased, and for BEGIN and END the component's kind as
// the library tells it.
struct TextLine
{
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArray name;
    icalcomponent_kind component = ICAL_NO_COMPONENT;
};

// The content lines of `text`, cut as parseLines cuts them.
std::vector<TextLine> textLines(QByteArrayView text, qsizetype from)
{
    std::vector<TextLine> lines;
    const char* const data = text.data();
    const qsizetype size = text.size();
    qsizetype pos = from;
    while (pos < size) {
        TextLine line;
        line.begin = pos;
        QByteArray unfolded;
        for (bool fold = false;; fold = true) {
            qsizetype end = pos;
            while (end < size && data[end] != '\n' && data[end] != '\r')
                ++end;
            const qsizetype skip = fold ? 1 : 0;  // a folded part's first blank is the fold
            unfolded.append(data + pos + skip, end - pos - skip);
            pos = afterLineEnd(data, size, end);
            if (pos >= size || (data[pos] != ' ' && data[pos] != '\t'))
                break;
        }
        line.end = pos;
        qsizetype nameEnd = 0;
        while (nameEnd < unfolded.size() && unfolded[nameEnd] != ';' && unfolded[nameEnd] != ':')
            ++nameEnd;
        line.name = unfolded.left(nameEnd).toUpper();
        if (line.name == "BEGIN" || line.name == "END") {
            // The library knows a component by the start of what follows the colon.
            const qsizetype colon = unfolded.indexOf(':');
            if (colon >= 0)
                line.component = icalcomponent_string_to_kind(unfolded.mid(colon + 1).constData());
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// The index of the END line that closes the component `lines[begin]` opens, or the last line.
size_t componentEnd(const std::vector<TextLine>& lines, size_t begin)
{
    int depth = 0;
    for (size_t i = begin; i < lines.size(); ++i) {
        if (lines[i].name == "BEGIN")
            ++depth;
        else if (lines[i].name == "END" && --depth == 0)
            return i;
    }
    return lines.size() - 1;
}

} // namespace

std::optional<QByteArray> editMasterTodo(QByteArrayView text, const TextEdit& edit)
{
    const qsizetype from = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const std::vector<TextLine> lines = textLines(text, from);
    // The master: the first to-do that is not one changed occurrence of a series.
    size_t first = lines.size();
    size_t last = 0;
    for (size_t i = 0; i < lines.size() && first == lines.size(); ++i) {
        if (lines[i].name != "BEGIN" || lines[i].component != ICAL_VTODO_COMPONENT)
            continue;
        const size_t end = componentEnd(lines, i);
        bool occurrence = false;
        for (size_t k = i + 1; k < end; ++k) {
            if (lines[k].name == "BEGIN")
                k = componentEnd(lines, k);  // an alarm's own lines are not the to-do's
            else
                occurrence = occurrence || lines[k].name == "RECURRENCE-ID";
        }
        if (!occurrence) {
            first = i;
            last = end;
        }
    }
    if (first == lines.size() || lines[last].name != "END")
        return std::nullopt;

    // What is added ends its lines as the to-do's own lines end.
    const QByteArrayView opening = text.sliced(lines[first].begin, lines[first].end - lines[first].begin);
    const QByteArray eol = opening.endsWith("\r\n") ? "\r\n" : opening.endsWith('\r') ? "\r" : "\n";
    auto added = [&eol](QByteArray bytes) { return eol == "\r\n" ? bytes : bytes.replace("\r\n", eol); };
    auto raw = [&text](const TextLine& line) { return text.sliced(line.begin, line.end - line.begin); };

    QByteArray out;
    out.reserve(text.size() + edit.zone.size() + edit.alarms.size() + 1024);
    out.append(text.first(lines[first].begin));
    out.append(added(edit.zone));
    out.append(raw(lines[first]));
    std::vector<bool> placed(edit.properties.size(), false);
    auto placeRest = [&] {
        for (size_t r = 0; r < edit.properties.size(); ++r)
            if (!placed[r]) {
                out.append(added(edit.properties[r].lines));
                placed[r] = true;
            }
    };
    for (size_t k = first + 1; k < last; ++k) {
        const TextLine& line = lines[k];
        if (line.name == "BEGIN") {
            // The to-do's properties come before its alarms.
            placeRest();
            const size_t end = componentEnd(lines, k);
            if (!(edit.replaceAlarms && line.component == ICAL_VALARM_COMPONENT))
                out.append(text.sliced(line.begin, lines[end].end - line.begin));
            k = end;
            continue;
        }
        const auto replaced = std::find_if(edit.properties.begin(), edit.properties.end(),
                                           [&line](const TextEdit::Replacement& r) { return r.name == line.name; });
        if (replaced == edit.properties.end()) {
            out.append(raw(line));
            continue;
        }
        // The new lines go where the old ones of that name began.
        const size_t r = size_t(replaced - edit.properties.begin());
        if (!placed[r]) {
            out.append(added(replaced->lines));
            placed[r] = true;
        }
    }
    placeRest();
    out.append(added(edit.alarms));
    out.append(text.sliced(lines[last].begin));
    return out;
}

} // namespace veltry::ICalendar
