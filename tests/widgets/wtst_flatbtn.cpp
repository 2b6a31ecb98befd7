#include "widgets/FlatBtn.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using veltry::TFlatButton;
using veltry::TFlatButtonLayout;
using veltry::TFlatButtonOption;
using veltry::TFlatButtonOptions;
using veltry::TFlatButtonShadingType;

namespace {

const QRgb kKey = qRgb(255, 0, 255);
const QRgb kInk = qRgb(200, 0, 0);

// A square picture of ink on the key colour, which the top-left pixel names as transparent.
QPixmap inkPicture(int size)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(kInk);
    img.setPixel(0, 0, kKey);
    return QPixmap::fromImage(img);
}

// Bounding box of the pixels drawn in ink colour.
QRect inkBounds(const QImage &img)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) == kInk)
                r = r.united(QRect(x, y, 1, 1));
        }
    }
    return r;
}

QImage snapshot(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

const TFlatButtonOptions kToolbarOptions = TFlatButtonOption::boIconOnly
    | TFlatButtonOption::boPopupMark | TFlatButtonOption::boShowBevel;

} // namespace

class TestFlatButton final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void mouseGestures_data();
    void mouseGestures();
    void hoverBevel();
    void groupLatching_data();
    void groupLatching();
    void downNeedsGroup();
    void disabledIgnoresInput();
    void accelerator();
    void acceleratorNeverAlternates_data();
    void acceleratorNeverAlternates();
    void hintFromCaption_data();
    void hintFromCaption();
    void hintTakenBackOnlyWhenDerived();
    void pictureIsPlaced_data();
    void pictureIsPlaced();
    void pressedPictureMovesDiagonally();
    void downPattern();
    void disabledPictureIsEmbossed();
    void shadedPicture_data();
    void shadedPicture();
    void dropDownMenuOpensBelowWithoutClick();

private:
    QWindow *handle() const { return m_host->windowHandle(); }
    QPoint at(const TFlatButton *b, QPoint local) const { return b->mapTo(m_host.get(), local); }
    TFlatButton *makeButton(int x, int groupIndex = 0, QWidget *parent = nullptr);

    std::unique_ptr<QWidget> m_host;
};

void TestFlatButton::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->resize(400, 120);
}

void TestFlatButton::cleanup()
{
    m_host.reset();
}

TFlatButton *TestFlatButton::makeButton(int x, int groupIndex, QWidget *parent)
{
    auto *b = new TFlatButton(parent ? parent : m_host.get());
    b->setGeometry(x, 10, 26, 24);
    b->setOptions(kToolbarOptions);
    b->setBitmap(inkPicture(18));
    b->setGroupIndex(groupIndex);
    return b;
}

void TestFlatButton::mouseGestures_data()
{
    // Each step: 'p' press at the centre, 'o' move off the button, 'i' move back to the centre,
    // 'r' release where the pointer is, 'R' a right-button click where the pointer is.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("clicks");
    QTest::newRow("press and release inside") << "pr" << 1;
    QTest::newRow("press, drag off, release") << "por" << 0;
    QTest::newRow("press, drag off and back, release") << "poir" << 1;
    QTest::newRow("two clicks") << "prpr" << 2;
    QTest::newRow("right button") << "R" << 0;
}

void TestFlatButton::mouseGestures()
{
    QFETCH(QString, steps);
    QFETCH(int, clicks);
    TFlatButton *b = makeButton(20);
    int callbacks = 0;
    b->setOnClick([&callbacks, b](TFlatButton *sender) {
        QCOMPARE(sender, b);
        ++callbacks;
    });
    QSignalSpy spy(b, &TFlatButton::clicked);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));

    const QPoint centre = at(b, b->rect().center());
    const QPoint off = at(b, QPoint(b->width() + 30, b->height() / 2));
    QPoint pointer = centre;
    QTest::mouseMove(handle(), QPoint(5, 100));
    QTest::mouseMove(handle(), centre);
    for (const QChar step : steps) {
        switch (step.toLatin1()) {
        case 'p':
        {
            const int before = spy.count();
            QTest::mousePress(handle(), Qt::LeftButton, {}, pointer);
            QCOMPARE(spy.count(), before);  // never on press
            break;
        }
        case 'o':
            pointer = off;
            QTest::mouseMove(handle(), pointer);
            break;
        case 'i':
            pointer = centre;
            QTest::mouseMove(handle(), pointer);
            break;
        case 'r':
            QTest::mouseRelease(handle(), Qt::LeftButton, {}, pointer);
            break;
        case 'R':
            QTest::mouseClick(handle(), Qt::RightButton, {}, pointer);
            break;
        }
    }
    QCOMPARE(spy.count(), clicks);
    QCOMPARE(callbacks, clicks);

    // Released off the button, it ends flat: no bevel on its edge.
    if (pointer == off) {
        const QImage img = snapshot(b);
        QCOMPARE(img.pixel(0, 0), b->palette().color(QPalette::Button).rgb());
    }
}

void TestFlatButton::hoverBevel()
{
    TFlatButton *b = makeButton(20);
    QSignalSpy entered(b, &TFlatButton::entered);
    QSignalSpy exited(b, &TFlatButton::exited);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    const QRgb face = b->palette().color(QPalette::Button).rgb();
    const QRgb light = b->palette().color(QPalette::Light).rgb();
    const QRgb dark = b->palette().color(QPalette::Dark).rgb();

    QTest::mouseMove(handle(), QPoint(5, 100));
    QCOMPARE(snapshot(b).pixel(0, 0), face);

    QTest::mouseMove(handle(), at(b, b->rect().center()));
    QTRY_COMPARE(entered.count(), 1);
    QImage img = snapshot(b);
    QCOMPARE(img.pixel(0, 5), light);
    QCOMPARE(img.pixel(5, 0), light);
    QCOMPARE(img.pixel(b->width() - 1, 5), dark);
    QCOMPARE(img.pixel(5, b->height() - 1), dark);

    QTest::mouseMove(handle(), QPoint(5, 100));
    QTRY_COMPARE(exited.count(), 1);
    QCOMPARE(snapshot(b).pixel(0, 5), face);

    // Hovering the lowered style shows the bevel the other way round.
    b->setBevelStyle(veltry::TFlatButtonBevelStyle::bsLowered);
    QTest::mouseMove(handle(), at(b, b->rect().center()));
    QTRY_COMPARE(entered.count(), 2);
    img = snapshot(b);
    QCOMPARE(img.pixel(0, 5), dark);
    QCOMPARE(img.pixel(b->width() - 1, 5), light);
}

void TestFlatButton::groupLatching_data()
{
    QTest::addColumn<bool>("allowAllUp");
    QTest::newRow("stays down") << false;
    QTest::newRow("all up allowed") << true;
}

void TestFlatButton::groupLatching()
{
    QFETCH(bool, allowAllUp);
    TFlatButton *a = makeButton(10, 1);
    TFlatButton *b = makeButton(40, 1);
    TFlatButton *otherGroup = makeButton(70, 2);
    auto *panel = new QWidget(m_host.get());
    panel->setGeometry(200, 0, 100, 60);
    TFlatButton *otherParent = makeButton(10, 1, panel);
    // Set on one member, it applies to the whole group.
    a->setAllowAllUp(allowAllUp);
    QCOMPARE(b->allowAllUp(), allowAllUp);
    QCOMPARE(otherParent->allowAllUp(), false);

    otherGroup->setDown(true);
    otherParent->setDown(true);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    QSignalSpy bClicks(b, &TFlatButton::clicked);

    auto clickOn = [this](TFlatButton *btn) {
        QTest::mouseMove(handle(), at(btn, btn->rect().center()));
        QTest::mouseClick(handle(), Qt::LeftButton, {}, at(btn, btn->rect().center()));
    };
    clickOn(a);
    QVERIFY(a->isDown());
    QVERIFY(!b->isDown());
    clickOn(b);
    QVERIFY(b->isDown());
    QVERIFY(!a->isDown());
    QVERIFY(otherGroup->isDown());
    QVERIFY(otherParent->isDown());

    clickOn(b);
    QCOMPARE(b->isDown(), !allowAllUp);
    QCOMPARE(bClicks.count(), 2);

    // Setting Down in code releases the rest of the group too.
    a->setDown(true);
    QVERIFY(!b->isDown());
    QVERIFY(otherParent->isDown());
}

void TestFlatButton::downNeedsGroup()
{
    TFlatButton *b = makeButton(10, 0);
    b->setDown(true);
    QVERIFY(!b->isDown());

    b->setGroupIndex(3);
    b->setDown(true);
    QVERIFY(b->isDown());
    b->setGroupIndex(0);
    QVERIFY(!b->isDown());
}

void TestFlatButton::disabledIgnoresInput()
{
    TFlatButton *b = makeButton(10);
    b->setCaption(QStringLiteral("E&xit"));
    b->setEnabled(false);
    QSignalSpy spy(b, &TFlatButton::clicked);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));

    QTest::mouseClick(handle(), Qt::LeftButton, {}, at(b, b->rect().center()));
    QTest::keyClick(m_host.get(), Qt::Key_X, Qt::AltModifier);
    b->click();
    QCOMPARE(spy.count(), 0);

    b->setEnabled(true);
    QTest::keyClick(m_host.get(), Qt::Key_X, Qt::AltModifier);
    QCOMPARE(spy.count(), 1);
}

void TestFlatButton::accelerator()
{
    TFlatButton *exitButton = makeButton(10);
    exitButton->setCaption(QStringLiteral("E&xit"));
    TFlatButton *checkButton = makeButton(40, 1);
    checkButton->setCaption(QStringLiteral("&Check/Uncheck"));
    QSignalSpy exitSpy(exitButton, &TFlatButton::clicked);
    QSignalSpy checkSpy(checkButton, &TFlatButton::clicked);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));

    QTest::keyClick(m_host.get(), Qt::Key_X, Qt::AltModifier);
    QCOMPARE(exitSpy.count(), 1);
    QCOMPARE(checkSpy.count(), 0);

    // The accelerator latches a group button just as a click does.
    QTest::keyClick(m_host.get(), Qt::Key_C, Qt::AltModifier);
    QCOMPARE(checkSpy.count(), 1);
    QVERIFY(checkButton->isDown());

    // A new caption moves the accelerator.
    exitButton->setCaption(QStringLiteral("&Quit"));
    QTest::keyClick(m_host.get(), Qt::Key_X, Qt::AltModifier);
    QCOMPARE(exitSpy.count(), 1);
    QTest::keyClick(m_host.get(), Qt::Key_Q, Qt::AltModifier);
    QCOMPARE(exitSpy.count(), 2);

    // A hidden button ignores its accelerator.
    exitButton->hide();
    QTest::keyClick(m_host.get(), Qt::Key_Q, Qt::AltModifier);
    QCOMPARE(exitSpy.count(), 2);
}

void TestFlatButton::acceleratorNeverAlternates_data()
{
    QTest::addColumn<QString>("rival");  // what else answers to Alt+F: a menu title or a later button
    QTest::addColumn<QString>("state");  // of the "&Find Text" button
    QTest::addColumn<int>("clicks");     // of the button, out of four presses
    QTest::newRow("menu title") << "menu" << "enabled" << 4;
    QTest::newRow("menu title, button disabled") << "menu" << "disabled" << 0;
    QTest::newRow("menu title, button hidden") << "menu" << "hidden" << 0;
    QTest::newRow("another flat button") << "button" << "enabled" << 4;
}

// The shortcut map takes turns among shortcuts that share a key; an enabled, visible button's
// accelerator must win every time instead, and leave the key to the others while it cannot.
void TestFlatButton::acceleratorNeverAlternates()
{
    QFETCH(QString, rival);
    QFETCH(QString, state);
    QFETCH(int, clicks);
    auto *field = new QLineEdit(m_host.get());
    field->setGeometry(10, 80, 100, 22);
    TFlatButton *find = makeButton(10);
    find->setCaption(QStringLiteral("&Find Text"));
    find->setEnabled(state != QLatin1String("disabled"));
    find->setVisible(state != QLatin1String("hidden"));
    QSignalSpy findClicks(find, &TFlatButton::clicked);
    int rivalTaken = 0;
    if (rival == QLatin1String("menu")) {
        auto *bar = new QMenuBar(m_host.get());
        QMenu *file = bar->addMenu(QStringLiteral("&File"));
        file->addAction(QStringLiteral("Exit"));
        connect(file, &QMenu::aboutToShow, this, [&rivalTaken] { ++rivalTaken; });
    } else {
        TFlatButton *other = makeButton(40);
        other->setCaption(QStringLiteral("&Fetch"));
        connect(other, &TFlatButton::clicked, this, [&rivalTaken] { ++rivalTaken; });
    }
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));

    for (int i = 0; i < 4; ++i) {
        field->setFocus();
        QTest::keyClick(handle(), Qt::Key_F, Qt::AltModifier);
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }
    QCOMPARE(findClicks.count(), clicks);
    QCOMPARE(rivalTaken, 4 - clicks);
    // The key went to the button, not on to the field.
    QCOMPARE(field->text(), QString());
}

void TestFlatButton::hintFromCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::newRow("accelerator") << "E&xit" << "Exit";
    QTest::newRow("leading accelerator") << "&Check/Uncheck" << "Check/Uncheck";
    QTest::newRow("doubled mark removed too") << "A&&B" << "AB";
    QTest::newRow("last position kept") << "Save&" << "Save&";
    QTest::newRow("doubled at the end leaves one") << "X&&" << "X&";
    QTest::newRow("no marks") << "Find" << "Find";
}

void TestFlatButton::hintFromCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, hint);

    // Options set after the caption, with an empty hint.
    TFlatButton first(m_host.get());
    first.setCaption(caption);
    first.setOptions(kToolbarOptions);
    QCOMPARE(first.hint(), hint);
    QCOMPARE(first.toolTip(), hint);

    // Caption set while icon-only replaces even an existing hint.
    TFlatButton second(m_host.get());
    second.setOptions(kToolbarOptions);
    second.setHint(QStringLiteral("old"));
    second.setCaption(caption);
    QCOMPARE(second.toolTip(), hint);
}

void TestFlatButton::hintTakenBackOnlyWhenDerived()
{
    TFlatButton derived(m_host.get());
    derived.setCaption(QStringLiteral("E&xit"));
    derived.setOptions(kToolbarOptions);
    QCOMPARE(derived.toolTip(), QStringLiteral("Exit"));
    derived.setOptions(TFlatButtonOption::boShowBevel);
    QVERIFY(derived.hint().isEmpty());
    QVERIFY(derived.toolTip().isEmpty());

    TFlatButton own(m_host.get());
    own.setCaption(QStringLiteral("E&xit"));
    own.setHint(QStringLiteral("Leave the program"));
    own.setOptions(kToolbarOptions);
    QCOMPARE(own.toolTip(), QStringLiteral("Leave the program"));
    own.setOptions(TFlatButtonOption::boShowBevel);
    QCOMPARE(own.toolTip(), QStringLiteral("Leave the program"));
}

void TestFlatButton::pictureIsPlaced_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("iconOnly");
    QTest::addColumn<QPoint>("expected");  // top-left of the picture; -1 = not checked

    // Button 60 x 40, picture 18 x 18.
    QTest::newRow("top centre, icon only")
        << int(TFlatButtonLayout::blBitmapTop) << int(Qt::AlignHCenter) << true << QPoint(21, 11);
    QTest::newRow("top left with caption")
        << int(TFlatButtonLayout::blBitmapTop) << int(Qt::AlignLeft) << false << QPoint(3, -1);
    QTest::newRow("top right with caption")
        << int(TFlatButtonLayout::blBitmapTop) << int(Qt::AlignRight) << false << QPoint(39, -1);
    QTest::newRow("left layout, left")
        << int(TFlatButtonLayout::blBitmapLeft) << int(Qt::AlignLeft) << false << QPoint(3, 11);
    QTest::newRow("right layout, right")
        << int(TFlatButtonLayout::blBitmapRight) << int(Qt::AlignRight) << false << QPoint(39, 11);
    QTest::newRow("right layout, icon only centre")
        << int(TFlatButtonLayout::blBitmapRight) << int(Qt::AlignHCenter) << true << QPoint(21, 11);
}

void TestFlatButton::pictureIsPlaced()
{
    QFETCH(int, layout);
    QFETCH(int, alignment);
    QFETCH(bool, iconOnly);
    QFETCH(QPoint, expected);
    TFlatButton b(m_host.get());
    b.resize(60, 40);
    b.setBitmap(inkPicture(18));
    b.setCaption(QStringLiteral("Ab"));
    b.setOptions(iconOnly ? kToolbarOptions : TFlatButtonOptions(TFlatButtonOption::boShowBevel));
    b.setButtonLayout(TFlatButtonLayout(layout));
    b.setAlignment(Qt::Alignment(alignment));

    const QRect ink = inkBounds(snapshot(&b));
    QCOMPARE(ink.size(), QSize(18, 18));
    QCOMPARE(ink.x(), expected.x());
    if (expected.y() >= 0)
        QCOMPARE(ink.y(), expected.y());

    // With a caption below, picture, gap and one text line are centred together.
    if (!iconOnly && layout == int(TFlatButtonLayout::blBitmapTop))
        QCOMPARE(ink.y(), (40 - QFontMetrics(b.font()).height() - 18 - 2) / 2);
}

void TestFlatButton::pressedPictureMovesDiagonally()
{
    TFlatButton *b = makeButton(20);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    const QPoint centre = at(b, b->rect().center());
    QTest::mouseMove(handle(), centre);
    const QRect flat = inkBounds(snapshot(b));
    QCOMPARE(flat.topLeft(), QPoint(4, 3));  // (26 - 18) / 2, (24 - 18) / 2

    QTest::mousePress(handle(), Qt::LeftButton, {}, centre);
    QImage img = snapshot(b);
    QCOMPARE(inkBounds(img).topLeft(), flat.topLeft() + QPoint(1, 1));
    QCOMPARE(img.pixel(0, 5), b->palette().color(QPalette::Dark).rgb());
    QTest::mouseRelease(handle(), Qt::LeftButton, {}, centre);
    QCOMPARE(inkBounds(snapshot(b)).topLeft(), flat.topLeft());
}

void TestFlatButton::downPattern()
{
    TFlatButton *b = makeButton(20, 1);
    b->setBitmap(QPixmap());
    b->setDown(true);
    const QRgb face = b->palette().color(QPalette::Button).rgb();
    const QRgb light = b->palette().color(QPalette::Light).rgb();
    QImage img = snapshot(b);
    QCOMPARE(img.pixel(4, 4), light);
    QCOMPARE(img.pixel(5, 4), face);
    QCOMPARE(img.pixel(5, 5), light);

    b->setShowDownPattern(false);
    img = snapshot(b);
    QCOMPARE(img.pixel(4, 4), face);
}

void TestFlatButton::disabledPictureIsEmbossed()
{
    TFlatButton *b = makeButton(20);
    b->setEnabled(false);
    const QImage img = snapshot(b);
    QVERIFY(inkBounds(img).isEmpty());
    // Shadow where the picture is, highlight peeking out one pixel right and down.
    QCOMPARE(img.pixel(4 + 9, 3 + 9), b->palette().color(QPalette::Dark).rgb());
    QCOMPARE(img.pixel(4 + 18, 3 + 18), b->palette().color(QPalette::Light).rgb());

    // An explicit disabled picture replaces the embossing.
    QImage own(18, 18, QImage::Format_RGB32);
    own.fill(qRgb(0, 0, 255));
    own.setPixel(0, 0, kKey);
    b->setDisabledBitmap(QPixmap::fromImage(own));
    const QImage withOwn = snapshot(b);
    QCOMPARE(withOwn.pixel(4 + 9, 3 + 9), qRgb(0, 0, 255));
    QCOMPARE(withOwn.pixel(4, 3), b->palette().color(QPalette::Button).rgb());
}

void TestFlatButton::shadedPicture_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("sum");
    QTest::addColumn<QString>("result");

    const struct
    {
        const char *name;
        TFlatButtonShadingType type;
        int high, middle, low;
    } sets[] = {
        {"light", TFlatButtonShadingType::stLight, 205, 127, 68},
        {"medium", TFlatButtonShadingType::stMedium, 553, 231, 57},
        {"dark", TFlatButtonShadingType::stDark, 335, 274, 175},
    };
    for (const auto &s : sets) {
        const auto row = [&](const char *what, int sum, const char *result) {
            QTest::addRow("%s %s", s.name, what) << int(s.type) << sum << QString::fromLatin1(result);
        };
        row("above high", s.high + 1, "white");
        row("at high", s.high, "highlight");
        row("above middle", s.middle + 1, "highlight");
        row("at middle", s.middle, "shadow");
        row("above low", s.low + 1, "shadow");
        row("at low", s.low, "black");
    }
}

void TestFlatButton::shadedPicture()
{
    QFETCH(int, type);
    QFETCH(int, sum);
    QFETCH(QString, result);
    TFlatButton b(m_host.get());
    QPalette pal = b.palette();
    pal.setColor(QPalette::Light, qRgb(250, 250, 200));
    pal.setColor(QPalette::Dark, qRgb(90, 90, 120));
    b.setPalette(pal);

    const int r = std::min(255, sum);
    const int g = std::min(255, sum - r);
    const int bl = sum - r - g;
    QImage src(2, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, kKey);
    src.setPixel(1, 0, qRgb(r, g, bl));
    b.setShadingType(TFlatButtonShadingType(type));
    b.setBitmap(QPixmap::fromImage(src));

    const QImage shaded = b.shadedBitmap().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb expected = result == QLatin1String("white")       ? qRgb(255, 255, 255)
                          : result == QLatin1String("highlight") ? qRgb(250, 250, 200)
                          : result == QLatin1String("shadow")    ? qRgb(90, 90, 120)
                                                                 : qRgb(0, 0, 0);
    QCOMPARE(shaded.pixel(1, 0), expected);
    QCOMPARE(qAlpha(shaded.pixel(0, 0)), 0);
}

void TestFlatButton::dropDownMenuOpensBelowWithoutClick()
{
    TFlatButton *b = makeButton(20);
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    b->setDropDownMenu(&menu);
    QSignalSpy clicks(b, &TFlatButton::clicked);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));

    QPoint shownAt(-1, -1);
    QTimer::singleShot(50, &menu, [&] {
        shownAt = menu.pos();
        menu.close();
    });
    const QPoint centre = at(b, b->rect().center());
    QTest::mouseMove(handle(), centre);
    QTest::mousePress(handle(), Qt::LeftButton, {}, centre);
    QTest::mouseRelease(handle(), Qt::LeftButton, {}, centre);
    QCOMPARE(shownAt, b->mapToGlobal(QPoint(0, b->height())));
    QCOMPARE(clicks.count(), 0);

    // Removing the menu clears the reference.
    b->setDropDownMenu(nullptr);
    auto *temporary = new QMenu;
    b->setDropDownMenu(temporary);
    delete temporary;
    QCOMPARE(b->dropDownMenu(), nullptr);
}

QTEST_MAIN(TestFlatButton)
#include "wtst_flatbtn.moc"
