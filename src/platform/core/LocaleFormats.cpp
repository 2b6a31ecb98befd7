#include "platform/core/LocaleFormats.h"

#include <QRegularExpression>

namespace veltry {

namespace {
LocaleFormats& currentFormats()
{
    static LocaleFormats formats = LocaleFormats::fromLocale(QLocale::system());
    return formats;
}

// Qt's date pattern ("dd/MM/yyyy") to the d/m/y notation ("dd/mm/yyyy"), or empty when the
// pattern is not purely numeric (month names, weekday names, eras).
QString convertQtPattern(const QString& qt, QChar& separator)
{
    QString out;
    separator = QChar();
    bool inQuote = false;
    for (qsizetype i = 0; i < qt.size();) {
        const QChar c = qt.at(i);
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            ++i;
            continue;
        }
        if (!inQuote && (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y'))) {
            qsizetype run = 1;
            while (i + run < qt.size() && qt.at(i + run) == c)
                ++run;
            if (c == QLatin1Char('d')) {
                if (run > 2)
                    return {};
                out += QString(run, QLatin1Char('d'));
            } else if (c == QLatin1Char('M')) {
                if (run > 2)
                    return {};
                out += QString(run, QLatin1Char('m'));
            } else {
                out += run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            }
            i += run;
            continue;
        }
        if (!inQuote && c.isLetter())
            return {};
        if (separator.isNull() && !c.isSpace())
            separator = c;
        out += separator.isNull() ? c : (c == separator ? QLatin1Char('/') : c);
        ++i;
    }
    const bool hasAll = out.contains(QLatin1Char('d')) && out.contains(QLatin1Char('m'))
        && out.contains(QLatin1Char('y'));
    return hasAll && !separator.isNull() ? out : QString();
}

bool skipBlanks(QStringView s, qsizetype& i)
{
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    return i < s.size();
}

// Up to `maxDigits` digits; returns the count read.
int readNumber(QStringView s, qsizetype& i, int& value, int maxDigits = 9)
{
    int count = 0;
    value = 0;
    while (i < s.size() && count < maxDigits && s.at(i) >= QLatin1Char('0') && s.at(i) <= QLatin1Char('9')) {
        value = value * 10 + (s.at(i).unicode() - '0');
        ++i;
        ++count;
    }
    return count;
}
} // namespace

int windowTwoDigitYear(int twoDigitYear, int thisYear)
{
    const int base = thisYear - 50;
    int year = base - ((base % 100) + 100) % 100 + twoDigitYear;
    if (year < base)
        year += 100;
    return year;
}

LocaleFormats::LocaleFormats()
    : m_shortDate(QStringLiteral("m/d/yy"))
    , m_dateSep(QLatin1Char('/'))
    , m_timeSep(QLatin1Char(':'))
    , m_am(QStringLiteral("AM"))
    , m_pm(QStringLiteral("PM"))
{
}

LocaleFormats LocaleFormats::fromLocale(const QLocale& locale)
{
    LocaleFormats f;
    QChar sep;
    const QString pattern = convertQtPattern(locale.dateFormat(QLocale::ShortFormat), sep);
    if (!pattern.isEmpty()) {
        f.m_shortDate = pattern;
        f.m_dateSep = sep;
    }
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression sepAfterHour(QStringLiteral("[hH]+([^hHmM\\s])[m]"));
    const auto m = sepAfterHour.match(time);
    if (m.hasMatch())
        f.m_timeSep = m.captured(1).at(0);
    if (!locale.amText().isEmpty())
        f.m_am = locale.amText();
    if (!locale.pmText().isEmpty())
        f.m_pm = locale.pmText();
    return f;
}

LocaleFormats LocaleFormats::fromPattern(const QString& shortDateFormat, QChar dateSeparator,
                                         QChar timeSeparator, const QString& am, const QString& pm)
{
    LocaleFormats f;
    f.m_shortDate = shortDateFormat;
    f.m_dateSep = dateSeparator;
    f.m_timeSep = timeSeparator;
    f.m_am = am;
    f.m_pm = pm;
    return f;
}

const LocaleFormats& LocaleFormats::current()
{
    return currentFormats();
}

void LocaleFormats::setCurrent(const LocaleFormats& formats)
{
    currentFormats() = formats;
}

void LocaleFormats::resetCurrent()
{
    currentFormats() = fromLocale(QLocale::system());
}

bool LocaleFormats::dayFirst() const
{
    return !m_shortDate.isEmpty() && m_shortDate.at(0).toUpper() == QLatin1Char('D');
}

LocaleFormats::Order LocaleFormats::order() const
{
    for (const QChar c : m_shortDate) {
        const QChar u = c.toUpper();
        if (u == QLatin1Char('D'))
            return Order::DMY;
        if (u == QLatin1Char('Y'))
            return Order::YMD;
        if (u == QLatin1Char('M'))
            return Order::MDY;
    }
    return Order::MDY;
}

QString LocaleFormats::formatDate(const QDate& date) const
{
    QString out;
    const QString& f = m_shortDate;
    for (qsizetype i = 0; i < f.size();) {
        const QChar c = f.at(i).toLower();
        qsizetype run = 1;
        while (i + run < f.size() && f.at(i + run).toLower() == c)
            ++run;
        if (c == QLatin1Char('d')) {
            out += run >= 2 ? QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'))
                            : QString::number(date.day());
        } else if (c == QLatin1Char('m')) {
            out += run >= 2 ? QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'))
                            : QString::number(date.month());
        } else if (c == QLatin1Char('y')) {
            out += run <= 2 ? QStringLiteral("%1").arg(((date.year() % 100) + 100) % 100, 2, 10, QLatin1Char('0'))
                            : QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
        } else {
            for (qsizetype k = 0; k < run; ++k)
                out += (f.at(i) == QLatin1Char('/')) ? m_dateSep : f.at(i);
        }
        i += run;
    }
    return out;
}

QDate LocaleFormats::parseDate(QStringView text, const QDate& today) const
{
    int numbers[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    qsizetype i = 0;
    while (count < 3) {
        if (!skipBlanks(text, i))
            break;
        digits[count] = readNumber(text, i, numbers[count]);
        if (digits[count] == 0)
            return {};
        ++count;
        skipBlanks(text, i);
        if (i < text.size() && text.at(i) == m_dateSep && count < 3) {
            ++i;
            if (!skipBlanks(text, i))
                return {};
            continue;
        }
        break;
    }
    skipBlanks(text, i);
    if (i != text.size() || count < 2)
        return {};

    int y, m, d, yearDigits;
    const Order o = order();
    if (count == 2) {
        y = today.year();
        yearDigits = 4;
        if (o == Order::DMY) {
            d = numbers[0];
            m = numbers[1];
        } else {
            m = numbers[0];
            d = numbers[1];
        }
    } else if (o == Order::DMY) {
        d = numbers[0], m = numbers[1], y = numbers[2], yearDigits = digits[2];
    } else if (o == Order::YMD) {
        y = numbers[0], m = numbers[1], d = numbers[2], yearDigits = digits[0];
    } else {
        m = numbers[0], d = numbers[1], y = numbers[2], yearDigits = digits[2];
    }
    if (yearDigits <= 2)
        y = windowTwoDigitYear(y, today.year());
    const QDate date(y, m, d);
    return date.isValid() ? date : QDate();
}

QString LocaleFormats::formatTime(const QTime& time) const
{
    int h = time.hour() % 12;
    if (h == 0)
        h = 12;
    return QStringLiteral("%1%2%3%4")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m_timeSep)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

std::optional<QTime> LocaleFormats::parseTime(QStringView text) const
{
    // 0 = no marker, 1 = AM, 2 = PM
    int marker = 0;
    auto readMarker = [&](qsizetype& i) {
        const QStringView rest = text.mid(i);
        const QString candidates[4] = {QStringLiteral("AM"), QStringLiteral("PM"), m_am, m_pm};
        for (int k = 0; k < 4; ++k) {
            const QString& c = candidates[k];
            if (!c.isEmpty() && rest.startsWith(c, Qt::CaseInsensitive)) {
                marker = (k % 2 == 0) ? 1 : 2;
                i += c.size();
                return true;
            }
        }
        return false;
    };

    qsizetype i = 0;
    if (!skipBlanks(text, i))
        return std::nullopt;
    readMarker(i);
    const bool markerFirst = marker != 0;
    skipBlanks(text, i);
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        int v;
        if (readNumber(text, i, v) == 0)
            return std::nullopt;
        parts[count++] = v;
        skipBlanks(text, i);
        // The locale's separator, or the ":" that times were long stored with whatever the
        // locale, so lists written under another separator still read.
        if (count < 3 && i < text.size() && (text.at(i) == m_timeSep || text.at(i) == QLatin1Char(':'))) {
            ++i;
            skipBlanks(text, i);
            continue;
        }
        break;
    }
    skipBlanks(text, i);
    if (!markerFirst && i < text.size()) {
        if (!readMarker(i))
            return std::nullopt;
        skipBlanks(text, i);
    }
    if (i != text.size())
        return std::nullopt;
    int hour = parts[0];
    if (marker != 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        if (hour == 12)
            hour = 0;
        if (marker == 2)
            hour += 12;
    }
    if (hour >= 24 || parts[1] >= 60 || parts[2] >= 60)
        return std::nullopt;
    return QTime(hour, parts[1], parts[2]);
}

} // namespace veltry
