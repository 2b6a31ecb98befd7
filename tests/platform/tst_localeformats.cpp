#include "platform/core/LocaleFormats.h"

#include <QTest>

using namespace veltry;

class TestLocaleFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fromLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("dayFirst");
        QTest::addColumn<QString>("timeSeparator");
        QTest::newRow("us") << "en_US" << "m/d/yy" << "/" << false << ":";
        // The letters keep "/" for the separator, which comes apart, as the notation always had it.
        QTest::newRow("german") << "de_DE" << "dd/mm/yy" << "." << true << ":";
        QTest::newRow("swedish, year first") << "sv_SE" << "yyyy/mm/dd" << "-" << false << ":";
        QTest::newRow("finnish") << "fi_FI" << "d/m/yyyy" << "." << true << ".";
        QTest::newRow("danish") << "da_DK" << "dd/mm/yyyy" << "." << true << ".";
        QTest::newRow("indonesian") << "id_ID" << "dd/mm/yy" << "/" << true << ".";
    }
    void fromLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, pattern);
        QFETCH(QString, separator);
        QFETCH(bool, dayFirst);
        QFETCH(QString, timeSeparator);
        const LocaleFormats f = LocaleFormats::fromLocale(QLocale(locale));
        QCOMPARE(f.shortDateFormat(), pattern);
        QCOMPARE(QString(f.dateSeparator()), separator);
        QCOMPARE(f.dayFirst(), dayFirst);
        QCOMPARE(QString(f.timeSeparator()), timeSeparator);
    }

    void nonNumericLocaleFallsBack()
    {
        const LocaleFormats f = LocaleFormats::fromLocale(QLocale::c());
        if (QLocale::c().dateFormat(QLocale::ShortFormat).contains(QLatin1String("MMM")))
            QCOMPARE(f.shortDateFormat(), QStringLiteral("m/d/yy"));
        QCOMPARE(LocaleFormats().shortDateFormat(), QStringLiteral("m/d/yy"));
        QVERIFY(!LocaleFormats().dayFirst());
    }

    void twoDigitYearWindow_data()
    {
        QTest::addColumn<int>("yy");
        QTest::addColumn<int>("thisYear");
        QTest::addColumn<int>("year");
        QTest::newRow("this year") << 26 << 2026 << 2026;
        QTest::newRow("last year") << 25 << 2026 << 2025;
        QTest::newRow("49 ahead") << 75 << 2026 << 2075;
        QTest::newRow("50 back") << 76 << 2026 << 1976;
        QTest::newRow("zero") << 0 << 2026 << 2000;
        QTest::newRow("turn of the century") << 99 << 2001 << 1999;
    }
    void twoDigitYearWindow()
    {
        QFETCH(int, yy);
        QFETCH(int, thisYear);
        QFETCH(int, year);
        QCOMPARE(windowTwoDigitYear(yy, thisYear), year);
    }

    void parseDate_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        const QDate invalid;
        QTest::newRow("m/d/yy") << "m/d/yy" << "/" << "12/7/26" << QDate(2026, 12, 7);
        QTest::newRow("four-digit year") << "m/d/yy" << "/" << "7/3/2026" << QDate(2026, 7, 3);
        QTest::newRow("old year") << "m/d/yy" << "/" << "1/2/1930" << QDate(1930, 1, 2);
        QTest::newRow("blanks") << "m/d/yy" << "/" << " 7 / 3 / 26 " << QDate(2026, 7, 3);
        QTest::newRow("no year") << "m/d/yy" << "/" << "7/3" << QDate(2026, 7, 3);
        QTest::newRow("day first") << "dd/mm/yyyy" << "/" << "31/12/25" << QDate(2025, 12, 31);
        QTest::newRow("dots") << "dd/mm/yy" << "." << "01.02.03" << QDate(2003, 2, 1);
        QTest::newRow("year first") << "yyyy/mm/dd" << "-" << "2027-01-15" << QDate(2027, 1, 15);
        QTest::newRow("not a date") << "m/d/yy" << "/" << "2/30/26" << invalid;
        QTest::newRow("wrong separator") << "m/d/yy" << "/" << "7-3-26" << invalid;
        QTest::newRow("letters") << "m/d/yy" << "/" << "next week" << invalid;
        QTest::newRow("left over") << "m/d/yy" << "/" << "7/3/26x" << invalid;
        QTest::newRow("empty") << "m/d/yy" << "/" << "" << invalid;
        QTest::newRow("one number") << "m/d/yy" << "/" << "2003" << invalid;
    }
    void parseDate()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        const LocaleFormats f = LocaleFormats::fromPattern(pattern, separator.at(0));
        QCOMPARE(f.parseDate(text, QDate(2026, 12, 7)), date);
    }

    void formatDate_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::newRow("m/d/yy") << "m/d/yy" << "/" << "7/3/26";
        QTest::newRow("dd.mm.yyyy") << "dd/mm/yyyy" << "." << "03.07.2026";
        QTest::newRow("separator from locale") << "d/m/yy" << "-" << "3-7-26";
    }
    void formatDate()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        const LocaleFormats f = LocaleFormats::fromPattern(pattern, separator.at(0));
        QCOMPARE(f.formatDate(QDate(2026, 7, 3)), text);
        QCOMPARE(f.parseDate(text, QDate(2026, 12, 7)), QDate(2026, 7, 3));
    }

    void parseTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("time");
        const QTime bad;
        QTest::newRow("stored form pm") << "09:30pm" << QTime(21, 30);
        QTest::newRow("midnight") << "12:00am" << QTime(0, 0);
        QTest::newRow("noon") << "12:00pm" << QTime(12, 0);
        QTest::newRow("display form") << "09:30 PM" << QTime(21, 30);
        QTest::newRow("marker first") << "pm 9:30" << QTime(21, 30);
        QTest::newRow("24-hour") << "17:05" << QTime(17, 5);
        QTest::newRow("hour only") << "7" << QTime(7, 0);
        QTest::newRow("seconds") << "1:02:03 am" << QTime(1, 2, 3);
        QTest::newRow("hour 13 with marker") << "13:30PM" << bad;
        QTest::newRow("hour 00 with marker") << "00:30AM" << bad;
        QTest::newRow("minutes 60") << "10:60" << bad;
        QTest::newRow("hour 24") << "24:00" << bad;
        QTest::newRow("other letters") << "09:30XM" << bad;
        QTest::newRow("left over") << "09:30pm!" << bad;
        QTest::newRow("empty") << "" << bad;
    }
    void parseTime()
    {
        QFETCH(QString, text);
        QFETCH(QTime, time);
        const auto t = LocaleFormats().parseTime(text);
        QCOMPARE(t.has_value(), time.isValid());
        if (t)
            QCOMPARE(*t, time);
    }

    void formatTime_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("evening") << QTime(21, 30) << "09:30pm";
        QTest::newRow("midnight") << QTime(0, 0) << "12:00am";
        QTest::newRow("noon") << QTime(12, 5) << "12:05pm";
        QTest::newRow("seconds dropped") << QTime(8, 7, 59) << "08:07am";
    }
    void formatTime()
    {
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(LocaleFormats().formatTime(time), text);
        const LocaleFormats dotted = LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/'), QLatin1Char('.'));
        const QString dottedText = QString(text).replace(QLatin1Char(':'), QLatin1Char('.'));
        QCOMPARE(dotted.formatTime(time), dottedText);
        // Either form reads back under the other separator: lists are written under both.
        const QTime minutes(time.hour(), time.minute());
        QCOMPARE(dotted.parseTime(dottedText), std::optional<QTime>(minutes));
        QCOMPARE(dotted.parseTime(text), std::optional<QTime>(minutes));
    }
};

QTEST_GUILESS_MAIN(TestLocaleFormats)
#include "tst_localeformats.moc"
