#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace veltry;

class TestMessageBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleFollowsTheKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::newRow("question") << int(MessageBox::Kind::Information) << "Information";
        QTest::newRow("warning") << int(MessageBox::Kind::Warning) << "Warning";
        QTest::newRow("error") << int(MessageBox::Kind::Error) << "Error";
        QTest::newRow("notice") << int(MessageBox::Kind::Plain) << "Veltry Professional";
    }
    void titleFollowsTheKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        MessageBox::setTestMode(false);
        QString seenTitle;
        QString seenText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenTitle = box->windowTitle();
            seenText = box->text();
            box->button(QMessageBox::Cancel)->click();
        });
        const auto answer = MessageBox::show(nullptr, MessageBox::Kind(kind), QStringLiteral("Remove this task?"),
                                             QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(answer, QMessageBox::Cancel);
        QCOMPARE(seenTitle, title);
        QCOMPARE(seenText, QStringLiteral("Remove this task?"));
    }

    void applicationErrorBoxCarriesTheProgramName()
    {
        MessageBox::setTestMode(false);
        QString seenTitle;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenTitle = box->windowTitle();
            box->accept();
        });
        MessageBox::showError(nullptr, QStringLiteral("'x' is not a valid integer value"));
        QCOMPARE(seenTitle, QStringLiteral("Veltry Professional"));
    }

    void testModeAnswersWithoutShowing()
    {
        MessageBox::setTestMode(true);
        MessageBox::clearShownTexts();
        MessageBox::queueAnswer(QMessageBox::Cancel);
        QCOMPARE(MessageBox::show(nullptr, MessageBox::Kind::Information, QStringLiteral("a"),
                                  QMessageBox::Ok | QMessageBox::Cancel),
                 QMessageBox::Cancel);
        // With the queue empty the default button answers.
        QCOMPARE(MessageBox::show(nullptr, MessageBox::Kind::Information, QStringLiteral("b"),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
                 QMessageBox::No);
        QCOMPARE(MessageBox::shownTexts(), QStringList({"a", "b"}));
    }
};

QTEST_MAIN(TestMessageBox)
#include "wtst_messagebox.moc"
