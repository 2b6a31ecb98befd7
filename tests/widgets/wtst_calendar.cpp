#include "platform/core/Clock.h"
#include "widgets/CalComp.h"
#include "widgets/PopupCal.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace veltry;

namespace {

// Sunday 15 March 2026: March starts on a Sunday, so the first row differs between a
// Sunday-first and a Monday-first week.
const QDate Today(2026, 3, 15);

std::unique_ptr<TCalForm> openForm(const QDate& start, int firstWeekday = 1)
{
    auto form = std::make_unique<TCalForm>();
    form->setFirstWeekday(firstWeekday);
    form->setStartDate(start);
    form->popup(QPoint(200, 200));
    return form;
}

// The centre of a day cell, in the window's own coordinates.
QPoint cellPoint(const TCalForm& form, int column, int row)
{
    const QPoint client(column * form.cellWidth() + form.cellWidth() / 2,
                        TCalForm::HeaderHeight + (row + 1) * form.cellHeight()
                            + form.cellHeight() / 2 - 2);
    return TCalForm::clientToWidget(client);
}

QPoint at(int x, int y)
{
    return TCalForm::clientToWidget(QPoint(x, y));
}

const QPoint LeftArrow = at(9, 6);
const QPoint RightArrow = at(125, 6);
const QPoint Title = at(TCalForm::ClientWidth / 2, 7);

// Whether any pixel inside `box` (client coordinates) has the colour `colour`, give or take
// `tolerance` per channel (text is antialiased, so its ink rarely lands exactly).
bool hasColour(const QImage& image, const QRect& box, const QColor& colour, int tolerance)
{
    auto near = [&colour, tolerance](const QColor& pixel) {
        return std::abs(pixel.red() - colour.red()) <= tolerance
            && std::abs(pixel.green() - colour.green()) <= tolerance
            && std::abs(pixel.blue() - colour.blue()) <= tolerance;
    };
    const QRect inWidget = box.translated(TCalForm::FrameWidth, TCalForm::FrameWidth);
    for (int y = inWidget.top(); y <= inWidget.bottom(); ++y)
        for (int x = inWidget.left(); x <= inWidget.right(); ++x)
            if (near(image.pixelColor(x, y)))
                return true;
    return false;
}

QRect cellBox(const TCalForm& form, int column, int row)
{
    return QRect(column * form.cellWidth(), TCalForm::HeaderHeight + (row + 1) * form.cellHeight(),
                 form.cellWidth(), form.cellHeight());
}

} // namespace

class TestCalendar final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void keys_data();
    void keys();
    void enterAndEscape_data();
    void enterAndEscape();
    void clickDay_data();
    void clickDay();
    void clickSlop_data();
    void clickSlop();
    void arrows_data();
    void arrows();
    void titleToggle();
    void monthPick_data();
    void monthPick();
    void cancel_data();
    void cancel();
    void outsidePressThroughWindowSystem();
    void firstWeekday_data();
    void firstWeekday();
    void painting_data();
    void painting();
    void executePicksAndCancels();
    void executeOnImpossibleDateOpensOnToday();
    void placement_data();
    void placement();
};

void TestCalendar::initTestCase()
{
    Clock::setInstance(std::make_shared<FixedClock>(Today.startOfDay().addSecs(10 * 3600)));
}

void TestCalendar::cleanupTestCase()
{
    Clock::setInstance(nullptr);
}

void TestCalendar::keys_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QDate>("expected");
    QTest::addColumn<QString>("title");

    QTest::newRow("right off the month end") << QDate(2026, 3, 31) << QList<int>{Qt::Key_Right}
                                              << QDate(2026, 4, 1) << "Apr 2026";
    QTest::newRow("left into last year") << QDate(2026, 1, 1) << QList<int>{Qt::Key_Left}
                                         << QDate(2025, 12, 31) << "Dec 2025";
    QTest::newRow("down a week") << QDate(2026, 3, 28) << QList<int>{Qt::Key_Down}
                                 << QDate(2026, 4, 4) << "Apr 2026";
    QTest::newRow("up a week") << QDate(2026, 3, 3) << QList<int>{Qt::Key_Up}
                               << QDate(2026, 2, 24) << "Feb 2026";
    QTest::newRow("31 Jan + month") << QDate(2026, 1, 31) << QList<int>{Qt::Key_PageDown}
                                    << QDate(2026, 2, 28) << "Feb 2026";
    QTest::newRow("31 Jan + month, leap year") << QDate(2028, 1, 31)
                                               << QList<int>{Qt::Key_PageDown}
                                               << QDate(2028, 2, 29) << "Feb 2028";
    QTest::newRow("century not leap") << QDate(1900, 3, 31) << QList<int>{Qt::Key_PageUp}
                                      << QDate(1900, 2, 28) << "Feb 1900";
    QTest::newRow("fourth century leap") << QDate(2000, 3, 30) << QList<int>{Qt::Key_PageUp}
                                         << QDate(2000, 2, 29) << "Feb 2000";
    QTest::newRow("December to January") << QDate(2026, 12, 15) << QList<int>{Qt::Key_PageDown}
                                         << QDate(2027, 1, 15) << "Jan 2027";
    QTest::newRow("clamp is not remembered")
        << QDate(2026, 1, 31) << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown}
        << QDate(2026, 3, 28) << "Mar 2026";
    QTest::newRow("arrows ignored in month view")
        << QDate(2026, 5, 20)
        << QList<int>{Qt::Key_Space, Qt::Key_Left, Qt::Key_Down, Qt::Key_Right, Qt::Key_Up}
        << QDate(2026, 5, 20) << "2026";
    QTest::newRow("page keys in month view")
        << QDate(2026, 12, 31) << QList<int>{Qt::Key_Space, Qt::Key_PageDown, Qt::Key_PageDown}
        << QDate(2027, 2, 28) << "2027";
    QTest::newRow("space toggles back") << QDate(2026, 5, 20)
                                        << QList<int>{Qt::Key_Space, Qt::Key_Space}
                                        << QDate(2026, 5, 20) << "May 2026";
}

void TestCalendar::keys()
{
    QFETCH(QDate, start);
    QFETCH(QList<int>, keys);
    QFETCH(QDate, expected);
    QFETCH(QString, title);

    auto form = openForm(start);
    for (int key : keys)
        QTest::keyClick(form.get(), static_cast<Qt::Key>(key));
    QCOMPARE(form->selectedDate(), expected);
    QCOMPARE(form->title(), title);
    QVERIFY(!form->isFinished());
}

void TestCalendar::enterAndEscape_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QDate>("result");

    QTest::newRow("enter") << int(Qt::Key_Return) << true << QDate(2026, 5, 17);
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << true << QDate(2026, 5, 17);
    QTest::newRow("escape") << int(Qt::Key_Escape) << false << QDate(2026, 3, 10);
}

void TestCalendar::enterAndEscape()
{
    QFETCH(int, key);
    QFETCH(bool, accepted);
    QFETCH(QDate, result);

    auto form = openForm(QDate(2026, 3, 10));
    QSignalSpy finished(form.get(), &TCalForm::finished);
    QTest::keyClick(form.get(), Qt::Key_PageDown);
    QTest::keyClick(form.get(), Qt::Key_PageDown);
    QTest::keyClick(form.get(), Qt::Key_Down);
    QTest::keyClick(form.get(), static_cast<Qt::Key>(key));

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), accepted);
    QCOMPARE(form->selectedDate(), result);
    QVERIFY(!form->isVisible());
}

void TestCalendar::clickDay_data()
{
    QTest::addColumn<int>("firstWeekday");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QDate>("expected");

    // March 2026 starts on a Sunday.
    QTest::newRow("monday first, previous month") << 1 << 0 << 0 << QDate(2026, 2, 23);
    QTest::newRow("monday first, first of month") << 1 << 6 << 0 << QDate(2026, 3, 1);
    QTest::newRow("monday first, next month at the end") << 1 << 6 << 5 << QDate(2026, 4, 5);
    QTest::newRow("monday first, mid month") << 1 << 2 << 3 << QDate(2026, 3, 18);
    QTest::newRow("sunday first, first of month") << 7 << 0 << 0 << QDate(2026, 3, 1);
    QTest::newRow("sunday first, next month") << 7 << 3 << 4 << QDate(2026, 4, 1);
    QTest::newRow("sunday first, last cell") << 7 << 6 << 5 << QDate(2026, 4, 11);
}

void TestCalendar::clickDay()
{
    QFETCH(int, firstWeekday);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QDate, expected);

    auto form = openForm(QDate(2026, 3, 10), firstWeekday);
    QSignalSpy finished(form.get(), &TCalForm::finished);
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, cellPoint(*form, column, row));
    QCOMPARE(finished.count(), 1);
    QVERIFY(finished.at(0).at(0).toBool());
    QCOMPARE(form->selectedDate(), expected);
}

void TestCalendar::clickSlop_data()
{
    QTest::addColumn<QPoint>("drift");
    QTest::addColumn<bool>("picked");

    QTest::newRow("still") << QPoint(0, 0) << true;
    QTest::newRow("3 right, 3 down") << QPoint(3, 3) << true;
    QTest::newRow("3 left, 3 up") << QPoint(-3, -3) << true;
    QTest::newRow("4 right") << QPoint(4, 0) << false;
    QTest::newRow("4 up") << QPoint(0, -4) << false;
    QTest::newRow("dragged far") << QPoint(40, 30) << false;
}

void TestCalendar::clickSlop()
{
    QFETCH(QPoint, drift);
    QFETCH(bool, picked);

    auto form = openForm(QDate(2026, 3, 10));
    QSignalSpy finished(form.get(), &TCalForm::finished);
    const QPoint press = cellPoint(*form, 3, 2);  // Thursday 12 March
    QTest::mousePress(form.get(), Qt::LeftButton, {}, press);
    QCOMPARE(form->selectedDate(), QDate(2026, 3, 12));
    QTest::mouseRelease(form.get(), Qt::LeftButton, {}, press + drift);
    QCOMPARE(finished.count(), picked ? 1 : 0);
    if (picked)
        QVERIFY(finished.at(0).at(0).toBool());
    // The press selects the day whether or not the release picks it.
    QCOMPARE(form->selectedDate(), QDate(2026, 3, 12));
}

void TestCalendar::arrows_data()
{
    QTest::addColumn<bool>("monthView");
    QTest::addColumn<QPoint>("where");
    QTest::addColumn<QDate>("expected");

    QTest::newRow("day view, left") << false << LeftArrow << QDate(2026, 2, 28);
    QTest::newRow("day view, right") << false << RightArrow << QDate(2026, 4, 30);
    QTest::newRow("month view, left") << true << LeftArrow << QDate(2025, 3, 31);
    QTest::newRow("month view, right") << true << RightArrow << QDate(2027, 3, 31);
    QTest::newRow("between arrow and title") << false << at(18, 6) << QDate(2026, 3, 31);
    QTest::newRow("below the arrow") << false << at(9, 15) << QDate(2026, 3, 31);
}

void TestCalendar::arrows()
{
    QFETCH(bool, monthView);
    QFETCH(QPoint, where);
    QFETCH(QDate, expected);

    auto form = openForm(QDate(2026, 3, 31));
    if (monthView)
        QTest::mouseClick(form.get(), Qt::LeftButton, {}, Title);
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, where);
    QCOMPARE(form->selectedDate(), expected);
    QCOMPARE(form->view(), monthView ? TCalForm::View::Months : TCalForm::View::Days);
    QVERIFY(!form->isFinished());
}

void TestCalendar::titleToggle()
{
    auto form = openForm(QDate(2026, 3, 10));
    QCOMPARE(form->title(), QStringLiteral("Mar 2026"));
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, Title);
    QCOMPARE(form->view(), TCalForm::View::Months);
    QCOMPARE(form->title(), QStringLiteral("2026"));
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, Title);
    QCOMPARE(form->view(), TCalForm::View::Days);
    QCOMPARE(form->title(), QStringLiteral("Mar 2026"));
    QVERIFY(!form->isFinished());
}

void TestCalendar::monthPick_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QPoint>("where");
    QTest::addColumn<QDate>("expected");

    // Three rows of four names in columns 33 pixels wide; the rows are 29 pixels apart and
    // their names stand at y 35, 64 and 93.
    QTest::newRow("April on the 31st") << QDate(2026, 3, 31) << at(110, 40) << QDate(2026, 4, 30);
    QTest::newRow("February on the 30th") << QDate(2028, 3, 30) << at(40, 40)
                                          << QDate(2028, 2, 29);
    QTest::newRow("December") << QDate(2026, 3, 15) << at(110, 98) << QDate(2026, 12, 15);
    QTest::newRow("September") << QDate(2026, 3, 15) << at(5, 100) << QDate(2026, 9, 15);
    QTest::newRow("strip above the first row") << QDate(2026, 3, 15) << at(5, 30)
                                               << QDate(2026, 1, 15);
    QTest::newRow("below the last row") << QDate(2026, 3, 15) << at(80, 124)
                                        << QDate(2026, 11, 15);
    QTest::newRow("right edge") << QDate(2026, 3, 15) << at(TCalForm::ClientWidth - 1, 70)
                                << QDate(2026, 8, 15);
    QTest::newRow("on the caption, nothing") << QDate(2026, 3, 15) << at(20, 20)
                                             << QDate(2026, 3, 15);
}

void TestCalendar::monthPick()
{
    QFETCH(QDate, start);
    QFETCH(QPoint, where);
    QFETCH(QDate, expected);

    auto form = openForm(start);
    QTest::keyClick(form.get(), Qt::Key_Space);
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, where);
    QCOMPARE(form->selectedDate(), expected);
    const bool picked = expected != start;
    QCOMPARE(form->view(), picked ? TCalForm::View::Days : TCalForm::View::Months);
    // Picking a month never closes the calendar: only a day does.
    QVERIFY(!form->isFinished());
}

void TestCalendar::cancel_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("escape") << "escape";
    QTest::newRow("right click on a day") << "right";
    QTest::newRow("right click outside") << "right-outside";
    QTest::newRow("left press outside") << "outside";
    QTest::newRow("left press in the bottom strip") << "bottom";
    QTest::newRow("closed by the system") << "close";
}

void TestCalendar::cancel()
{
    QFETCH(QString, how);

    const QDate start(2026, 3, 10);
    auto form = openForm(start);
    QSignalSpy finished(form.get(), &TCalForm::finished);
    QTest::keyClick(form.get(), Qt::Key_PageDown);
    QTest::keyClick(form.get(), Qt::Key_Right);
    QCOMPARE(form->selectedDate(), QDate(2026, 4, 11));

    const QPoint outside(form->width() + 20, form->height() / 2);
    if (how == QLatin1String("escape"))
        QTest::keyClick(form.get(), Qt::Key_Escape);
    else if (how == QLatin1String("right"))
        QTest::mouseClick(form.get(), Qt::RightButton, {}, cellPoint(*form, 2, 2));
    else if (how == QLatin1String("right-outside"))
        QTest::mouseClick(form.get(), Qt::RightButton, {}, outside);
    else if (how == QLatin1String("outside"))
        QTest::mousePress(form.get(), Qt::LeftButton, {}, outside);
    else if (how == QLatin1String("bottom"))
        QTest::mousePress(form.get(), Qt::LeftButton, {}, at(60, TCalForm::ClientHeight - 2));
    else
        form->close();

    QCOMPARE(finished.count(), 1);
    QVERIFY(!finished.at(0).at(0).toBool());
    QCOMPARE(form->selectedDate(), start);
    QVERIFY(!form->isVisible());
}

void TestCalendar::outsidePressThroughWindowSystem()
{
    // A press on another window reaches the open calendar, which closes with Cancel.
    QWidget host;
    host.setGeometry(20, 20, 300, 200);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    TCalComp calendar;
    calendar.setDate(QDate(2026, 6, 5));
    calendar.setLeft(500);
    calendar.setTop(300);
    bool sawForm = false;
    bool gaveUp = false;
    connect(&calendar, &TCalComp::shown, this, [&](TCalForm* form) {
        sawForm = form->isVisible();
        QTimer::singleShot(0, &host, [&host] {
            QTest::mouseClick(host.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
        });
        // Should the press not reach the calendar, end the run instead of hanging the test.
        QTimer::singleShot(3000, form, [form, &gaveUp] {
            gaveUp = true;
            form->close();
        });
    });
    QVERIFY(!calendar.execute());
    QVERIFY(sawForm);
    QVERIFY(!gaveUp);
    QCOMPARE(calendar.date(), QDate(2026, 6, 5));
    QCOMPARE(calendar.activeForm(), nullptr);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

void TestCalendar::firstWeekday_data()
{
    QTest::addColumn<int>("firstday");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QDate>("firstCell");

    QTest::newRow("monday") << int(TCalComp::sdMonday) << "Mo Tu We Th Fr Sa Su"
                            << QDate(2026, 2, 23);
    QTest::newRow("sunday") << int(TCalComp::sdSunday) << "Su Mo Tu We Th Fr Sa"
                            << QDate(2026, 3, 1);
    QTest::newRow("saturday") << int(TCalComp::sdSaturday) << "Sa Su Mo Tu We Th Fr"
                              << QDate(2026, 2, 28);
    QTest::newRow("wednesday") << int(TCalComp::sdWednesday) << "We Th Fr Sa Su Mo Tu"
                               << QDate(2026, 2, 25);
}

void TestCalendar::firstWeekday()
{
    QFETCH(int, firstday);
    QFETCH(QString, names);
    QFETCH(QDate, firstCell);

    TCalComp calendar;
    calendar.setFirstday(static_cast<TCalComp::TStartDay>(firstday));
    calendar.setDate(QDate(2026, 3, 20));
    QString shownNames;
    QDate shownFirst;
    QDate shownLast;
    connect(&calendar, &TCalComp::shown, this, [&](TCalForm* form) {
        QStringList row;
        for (int c = 0; c < 7; ++c)
            row << form->dayNameAt(c);
        shownNames = row.join(QLatin1Char(' '));
        shownFirst = form->dateAt(0, 0);
        shownLast = form->dateAt(6, 5);
        QTest::keyClick(form, Qt::Key_Escape);
    });
    QVERIFY(!calendar.execute());
    QCOMPARE(shownNames, names);
    QCOMPARE(shownFirst, firstCell);
    QCOMPARE(shownLast, firstCell.addDays(41));
}

void TestCalendar::painting_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<bool>("present");

    const QColor shadow(0x80, 0x80, 0x80);
    const QColor weekend(0xFF, 0x00, 0x00);
    const QColor select(0x00, 0x00, 0xC0);
    const QColor invers(0x00, 0xC0, 0x00);
    // Monday first, March 2026: Sunday 15 March (today) is column 6, row 2.
    QTest::newRow("today is framed") << QDate(2026, 3, 2) << 6 << 2 << shadow << 0 << true;
    QTest::newRow("another Sunday is not framed")
        << QDate(2026, 3, 2) << 6 << 3 << shadow << 0 << false;
    QTest::newRow("no frame in another month")
        << QDate(2026, 4, 2) << 6 << 2 << shadow << 0 << false;
    QTest::newRow("Saturday in weekend colour")
        << QDate(2026, 3, 2) << 5 << 1 << weekend << 0x50 << true;
    QTest::newRow("Friday in text colour")
        << QDate(2026, 3, 2) << 4 << 1 << weekend << 0x50 << false;
    QTest::newRow("selected day background")
        << QDate(2026, 3, 18) << 2 << 3 << select << 0 << true;
    QTest::newRow("unselected day, no background")
        << QDate(2026, 3, 18) << 3 << 3 << select << 0 << false;
    QTest::newRow("previous month's Saturday is dimmed")
        << QDate(2026, 3, 2) << 5 << 0 << invers << 0x50 << true;
}

void TestCalendar::painting()
{
    QFETCH(QDate, start);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QColor, colour);
    QFETCH(int, tolerance);
    QFETCH(bool, present);

    TCalForm form;
    form.setColors(QColor(0xD4, 0xD0, 0xC8), Qt::black, QColor(0x00, 0x00, 0xC0),
                   QColor(0x00, 0xC0, 0x00), QColor(0xFF, 0x00, 0x00));
    form.setFirstWeekday(1);
    form.setStartDate(start);
    const QImage image = form.grab().toImage();
    QCOMPARE(hasColour(image, cellBox(form, column, row), colour, tolerance), present);
}

void TestCalendar::executePicksAndCancels()
{
    TCalComp calendar;
    calendar.setDate(QDate(2026, 1, 31));

    // Picked inside the running event loop, as a user would.
    connect(&calendar, &TCalComp::shown, this, [](TCalForm* form) {
        QTimer::singleShot(0, form, [form] {
            QTest::keyClick(form, Qt::Key_PageDown);
            QTest::keyClick(form, Qt::Key_Return);
        });
    });
    QVERIFY(calendar.execute());
    QCOMPARE(calendar.day(), quint16(28));
    QCOMPARE(calendar.month(), quint16(2));
    QCOMPARE(calendar.year(), quint16(2026));
    QCOMPARE(calendar.activeForm(), nullptr);

    calendar.disconnect(this);
    connect(&calendar, &TCalComp::shown, this, [](TCalForm* form) {
        QTimer::singleShot(0, form, [form] {
            QTest::keyClick(form, Qt::Key_PageDown);
            QTest::mouseClick(form, Qt::RightButton);
        });
    });
    QVERIFY(!calendar.execute());
    QCOMPARE(calendar.date(), QDate(2026, 2, 28));
}

void TestCalendar::executeOnImpossibleDateOpensOnToday()
{
    TCalComp calendar;
    calendar.setDay(31);
    calendar.setMonth(2);
    calendar.setYear(2026);
    QDate openedOn;
    connect(&calendar, &TCalComp::shown, this, [&](TCalForm* form) {
        openedOn = form->selectedDate();
        QTest::keyClick(form, Qt::Key_Escape);
    });
    QVERIFY(!calendar.execute());
    QCOMPARE(openedOn, Today);
    // Cancel leaves the caller's values alone, even unusable ones.
    QCOMPARE(calendar.day(), quint16(31));
    QCOMPARE(calendar.month(), quint16(2));
}

void TestCalendar::placement_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("hostTop");
    QTest::addColumn<bool>("below");

    QTest::newRow("bottom") << int(TCalComp::smBottom) << 100 << true;
    QTest::newRow("top") << int(TCalComp::smTop) << 300 << false;
    QTest::newRow("dependent with room below") << int(TCalComp::smDependent) << 100 << true;
    // Negative: measured up from the screen's bottom edge.
    QTest::newRow("dependent near the screen bottom") << int(TCalComp::smDependent) << -100
                                                      << false;
}

void TestCalendar::placement()
{
    QFETCH(int, method);
    QFETCH(int, hostTop);
    QFETCH(bool, below);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    if (hostTop < 0)
        hostTop += screen.bottom() + 1;
    QWidget host;
    host.setGeometry(60, hostTop, 260, 60);
    auto* field = new QWidget(&host);
    field->setGeometry(30, 10, 90, 22);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QVERIFY2(screen.height() >= 500, "the screen is too small for this test");

    TCalComp calendar;
    calendar.setAlignControl(field);
    calendar.setShowMethod(static_cast<TCalComp::TShowMethod>(method));
    QPoint shownAt;
    QSize shownSize;
    connect(&calendar, &TCalComp::shown, this, [&](TCalForm* form) {
        shownAt = form->pos();
        shownSize = form->size();
        QTest::keyClick(form, Qt::Key_Escape);
    });
    calendar.execute();

    const QPoint fieldTopLeft = field->mapToGlobal(QPoint(0, 0));
    QCOMPARE(shownAt.x(), fieldTopLeft.x());
    if (below)
        QCOMPARE(shownAt.y(), fieldTopLeft.y() + field->height());
    else
        QCOMPARE(shownAt.y() + shownSize.height(), fieldTopLeft.y());
    QCOMPARE(shownSize.width(), 140);

    // Without an align control the window goes to Left, Top.
    calendar.setAlignControl(nullptr);
    calendar.setLeft(650);
    calendar.setTop(430);
    calendar.execute();
    QCOMPARE(shownAt, QPoint(650, 430));
}

QTEST_MAIN(TestCalendar)
#include "wtst_calendar.moc"
