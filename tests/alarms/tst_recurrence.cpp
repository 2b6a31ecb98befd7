#include "alarms/core/Recurrence.h"

#include <QTest>

using namespace veltry;

class TestRecurrence : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void monthStep_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("mid-month") << QDate(2025, 1, 15) << QDate(2025, 2, 15);
        QTest::newRow("year end") << QDate(2025, 12, 31) << QDate(2026, 1, 31);
        QTest::newRow("31 January, common year") << QDate(2025, 1, 31) << QDate(2025, 2, 28);
        QTest::newRow("31 January, leap year") << QDate(2024, 1, 31) << QDate(2024, 2, 29);
        QTest::newRow("29 January, common year") << QDate(2025, 1, 29) << QDate(2025, 2, 28);
        QTest::newRow("31 March") << QDate(2025, 3, 31) << QDate(2025, 4, 30);
        QTest::newRow("30 April") << QDate(2025, 4, 30) << QDate(2025, 5, 30);
    }
    void monthStep()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QCOMPARE(Recurrence::monthStep(from), to);
    }

    void advance_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QDate>("due");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("expected");
        const QDate monday(2025, 6, 2);
        QTest::newRow("daily, due yesterday") << 1 << QDate(2025, 6, 9) << QDateTime(QDate(2025, 6, 10), QTime(11, 0))
                                              << QDate(2025, 6, 11);
        QTest::newRow("daily, due today") << 1 << QDate(2025, 6, 10) << QDateTime(QDate(2025, 6, 10), QTime(11, 0))
                                          << QDate(2025, 6, 11);
        QTest::newRow("daily, still ahead") << 1 << QDate(2025, 6, 12) << QDateTime(QDate(2025, 6, 10), QTime(11, 0))
                                            << QDate(2025, 6, 12);
        QTest::newRow("weekly, Wednesday of the same week")
            << 2 << monday << QDateTime(monday.addDays(2), QTime(9, 0)) << monday.addDays(7);
        QTest::newRow("weekly, Monday a week later")
            << 2 << monday << QDateTime(monday.addDays(7), QTime(9, 0)) << monday.addDays(14);
        QTest::newRow("weekly, due 3 days ago") << 2 << monday.addDays(-3) << QDateTime(monday, QTime(9, 0))
                                                << monday.addDays(4);
        QTest::newRow("bi-weekly, due 20 days ago") << 3 << monday.addDays(-20) << QDateTime(monday, QTime(9, 0))
                                                    << monday.addDays(8);
        QTest::newRow("bi-weekly, years overdue") << 3 << QDate(2020, 1, 6) << QDateTime(QDate(2025, 6, 10), QTime(9, 0))
                                                  << QDate(2025, 6, 16);
        QTest::newRow("monthly, 15th renewed on the 15th") << 4 << QDate(2025, 1, 15)
                                                           << QDateTime(QDate(2025, 3, 15), QTime(10, 0))
                                                           << QDate(2025, 3, 15);
        QTest::newRow("monthly, 15th renewed on the 16th") << 4 << QDate(2025, 1, 15)
                                                           << QDateTime(QDate(2025, 3, 16), QTime(10, 0))
                                                           << QDate(2025, 4, 15);
        QTest::newRow("monthly, 10th of last month on the 10th") << 4 << QDate(2025, 5, 10)
                                                                 << QDateTime(QDate(2025, 6, 10), QTime(8, 0))
                                                                 << QDate(2025, 6, 10);
        // The month's own candidate stands at now's time of day; at midnight exactly it has come.
        QTest::newRow("monthly, on the day at midnight") << 4 << QDate(2025, 5, 10)
                                                         << QDateTime(QDate(2025, 6, 10), QTime(0, 0))
                                                         << QDate(2025, 7, 10);
        QTest::newRow("monthly, 31 December on 5 January") << 4 << QDate(2025, 12, 31)
                                                           << QDateTime(QDate(2026, 1, 5), QTime(9, 0))
                                                           << QDate(2026, 1, 31);
        QTest::newRow("monthly, 31 January in February") << 4 << QDate(2025, 1, 31)
                                                         << QDateTime(QDate(2025, 2, 5), QTime(9, 0))
                                                         << QDate(2025, 2, 28);
        QTest::newRow("monthly, 31 January in March") << 4 << QDate(2025, 1, 31)
                                                      << QDateTime(QDate(2025, 3, 5), QTime(9, 0))
                                                      << QDate(2025, 3, 31);
        QTest::newRow("monthly, years overdue") << 4 << QDate(2019, 8, 20) << QDateTime(QDate(2025, 6, 21), QTime(9, 0))
                                                << QDate(2025, 7, 20);
        QTest::newRow("one-time does not move") << 0 << QDate(2025, 1, 1) << QDateTime(QDate(2025, 6, 10), QTime(9, 0))
                                                << QDate(2025, 1, 1);
    }
    void advance()
    {
        QFETCH(int, type);
        QFETCH(QDate, due);
        QFETCH(QDateTime, now);
        QFETCH(QDate, expected);
        const auto step = Recurrence::stepFor(Recurrence::typeNames().at(type).toUpper());
        QCOMPARE(Recurrence::advance(due, step, now), expected);
    }

    void typeIndex_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("index");
        QTest::newRow("one-time") << "0" << 0;
        QTest::newRow("monthly") << "4" << 4;
        QTest::newRow("blanks") << " 2 " << 2;
        QTest::newRow("past the list") << "5" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("no number") << "weekly" << -1;
    }
    void typeIndex()
    {
        QFETCH(QString, cell);
        QFETCH(int, index);
        QCOMPARE(Recurrence::typeIndex(cell), index);
    }

    void stepsByName()
    {
        QCOMPARE(Recurrence::stepFor(QStringLiteral("DAILY")).days, 1);
        QCOMPARE(Recurrence::stepFor(QStringLiteral("WEEKLY")).days, 7);
        QCOMPARE(Recurrence::stepFor(QStringLiteral("BI-WEEKLY")).days, 14);
        QVERIFY(Recurrence::stepFor(QStringLiteral("MONTHLY")).monthly);
        QVERIFY(Recurrence::stepFor(QStringLiteral("ONE-TIME")).isNone());
        QVERIFY(Recurrence::stepFor(QStringLiteral("weekly")).isNone());  // compared in upper case
    }
};

QTEST_GUILESS_MAIN(TestRecurrence)
#include "tst_recurrence.moc"
