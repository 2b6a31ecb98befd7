// The advanced sort, its explanation and the find dialog, opened from the task window's toolbar.
#include "ProgramFolder.h"
#include "TestEnv.h"
#include "app/VeltryApp.h"
#include "app/fToDo.h"
#include "history/fAdvSort.h"
#include "history/fAdvSortHelp.h"
#include "history/fFind.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/core/Task.h"
#include "widgets/FlatBtn.h"
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

using namespace veltry;
using namespace veltry::test;

namespace {

// A task list file from rows "description|due date|category|priority|mark".
QByteArray listFile(const QStringList& tasks)
{
    static constexpr int kColumn[] = {TaskCol::Task, TaskCol::DueDate, TaskCol::Category, TaskCol::Priority,
                                      TaskCol::Mark};
    QByteArray out = taskListHeader(std::max<qsizetype>(tasks.size(), 1) + 1);
    for (int r = 0; r < tasks.size(); ++r) {
        const QStringList cells = tasks.at(r).split(QLatin1Char('|'));
        for (int k = 0; k < cells.size(); ++k)
            if (!cells.at(k).isEmpty())
                out += QByteArray::number(kColumn[k]) + ',' + QByteArray::number(r + 1) + ',' + cells.at(k).toUtf8()
                    + "\r\n";
    }
    return out;
}

// Runs `actions` in the next modal dialog once it is active; whatever is still open afterwards is
// cancelled, so a failing check cannot leave the test waiting.
void inNextModal(const std::function<void(QDialog*)>& actions)
{
    QTimer::singleShot(0, qApp, [actions] {
        QDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) != nullptr);
        // A dialog counts as active while its owner is; wait for its own turn.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(dialog));
        actions(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

QStringList itemsOf(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

class TestSortFind final : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;
    std::unique_ptr<VeltryApp> m_app;
    TfrmToDo* m_todo = nullptr;

    TTextGrid* grid() const { return m_todo->TaskGrid; }

    void start(const QStringList& tasks)
    {
        QVERIFY(m_program->write(kTaskListFileName, listFile(tasks)));
        m_app = std::make_unique<VeltryApp>();
        QVERIFY(m_app->start());
        m_todo = m_app->toDo();
        m_todo->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_todo));
        grid()->setFocus();
    }

    QStringList descriptions() const
    {
        QStringList out;
        for (int r = 1; r < grid()->RowCount(); ++r)
            out << grid()->Cells(TaskCol::Task, r);
        return out;
    }

    void click(TFlatButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(13, 12)); }

private Q_SLOTS:
    void initTestCase()
    {
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 15), QTime(10, 0))));
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }

    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void cleanup()
    {
        if (m_app)
            m_app->shutdown();
        m_app.reset();
        m_todo = nullptr;
    }

    // Each window: its title alone, a fixed client size, modal, a close box only.
    void windows_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("size");
        QTest::newRow("advanced sort") << "sort" << "Advanced Sort" << QSize(200, 238);
        QTest::newRow("explanation") << "help" << "Advanced Sorting Explained" << QSize(301, 230);
        QTest::newRow("find") << "find" << "Find Text" << QSize(176, 70);
    }
    void windows()
    {
        QFETCH(QString, which);
        QFETCH(QString, title);
        QFETCH(QSize, size);
        start({QStringLiteral("one")});
        std::unique_ptr<QDialog> d;
        if (which == QLatin1String("sort"))
            d = std::make_unique<TfrmAdvSort>(AdvancedSortChoice{-1, -1, -1, -1}, m_todo);
        else if (which == QLatin1String("help"))
            d = std::make_unique<TfrmAdvSortHelp>(m_todo);
        else
            d = std::make_unique<TfrmFind>(grid(), m_todo);
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        QCOMPARE(d->windowTitle(), title);
        QCOMPARE(d->size(), size);
        QCOMPARE(d->minimumSize(), size);
        QCOMPARE(d->maximumSize(), size);
        QVERIFY(d->isModal());
        QVERIFY(d->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!d->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!d->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        // Centred on the screen, give or take the window frame.
        const QPoint centre = d->screen()->availableGeometry().center();
        QVERIFY((d->geometry().center() - centre).manhattanLength() <= 4);
    }

    void advancedSortTexts()
    {
        start({QStringLiteral("one")});
        TfrmAdvSort d(AdvancedSortChoice{5, 0, 2, 0}, m_todo);
        d.show();
        QCOMPARE(d.Label1->text(), QStringLiteral("Please select how you would\nlike to sort your task list:"));
        QCOMPARE(d.SpeedButton1->toolTip(), QStringLiteral("Can you explain this a bit more?"));
        QVERIFY(d.SpeedButton1->geometry().left() > d.Label1->geometry().right());
        QCOMPARE(d.GroupBox1->title(), QStringLiteral("Primary Sort"));
        QCOMPARE(d.GroupBox2->title(), QStringLiteral("Secondary Sub-sort"));
        for (QGroupBox* g : {d.GroupBox1, d.GroupBox2}) {
            QStringList labels;
            for (const QLabel* l : g->findChildren<QLabel*>())
                labels << l->text();
            QCOMPARE(labels, (QStringList{"Key:", "Direction:"}));
        }
        const QStringList keys{"Status", "Description", "Due Date", "Due Time", "Category", "Priority"};
        const QStringList directions{"Ascending", "Descending"};
        for (QComboBox* box : {d.cboPKey, d.cboSKey})
            QCOMPARE(itemsOf(box), keys);
        for (QComboBox* box : {d.cboPDir, d.cboSDir})
            QCOMPARE(itemsOf(box), directions);
        for (QComboBox* box : {d.cboPKey, d.cboPDir, d.cboSKey, d.cboSDir})
            QVERIFY(!box->isEditable());
        QCOMPARE(d.BitBtn1->text(), QStringLiteral("Sort!"));
        QVERIFY(d.BitBtn1->isDefault());
        QCOMPARE(d.BitBtn2->text(), QStringLiteral("Cancel"));
    }

    void explanationLines()
    {
        start({QStringLiteral("one")});
        TfrmAdvSortHelp d(m_todo);
        QCOMPARE(d.Panel1->frameShadow(), QFrame::Sunken);
        QCOMPARE(d.Label1->text(), QStringLiteral("Primary and Secondary Keys"));
        QVERIFY(d.Label1->font().bold());
        QCOMPARE(d.Label2->text().split(QLatin1Char('\n')),
                 (QStringList{"Your task list will first be sorted by the primary key. If",
                              "two or more tasks have an identical primary key, the",
                              "secondary key will also be used to help correctly", "order the tasks."}));
        QCOMPARE(d.Label3->text(), QStringLiteral("Example"));
        QVERIFY(d.Label3->font().bold());
        QCOMPARE(d.Label4->text().split(QLatin1Char('\n')),
                 (QStringList{"You may choose \"priority\" as the primary key, and",
                              "\"due date\" as the secondary key. Your tasks will",
                              "first be sorted according to priority. However, within",
                              "the same priority level, the tasks will be sub-sorted", "according to their due date."}));
        QCOMPARE(d.BitBtn1->text(), QStringLiteral("OK"));
        // Every line fits its window.
        for (QLabel* l : {d.Label1, d.Label2, d.Label3, d.Label4})
            QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(l->text()));
    }

    // "Advanced Sort" from the toolbar: the boxes open on the kept choices, and "Sort!" sorts
    // with what is picked, without any error box and with the alarm timer running throughout.
    void advancedSortFromTheToolbar_data()
    {
        QTest::addColumn<QList<int>>("picks");  // empty: Cancel
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<int>("sortDirection");
        QTest::newRow("opening choices") << QList<int>{5, 0, 2, 0}
                                         << QStringList{"none", "one", "three", "Buy MILK"} << 5 << 0;
        QTest::newRow("due date descending, then description")
            << QList<int>{2, 1, 1, 0} << QStringList{"three", "Buy MILK", "one", "none"} << 2 << 1;
        QTest::newRow("priority, then due date descending")
            << QList<int>{5, 0, 2, 1} << QStringList{"three", "one", "none", "Buy MILK"} << 5 << 0;
        QTest::newRow("cancel") << QList<int>{} << QStringList{"three", "none", "one", "Buy MILK"} << 0 << 0;
    }
    void advancedSortFromTheToolbar()
    {
        QFETCH(QList<int>, picks);
        QFETCH(QStringList, expected);
        QFETCH(int, sortColumn);
        QFETCH(int, sortDirection);
        start({"three|3/1/27||1", "none|||1", "one|1/5/27||1", "Buy MILK|1/5/27||2"});
        grid()->setCurrentCell(1, 3);  // "one"
        QVERIFY(m_todo->Timer1->isActive());
        bool timerRan = false;
        bool opened = false;
        inNextModal([&](QDialog* dialog) {
            auto* d = qobject_cast<TfrmAdvSort*>(dialog);
            QVERIFY(d);
            opened = true;
            timerRan = m_todo->Timer1->isActive();
            QCOMPARE(d->choice(), (AdvancedSortChoice{5, 0, 2, 0}));
            QVERIFY(d->cboPKey->hasFocus());
            if (picks.isEmpty()) {
                QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
                return;
            }
            QComboBox* boxes[] = {d->cboPKey, d->cboPDir, d->cboSKey, d->cboSDir};
            for (int i = 0; i < 4; ++i)
                boxes[i]->setCurrentIndex(picks[i]);
            QTest::keyClick(d->cboSDir, Qt::Key_Return);
        });
        click(m_todo->btnAdvSort);
        QVERIFY(opened);
        QVERIFY(timerRan);
        QVERIFY(m_todo->Timer1->isActive());
        QCOMPARE(MessageBox::shownTexts(), QStringList());
        QCOMPARE(descriptions(), expected);
        QCOMPARE(grid()->SortColumn(), sortColumn);
        QCOMPARE(int(grid()->SortDirection), sortDirection);
        QCOMPARE(grid()->Cells(TaskCol::Task, grid()->Row()), QStringLiteral("one"));
        // The picks are used once: the next opening shows the kept choices again.
        inNextModal([](QDialog* dialog) {
            QCOMPARE(qobject_cast<TfrmAdvSort*>(dialog)->choice(), (AdvancedSortChoice{5, 0, 2, 0}));
        });
        click(m_todo->btnAdvSort);
        QCOMPARE(descriptions(), expected);
    }

    // The "?" button shows the explanation over the dialog; back from it, the picks are kept.
    void explanationFromTheDialog()
    {
        start({QStringLiteral("one")});
        QString explained;
        inNextModal([&](QDialog* dialog) {
            auto* d = qobject_cast<TfrmAdvSort*>(dialog);
            QVERIFY(d);
            d->cboSKey->setCurrentIndex(4);
            inNextModal([&](QDialog* help) {
                explained = help->windowTitle();
                QTest::keyClick(help, Qt::Key_Return);
            });
            QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
            QVERIFY(d->isVisible());
            QCOMPARE(d->cboSKey->currentIndex(), 4);
            d->reject();
        });
        click(m_todo->btnAdvSort);
        QCOMPARE(explained, QStringLiteral("Advanced Sorting Explained"));
    }

    // "Find Text" from the toolbar: the text typed, Enter; the first match in column order
    // becomes the current cell, or the message names the text.
    void find_data()
    {
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("col");  // real column of the match; -1 for none
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("message");
        const QStringList tasks{"call Bob||milk run|1", "buy milk||Home|2", "pay rent|||3| "};
        QTest::newRow("capitals find small letters") << tasks << "MILK" << 1 << 2 << "";
        QTest::newRow("description before a higher category") << tasks << "milk" << 1 << 2 << "";
        QTest::newRow("category when no description holds it") << tasks << "run" << 4 << 1 << "";
        QTest::newRow("status column counts") << tasks << " " << 0 << 3 << "";
        QTest::newRow("not found") << tasks << "Milk shake" << -1 << -1 << "The text \"Milk shake\" was not found";
        QTest::newRow("empty text") << tasks << "" << -1 << -1 << "The text \"\" was not found";
        QTest::newRow("hidden notes are not searched")
            << QStringList{"one"} << "secret" << -1 << -1 << "The text \"secret\" was not found";
    }
    void find()
    {
        QFETCH(QStringList, tasks);
        QFETCH(QString, text);
        QFETCH(int, col);
        QFETCH(int, row);
        QFETCH(QString, message);
        start(tasks);
        grid()->setCells(TaskCol::Notes, 1, QStringLiteral("secret"));
        grid()->setCurrentCell(2, 1);
        bool timerRan = false;
        inNextModal([&](QDialog* dialog) {
            auto* d = qobject_cast<TfrmFind*>(dialog);
            QVERIFY(d);
            timerRan = m_todo->Timer1->isActive();
            QVERIFY(d->edtFind->hasFocus());
            QVERIFY(d->edtFind->text().isEmpty());
            QCOMPARE(d->BitBtn1->text(), QStringLiteral("&Find"));
            QVERIFY(d->BitBtn1->isDefault());
            QCOMPARE(d->BitBtn2->text(), QStringLiteral("Cancel"));
            QTest::keyClicks(d->edtFind, text);
            QTest::keyClick(d->edtFind, Qt::Key_Return);
            QVERIFY(!d->isVisible());
            QCOMPARE(d->result(), int(QDialog::Accepted));
        });
        click(m_todo->btnFind);
        QVERIFY(timerRan);
        QVERIFY(m_todo->Timer1->isActive());
        if (col >= 0) {
            QCOMPARE(grid()->DisplayToRealColumn(grid()->Col()), col);
            QCOMPARE(grid()->Row(), row);
            QCOMPARE(MessageBox::shownTexts(), QStringList());
        } else {
            QCOMPARE(grid()->Col(), 2);
            QCOMPARE(grid()->Row(), 1);
            QCOMPARE(MessageBox::shownTexts(), QStringList{message});
        }
    }

    void findCancelDoesNotSearch()
    {
        start({QStringLiteral("buy milk")});
        grid()->setCurrentCell(2, 1);
        inNextModal([](QDialog* dialog) {
            auto* d = qobject_cast<TfrmFind*>(dialog);
            QTest::keyClicks(d->edtFind, QStringLiteral("nothing like it"));
            QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
        });
        click(m_todo->btnFind);
        QCOMPARE(grid()->Col(), 2);
        QCOMPARE(MessageBox::shownTexts(), QStringList());
    }
};

QTEST_MAIN(TestSortFind)
#include "wtst_sortfind.moc"
