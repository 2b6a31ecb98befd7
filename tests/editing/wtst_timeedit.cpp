#include "editing/TimeEdit.h"
#include "platform/MessageBox.h"
#include "platform/core/LocaleFormats.h"

#include <QDialog>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace veltry;

namespace {
const QStringList kRefused{QStringLiteral("Invalid input value.  Use escape key to abandon changes")};
}

// The time field in a small dialog beside another field and a button to move the focus to.
class TestTimeEdit final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QDialog> m_dialog;
    TTimeEdit* m_time = nullptr;
    QLineEdit* m_other = nullptr;
    QPushButton* m_button = nullptr;

    void focusTimeAtStart()
    {
        QTest::mouseClick(m_time, Qt::LeftButton, {}, QPoint(3, m_time->height() / 2));
        QVERIFY(m_time->hasFocus());
        m_time->setCursorPosition(0);
    }

private Q_SLOTS:
    void initTestCase() { MessageBox::setTestMode(true); }

    void init()
    {
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
        MessageBox::clearShownTexts();
        m_dialog = std::make_unique<QDialog>();
        m_time = new TTimeEdit(m_dialog.get());
        m_time->setGeometry(10, 10, 70, 21);
        m_other = new QLineEdit(m_dialog.get());
        m_other->setGeometry(90, 10, 70, 21);
        m_button = new QPushButton(QStringLiteral("Go"), m_dialog.get());
        m_button->setGeometry(170, 10, 50, 25);
        m_button->setAutoDefault(false);
        m_dialog->show();
        m_dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }

    void cleanup() { m_dialog.reset(); }

    void typing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");  // "!" = no readable time
        QTest::newRow("pm") << "0930pm" << "09:30 PM" << "0930PM" << "09:30pm";
        QTest::newRow("midnight") << "1200am" << "12:00 AM" << "1200AM" << "12:00am";
        QTest::newRow("quarter past midnight") << "1215AM" << "12:15 AM" << "1215AM" << "12:15am";
        QTest::newRow("fixed characters typed") << "09:30 am" << "09:30 AM" << "0930AM" << "09:30am";
        // A misfit is refused where the caret is, not carried on to a position that takes it.
        QTest::newRow("wrong kinds refused") << "x9a1/15p.m" << "91:15 PM" << "9115PM" << "!";
        QTest::newRow("24-hour with marker") << "1330PM" << "13:30 PM" << "1330PM" << "!";
    }

    void typing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, display);
        QFETCH(QString, value);
        QFETCH(QString, stored);
        focusTimeAtStart();
        QTest::keyClicks(m_time, keys);
        QCOMPARE(m_time->displayText(), display);
        QCOMPARE(m_time->value(), value);
        QCOMPARE(m_time->storedText().value_or(QStringLiteral("!")), stored);
    }

    // The fixed separator is the locale's, as in the reader and the stored text; a time stored
    // with ":" still opens, and comes back as it was while left alone.
    void separatorFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("sep");
        QTest::newRow("en_US") << "en_US" << ":";
        QTest::newRow("fi_FI") << "fi_FI" << ".";
        QTest::newRow("id_ID") << "id_ID" << ".";
    }

    void separatorFollowsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, sep);
        LocaleFormats::setCurrent(LocaleFormats::fromLocale(QLocale(locale)));
        m_time->blank();
        QCOMPARE(m_time->displayText(), QStringLiteral("__") + sep + QStringLiteral("__ __"));
        focusTimeAtStart();
        QTest::keyClicks(m_time, QStringLiteral("09") + sep + QStringLiteral("30 pm"));
        QCOMPARE(m_time->displayText(), QStringLiteral("09") + sep + QStringLiteral("30 PM"));
        QCOMPARE(m_time->storedText().value_or(QStringLiteral("!")), QStringLiteral("09") + sep + QStringLiteral("30pm"));
        m_time->setStoredText(QStringLiteral("05:45pm"));
        QCOMPARE(m_time->displayText(), QStringLiteral("05") + sep + QStringLiteral("45 PM"));
        QCOMPARE(m_time->storedText().value_or(QStringLiteral("!")), QStringLiteral("05:45pm"));
    }

    void storedToField_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("display");
        QTest::newRow("pm") << "05:45pm" << "05:45 PM";
        QTest::newRow("none") << "" << "__:__ __";
    }

    void storedToField()
    {
        QFETCH(QString, stored);
        QFETCH(QString, display);
        m_time->setStoredText(stored);
        QCOMPARE(m_time->displayText(), display);
        QVERIFY(!m_time->isChanged());
        QCOMPARE(m_time->storedText().value_or(QStringLiteral("!")), stored);
    }

    // Ways the focus tries to leave a half-filled or hand-cleared field; each is refused.
    void changedAndIncompleteCannotBeLeft_data()
    {
        QTest::addColumn<QString>("keys");  // "-" = clear everything
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("caret");
        QTest::newRow("tab") << "093" << "tab" << 4;
        QTest::newRow("click on a field") << "093" << "field" << 4;
        QTest::newRow("click on a button") << "093" << "button" << 4;
        QTest::newRow("cleared by hand") << "-" << "tab" << 0;
    }

    void changedAndIncompleteCannotBeLeft()
    {
        QFETCH(QString, keys);
        QFETCH(QString, how);
        QFETCH(int, caret);
        QSignalSpy clicks(m_button, &QPushButton::clicked);
        m_time->setStoredText(QStringLiteral("09:30am"));
        focusTimeAtStart();
        m_time->selectAll();
        QTest::keyClick(m_time, Qt::Key_Delete);
        if (keys != QLatin1String("-"))
            QTest::keyClicks(m_time, keys);
        if (how == QLatin1String("tab"))
            QTest::keyClick(m_time, Qt::Key_Tab);
        else
            QTest::mouseClick(how == QLatin1String("field") ? static_cast<QWidget*>(m_other) : m_button,
                              Qt::LeftButton);
        QTRY_VERIFY(m_time->hasFocus());
        QTest::qWait(20);
        QVERIFY(m_time->hasFocus());
        QCOMPARE(MessageBox::shownTexts(), kRefused);
        QCOMPARE(m_time->cursorPosition(), caret);
        QCOMPARE(clicks.count(), 0);

        // Escape gives back the text from before the change, however often the field was
        // refused in between; then the focus may go.
        QTest::keyClick(m_time, Qt::Key_Escape);
        QCOMPARE(m_time->displayText(), QStringLiteral("09:30 AM"));
        QTest::mouseClick(m_other, Qt::LeftButton);
        QVERIFY(m_other->hasFocus());
        QCOMPARE(MessageBox::shownTexts().size(), 1);
    }

    void untouchedOrProgramSetIsNeverRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("blank") << "";
        QTest::newRow("half set by the program") << "093";
    }

    void untouchedOrProgramSetIsNeverRefused()
    {
        QFETCH(QString, value);
        m_time->setValue(value);
        focusTimeAtStart();
        QTest::keyClick(m_time, Qt::Key_Tab);
        QVERIFY(!m_time->hasFocus());
        QVERIFY(MessageBox::shownTexts().isEmpty());
    }

    void escapeRestoresThenCancels()
    {
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        m_time->setStoredText(QStringLiteral("09:30am"));
        focusTimeAtStart();
        QTest::keyClicks(m_time, QStringLiteral("11"));
        QCOMPARE(m_time->displayText(), QStringLiteral("11:30 AM"));
        QTest::keyClick(m_time, Qt::Key_Escape);
        QCOMPARE(m_time->displayText(), QStringLiteral("09:30 AM"));
        QVERIFY(!m_time->isChanged());
        QCOMPARE(rejected.count(), 0);
        QTest::keyClick(m_time, Qt::Key_Escape);
        QCOMPARE(rejected.count(), 1);
    }
};

QTEST_MAIN(TestTimeEdit)
#include "wtst_timeedit.moc"
