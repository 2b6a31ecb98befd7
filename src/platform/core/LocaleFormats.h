#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace veltry {

// The locale's date and time conventions, in the day/month/year letter notation the data files
// were always written with ("m/d/yy", "dd/mm/yyyy"). One instance is current for the program;
// tests replace it to pin the format.
class LocaleFormats
{
public:
    LocaleFormats();  // the fallback: "m/d/yy", "/", ":", "AM"/"PM"
    static LocaleFormats fromLocale(const QLocale& locale);
    static LocaleFormats fromPattern(const QString& shortDateFormat, QChar dateSeparator,
                                     QChar timeSeparator = QLatin1Char(':'),
                                     const QString& am = QStringLiteral("AM"),
                                     const QString& pm = QStringLiteral("PM"));

    static const LocaleFormats& current();
    static void setCurrent(const LocaleFormats& formats);
    static void resetCurrent();  // back to the system locale

    const QString& shortDateFormat() const { return m_shortDate; }
    QChar dateSeparator() const { return m_dateSep; }
    QChar timeSeparator() const { return m_timeSep; }
    const QString& amDesignator() const { return m_am; }
    const QString& pmDesignator() const { return m_pm; }
    // True when the short date format begins with the day.
    bool dayFirst() const;

    // A date in the short date format.
    QString formatDate(const QDate& date) const;
    // Reads a date written in the short date format (the year may be left out: this year). A
    // two-digit year lands within 50 years of `today`. Invalid date on anything unreadable.
    QDate parseDate(QStringView text, const QDate& today) const;

    // "hh:mmam/pm": 12-hour clock, two digits each, the time separator, lower-case am/pm.
    QString formatTime(const QTime& time) const;
    // Reads a time: blanks skipped, an AM/PM marker before the hour or after the minutes or
    // seconds, hour[:minutes[:seconds]], the parts apart by the time separator or by ":".
    // Nothing on an unreadable text.
    std::optional<QTime> parseTime(QStringView text) const;

private:
    enum class Order { MDY, DMY, YMD };
    Order order() const;

    QString m_shortDate;
    QChar m_dateSep;
    QChar m_timeSep;
    QString m_am;
    QString m_pm;
};

// Places a year written with one or two digits within 50 years of `today`'s year.
int windowTwoDigitYear(int twoDigitYear, int thisYear);

} // namespace veltry
