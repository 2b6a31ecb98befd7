// The about box, the hot-keys sheet, the help window and the pictures the program draws with.
#include "ProgramFolder.h"
#include "TestEnv.h"
#include "platform/AppIcons.h"
#include "app/HelpViewer.h"
#include "app/VeltryApp.h"
#include "app/fAbout.h"
#include "app/fToDo.h"
#include "config/fhotkeys.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

using namespace veltry;
using namespace veltry::test;

namespace {
// Whether the picture has ink and leaves its top-left pixel clear: the flat buttons take that
// pixel's colour as the transparent one, so ink there would punch holes into the picture.
bool drawnWithClearCorner(const QPixmap& pm)
{
    const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    if (img.isNull() || qAlpha(img.pixel(0, 0)) != 0)
        return false;
    int ink = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ink += qAlpha(img.pixel(x, y)) > 128 ? 1 : 0;
    return ink > img.width() * img.height() / 10;
}

// Runs `open` and, once a modal dialog is up, hands it to `inspect` (which must close it).
template <typename Inspect>
int whileModal(const std::function<void()>& open, Inspect inspect)
{
    QObject guard;
    int seen = 0;
    auto* poll = new QTimer(&guard);
    QObject::connect(poll, &QTimer::timeout, &guard, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        ++seen;
        inspect(modal);
    });
    poll->start(5);
    open();
    return seen;
}
} // namespace

class TestHelpWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_program;

private Q_SLOTS:
    void init() { m_program = std::make_unique<ProgramFolder>(); }

    void programPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        for (const char* n : {"exit", "minimize", "check", "add", "remove", "edit", "autofit", "advsort", "find",
                              "logtasks", "history", "preferences"})
            QTest::newRow(n) << QString::fromLatin1(n) << QSize(18, 18);
        QTest::newRow("checkmark") << "checkmark" << QSize(14, 12);
        QTest::newRow("notes") << "notes" << QSize(14, 12);
        QTest::newRow("program") << "veltry" << QSize(32, 32);
    }

    void programPictures()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QPixmap pm = AppIcons::pixmap(name, size);
        QCOMPARE(pm.size(), size);
        QVERIFY(drawnWithClearCorner(pm));
        QVERIFY(AppIcons::pixmap(QStringLiteral("no such picture"), size).isNull());
    }

    void gridPicturesAreOurs()
    {
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        QCOMPARE(todo->ImageList2.count(), 3);
        QVERIFY(drawnWithClearCorner(todo->ImageList2.image(0)));
        QVERIFY(drawnWithClearCorner(todo->ImageList2.image(1)));
        QVERIFY(!todo->windowIcon().isNull());
        app.shutdown();
    }

    void hotKeysSheet()
    {
        QTimer timer;
        timer.start(1000);
        TfrmHotKeys sheet(nullptr, &timer);
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Veltry Hotkeys"));
        QCOMPARE(sheet.size(), QSize(269, 294));
        QCOMPARE(sheet.minimumSize(), sheet.maximumSize());
        QCOMPARE(sheet.keyLabels.size(), 14);
        const QStringList keys{"ALT+X", "ALT+M", "ALT+C, SPACE", "ALT+A, INS, +", "ALT+R, DEL, -", "ALT+E",
                               "ALT+W", "ALT+F", "F3, SHIFT+F3", "ALT+S", "ALT+L", "ALT+V", "CTRL+Z", "CTRL+Y"};
        const QStringList actions{"exit application", "minimize to system tray", "check/uncheck task",
                                  "add new task", "remove selected task", "edit selected task",
                                  "auto-fit column widths", "find text", "find next, find previous", "advanced sort",
                                  "log completed tasks", "view task history", "undo", "redo (also CTRL+SHIFT+Z)"};
        for (int i = 0; i < 14; ++i) {
            QCOMPARE(sheet.keyLabels[i]->text(), keys[i]);
            QCOMPARE(sheet.actionLabels[i]->text(), actions[i]);
            // Each row reads left to right on one line inside the panel.
            QVERIFY(sheet.keyLabels[i]->geometry().right() < sheet.actionLabels[i]->geometry().left());
            QCOMPARE(sheet.keyLabels[i]->y(), sheet.actionLabels[i]->y());
            QVERIFY(sheet.pnlKeys->rect().contains(sheet.actionLabels[i]->geometry()));
            QVERIFY(sheet.actionLabels[i]->fontMetrics().horizontalAdvance(actions[i])
                    <= sheet.actionLabels[i]->width());
        }
        sheet.show();
        sheet.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        QVERIFY(!timer.isActive());
        QTest::mouseClick(sheet.btnOK, Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }

    void aboutBox()
    {
        TfrmAbout about;
        QCOMPARE(about.lblProduct->text(), QStringLiteral("Veltry Professional"));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("v1.0"));
        QVERIFY(about.findChild<QLabel*>(QStringLiteral("lblSiteCaption")));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblSiteCaption"))->text(),
                 QStringLiteral("Official Veltry website"));
        about.show();
        QTest::mouseClick(about.btnOK, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QVERIFY(!about.helpRequested());
    }

    void aboutLinkOpensTheHelp()
    {
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        const int shown = whileModal([&] { todo->mnuHelpAbout->trigger(); }, [](QDialog* d) {
            auto* about = qobject_cast<TfrmAbout*>(d);
            QVERIFY(about);
            Q_EMIT about->lblWebsite->linkActivated(QStringLiteral("help:contents"));
        });
        QCOMPARE(shown, 1);
        auto* help = todo->findChild<HelpViewer*>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->currentPage(), HelpViewer::kContents);
        app.shutdown();
    }

    void helpTopicsAndF1OpenTheContents()
    {
        VeltryApp app;
        QVERIFY(app.start());
        TfrmToDo* todo = app.toDo();
        todo->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(todo));
        QVERIFY(!todo->findChild<HelpViewer*>());
        QTest::keyClick(todo, Qt::Key_F1);
        auto* help = todo->findChild<HelpViewer*>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->currentPage(), HelpViewer::kContents);
        QCOMPARE(help->windowTitle(), QStringLiteral("Veltry Professional Help"));
        help->showPage(QStringLiteral("shortcuts.html"));
        QCOMPARE(help->windowTitle(), QStringLiteral("Keyboard shortcuts - Veltry Professional Help"));
        help->hide();
        // The menu brings back the same window, at its contents.
        todo->HelpTopics1->trigger();
        QCOMPARE(todo->findChildren<HelpViewer*>().size(), 1);
        QVERIFY(help->isVisible());
        QCOMPARE(help->currentPage(), HelpViewer::kContents);
        app.shutdown();
    }

    void helpClosesFromTheKeyboard_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Escape") << QKeySequence(Qt::Key_Escape);
        QTest::newRow("Ctrl+W") << QKeySequence(Qt::CTRL | Qt::Key_W);
        QTest::newRow("Close button") << QKeySequence();
    }
    void helpClosesFromTheKeyboard()
    {
        QFETCH(QKeySequence, keys);
        HelpViewer help;
        help.showPage(HelpViewer::kContents);
        QVERIFY(QTest::qWaitForWindowActive(&help));
        help.browser()->setFocus();
        if (keys.isEmpty())
            QTest::mouseClick(help.findChild<QPushButton*>(QStringLiteral("btnClose")), Qt::LeftButton);
        else
            QTest::keySequence(&help, keys);
        QVERIFY(!help.isVisible());
    }

    void everyHelpPageIsReachableAndComplete()
    {
        HelpViewer help;
        const QString contents = help.browser()->toHtml();
        static const QRegularExpression link(QStringLiteral("href=\"([a-z-]+\\.html)\""));
        QStringList pages;
        for (auto it = link.globalMatch(contents); it.hasNext();)
            pages << it.next().captured(1);
        QCOMPARE(pages.size(), 7);
        for (const QString& page : pages) {
            help.showPage(page);
            QCOMPARE(help.currentPage(), page);
            QVERIFY2(!help.browser()->documentTitle().isEmpty(), qPrintable(page));
            QVERIFY2(help.browser()->toPlainText().size() > 300, qPrintable(page));
            // Each page leads back to the contents.
            QVERIFY2(help.browser()->toHtml().contains(QStringLiteral("index.html")), qPrintable(page));
        }
        help.showPage(QStringLiteral("files-settings.html"));
        const QString text = help.browser()->toPlainText();
        QVERIFY(text.contains(QStringLiteral("$XDG_CONFIG_HOME/veltry/registry.reg")));
        QVERIFY(text.contains(QStringLiteral("$XDG_DATA_HOME/veltry/")));
        QVERIFY(text.contains(QStringLiteral("veltlist.vlp")));
        // Back returns to the page before.
        help.showPage(QStringLiteral("alarms.html"));
        help.browser()->backward();
        QCOMPARE(help.currentPage(), QStringLiteral("files-settings.html"));
    }
};

QTEST_MAIN(TestHelpWindows)
#include "wtst_helpwindows.moc"
