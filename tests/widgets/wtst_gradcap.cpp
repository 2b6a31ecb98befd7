#include "widgets/GradCap.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTest>
#include <QWindow>

#include <memory>

using veltry::TFontKind;
using veltry::TGradEnabled;
using veltry::TGradientCaption;
using veltry::TJustification;
using Button = TGradientCaption::TFrameButton;

namespace {

// The task window's flags: a sizeable frame with the system menu and the close box alone.
const Qt::WindowFlags kMainWindowFlags =
    Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

QImage snapshot(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString colorAt(const QImage& img, int x, int y)
{
    return QColor(img.pixel(x, y)).name();
}

// Band i of n over w pixels starts at w*i/n rounded to the nearest pixel.
int bandEdge(int w, int i, int n)
{
    return (2 * w * i + n) / (2 * n);
}

QColor bandColor(const QColor& from, const QColor& to, int i, int n)
{
    const double t = n > 1 ? double(i) / (n - 1) : 0.0;
    return QColor(qRound(from.red() + (to.red() - from.red()) * t), qRound(from.green() + (to.green() - from.green()) * t),
                  qRound(from.blue() + (to.blue() - from.blue()) * t));
}

QString partName(const TGradientCaption& g, const veltry::TCompanyText* part)
{
    if (part == &g.CompanyText())
        return QStringLiteral("company");
    if (part == &g.AppNameText())
        return QStringLiteral("name");
    return QStringLiteral("caption");
}

} // namespace

class TestGradientCaption final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void defaults();
    void bands_data();
    void bands();
    void gradientDecision_data();
    void gradientDecision();
    void numColorsLimits_data();
    void numColorsLimits();
    void titleComposition_data();
    void titleComposition();
    void captionPartFromTitle_data();
    void captionPartFromTitle();
    void fitRule_data();
    void fitRule();
    void narrowWindowShowsTheCaptionCut();
    void justification_data();
    void justification();
    void fontKinds_data();
    void fontKinds();
    void frameButtons_data();
    void frameButtons();
    void sizingCursors_data();
    void sizingCursors();
    void dragsAndCloseBox_data();
    void dragsAndCloseBox();
    void drawCaptionHandlerPaintsOnTheBar();
    void detachingRestoresTheWindow();

private:
    TGradientCaption* makeCaption(Qt::WindowFlags flags = kMainWindowFlags);
    QWidget* frame() const { return m_window->findChild<QWidget*>(QStringLiteral("GradCaptionFrame")); }

    std::unique_ptr<QWidget> m_window;
};

void TestGradientCaption::init()
{
    m_window = std::make_unique<QWidget>();
}

void TestGradientCaption::cleanup()
{
    m_window.reset();
}

TGradientCaption* TestGradientCaption::makeCaption(Qt::WindowFlags flags)
{
    m_window->setWindowFlags(flags);
    m_window->setGeometry(100, 100, 400, 200);
    return new TGradientCaption(m_window.get());
}

void TestGradientCaption::defaults()
{
    TGradientCaption* g = makeCaption();
    QCOMPARE(g->Color(), QColor(Qt::black));
    QCOMPARE(g->Enabled(), TGradEnabled::geSmart);
    QCOMPARE(g->Justification(), TJustification::jAuto);
    QCOMPARE(g->NumColors(), 64);
    for (const veltry::TCompanyText* part : {static_cast<const veltry::TCompanyText*>(&g->CompanyText()),
                                             static_cast<const veltry::TCompanyText*>(&g->AppNameText()),
                                             static_cast<const veltry::TCompanyText*>(&g->CaptionText())}) {
        QCOMPARE(part->Caption(), QString());
        QVERIFY(part->Visible());
        QCOMPARE(part->FontKind(), TFontKind::fkSystem);
        QCOMPARE(part->Font(), g->systemCaptionFont());
        QCOMPARE(part->ColorActive(), TGradientCaption::captionTextColor());
        QCOMPARE(part->ColorInactive(), TGradientCaption::inactiveCaptionTextColor());
    }
    // The window draws its own frame and title row around its contents.
    QVERIFY(m_window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(frame());
    const int f = g->frameWidth();
    QCOMPARE(m_window->contentsMargins(), QMargins(f, f + g->captionHeight(), f, f));
}

void TestGradientCaption::bands_data()
{
    QTest::addColumn<int>("numColors");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("active");
    QTest::newRow("64 bands, active") << 64 << 400 << true;
    QTest::newRow("64 bands, inactive") << 64 << 400 << false;
    QTest::newRow("64 bands, narrow") << 64 << 150 << true;
    QTest::newRow("3 bands") << 3 << 300 << true;
    QTest::newRow("one band") << 1 << 300 << true;
    QTest::newRow("256 bands") << 256 << 400 << true;
}

void TestGradientCaption::bands()
{
    QFETCH(int, numColors);
    QFETCH(int, width);
    QFETCH(bool, active);
    TGradientCaption* g = makeCaption();
    g->setNumColors(numColors);
    m_window->resize(width, 120);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QWidget other;
    if (!active) {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    }
    QTRY_COMPARE(g->isActive(), active);

    const QImage img = snapshot(m_window.get());
    const QRect r = g->gradientRect();
    const int y = g->titleRect().top();  // above the icon and the text
    const QColor end = active ? TGradientCaption::activeCaptionColor() : TGradientCaption::inactiveCaptionColor();
    const int w = r.width();
    int shown = 0;
    bool allDiffer = true;
    for (int i = 0; i < numColors; ++i) {
        const int x0 = bandEdge(w, i, numColors);
        const int x1 = bandEdge(w, i + 1, numColors);
        if (x1 <= x0)
            continue;
        ++shown;
        const QColor c = bandColor(Qt::black, end, i, numColors);
        if (i > 0 && c == bandColor(Qt::black, end, i - 1, numColors))
            allDiffer = false;
        QCOMPARE(colorAt(img, r.left() + x0, y), c.name());
        QCOMPARE(colorAt(img, r.left() + x1 - 1, y), c.name());
    }
    QCOMPARE(colorAt(img, r.left(), y), QStringLiteral("#000000"));
    QCOMPARE(colorAt(img, r.right(), y), numColors > 1 ? end.name() : QStringLiteral("#000000"));
    // Beyond the bands, under the close box, the row has the caption colour itself.
    QCOMPARE(colorAt(img, g->titleRect().right(), y), end.name());
    if (allDiffer) {
        int runs = 1;
        for (int x = r.left() + 1; x <= r.right(); ++x)
            runs += img.pixel(x, y) != img.pixel(x - 1, y);
        QCOMPARE(runs, shown);
    }
    if (numColors == 64 && width >= 64)
        QCOMPARE(shown, 64);
}

void TestGradientCaption::gradientDecision_data()
{
    QTest::addColumn<TGradEnabled>("enabled");
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("shaded");
    QTest::newRow("always, inactive") << TGradEnabled::geAlways << false << 4 << true;
    QTest::newRow("never, active") << TGradEnabled::geNever << true << 32 << false;
    QTest::newRow("when active, active") << TGradEnabled::geWhenActive << true << 4 << true;
    QTest::newRow("when active, inactive") << TGradEnabled::geWhenActive << false << 32 << false;
    QTest::newRow("smart, active, 8 bits") << TGradEnabled::geSmart << true << 8 << true;
    QTest::newRow("smart, active, 4 bits") << TGradEnabled::geSmart << true << 4 << false;
    QTest::newRow("smart, inactive, 8 bits") << TGradEnabled::geSmart << false << 8 << false;
    QTest::newRow("smart, inactive, 16 bits") << TGradEnabled::geSmart << false << 16 << true;
}

void TestGradientCaption::gradientDecision()
{
    QFETCH(TGradEnabled, enabled);
    QFETCH(bool, active);
    QFETCH(int, depth);
    QFETCH(bool, shaded);
    QCOMPARE(TGradientCaption::drawsGradient(enabled, active, depth), shaded);
}

void TestGradientCaption::numColorsLimits_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("300 stores 256") << 300 << 256;
    QTest::newRow("256") << 256 << 256;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("0 keeps the old value") << 0 << 20;
    QTest::newRow("-5 keeps the old value") << -5 << 20;
}

void TestGradientCaption::numColorsLimits()
{
    QFETCH(int, value);
    QFETCH(int, stored);
    TGradientCaption* g = makeCaption();
    g->setNumColors(20);
    g->setNumColors(value);
    QCOMPARE(g->NumColors(), stored);
}

void TestGradientCaption::titleComposition_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<int>("shown");  // bit 0 company, bit 1 name, bit 2 caption
    QTest::addColumn<QString>("title");
    const char* full[8] = {"", "Acme", "Veltry", "Acme Veltry", "Professional", "Acme Professional",
                           "Veltry Professional", "Acme Veltry Professional"};
    for (int shown = 0; shown < 8; ++shown)
        QTest::addRow("Acme, shown %d", shown) << "Acme" << shown << full[shown];
    // An empty company part adds no blank.
    QTest::newRow("no company, all shown") << "" << 7 << "Veltry Professional";
    QTest::newRow("no company, company and name shown") << "" << 3 << "Veltry";
    QTest::newRow("no company, company and caption shown") << "" << 5 << "Professional";
}

void TestGradientCaption::titleComposition()
{
    QFETCH(QString, company);
    QFETCH(int, shown);
    QFETCH(QString, title);
    TGradientCaption* g = makeCaption();
    g->CompanyText().setCaption(company);
    g->AppNameText().setCaption(QStringLiteral("Veltry"));
    g->CaptionText().setCaption(QStringLiteral("Professional"));
    QCOMPARE(m_window->windowTitle(), company.isEmpty() ? QStringLiteral("Veltry Professional")
                                                        : QStringLiteral("Acme Veltry Professional"));
    g->CompanyText().setVisible(shown & 1);
    g->AppNameText().setVisible(shown & 2);
    g->CaptionText().setVisible(shown & 4);
    QCOMPARE(m_window->windowTitle(), title);
    // Hidden parts keep their words: showing all again gives the whole title back.
    QCOMPARE(g->CaptionText().Caption(), QStringLiteral("Professional"));
    g->CompanyText().setVisible(true);
    g->AppNameText().setVisible(true);
    g->CaptionText().setVisible(true);
    QCOMPARE(m_window->windowTitle(), company.isEmpty() ? QStringLiteral("Veltry Professional")
                                                        : QStringLiteral("Acme Veltry Professional"));
}

void TestGradientCaption::captionPartFromTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::newRow("after company and name") << "Acme Veltry Daily list" << "Daily list";
    QTest::newRow("no blanks") << "AcmeVeltryDaily" << "Daily";
    QTest::newRow("only the parts") << "Acme Veltry" << "";
    QTest::newRow("name missing") << "Acme Daily" << "Daily";
}

void TestGradientCaption::captionPartFromTitle()
{
    QFETCH(QString, title);
    QFETCH(QString, caption);
    TGradientCaption* g = makeCaption();
    g->CompanyText().setCaption(QStringLiteral("Acme"));
    g->AppNameText().setCaption(QStringLiteral("Veltry"));
    m_window->setWindowTitle(title);
    QCOMPARE(g->CaptionText().Caption(), caption);
    // Writing the caption part sets the title from the parts.
    g->CaptionText().setCaption(QStringLiteral("Weekly"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Acme Veltry Weekly"));
}

void TestGradientCaption::fitRule_data()
{
    QTest::addColumn<int>("spare");  // pixels beyond (positive) or short of (negative) a fit
    QTest::addColumn<int>("fitting");  // 3 all parts, 2 name and caption, 1 caption alone
    QTest::addColumn<QString>("drawn");
    QTest::newRow("all three fit exactly") << 0 << 3 << "company name caption";
    QTest::newRow("one pixel short of all three") << -1 << 3 << "name caption";
    QTest::newRow("name and caption fit exactly") << 0 << 2 << "name caption";
    QTest::newRow("one pixel short of name and caption") << -1 << 2 << "caption";
}

void TestGradientCaption::fitRule()
{
    QFETCH(int, spare);
    QFETCH(int, fitting);
    QFETCH(QString, drawn);
    TGradientCaption* g = makeCaption();
    g->CompanyText().setCaption(QStringLiteral("Acme"));
    g->AppNameText().setCaption(QStringLiteral("Veltry"));
    g->AppNameText().setFontKind(TFontKind::fkSystemB);
    g->CaptionText().setCaption(QStringLiteral("Professional"));
    auto measure = [&](const veltry::TCompanyText& part) {
        return QFontMetrics(part.Font(), m_window.get()).horizontalAdvance(part.Caption()) + 3;
    };
    int width = measure(g->CaptionText()) + measure(g->AppNameText());
    if (fitting == 3)
        width += measure(g->CompanyText());
    const QList<TGradientCaption::TCaptionPiece> pieces = g->layoutTitle(QRect(10, 0, width + spare, 20));
    QStringList parts;
    for (const auto& piece : pieces)
        parts << partName(*g, piece.part);
    QCOMPARE(parts.join(QLatin1Char(' ')), drawn);
    // Each part starts 3 pixels after the previous one's words.
    int x = 10;
    for (const auto& piece : pieces) {
        QCOMPARE(piece.rect.left(), x + 3);
        x = piece.rect.left() + QFontMetrics(piece.part->Font(), m_window.get()).horizontalAdvance(piece.text);
    }
}

void TestGradientCaption::narrowWindowShowsTheCaptionCut()
{
    TGradientCaption* g = makeCaption();
    g->AppNameText().setCaption(QStringLiteral("Veltry"));
    g->AppNameText().setFontKind(TFontKind::fkSystemB);
    g->CaptionText().setCaption(QStringLiteral("Professional"));
    m_window->resize(g->textRect().left() + g->buttonWidth() + 2 + 40, 120);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QList<TGradientCaption::TCaptionPiece> pieces = g->layoutTitle(g->textRect());
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces[0].part, &g->CaptionText());
    QVERIFY2(pieces[0].text.endsWith(QChar(0x2026)) && pieces[0].text.size() > 1, qPrintable(pieces[0].text));
    QVERIFY(QStringLiteral("Professional").startsWith(pieces[0].text.chopped(1)));
}

void TestGradientCaption::justification_data()
{
    QTest::addColumn<TJustification>("justification");
    QTest::addColumn<int>("spare");
    QTest::addColumn<int>("shift");  // of the title's start from the left, in parts of `spare`: 0, 1 half, 2 all
    QTest::addColumn<bool>("emptyPartsShown");  // company and name: visible with empty captions, or hidden
    QTest::newRow("auto") << TJustification::jAuto << 100 << 0 << true;
    QTest::newRow("left") << TJustification::jLeft << 100 << 0 << true;
    QTest::newRow("centre") << TJustification::jCenter << 101 << 1 << true;
    QTest::newRow("right") << TJustification::jRight << 100 << 2 << true;
    QTest::newRow("right, not fitting") << TJustification::jRight << -10 << 0 << true;
    QTest::newRow("centre, empty parts hidden") << TJustification::jCenter << 101 << 1 << false;
    QTest::newRow("right, empty parts hidden") << TJustification::jRight << 100 << 2 << false;
}

void TestGradientCaption::justification()
{
    QFETCH(TJustification, justification);
    QFETCH(int, spare);
    QFETCH(int, shift);
    QFETCH(bool, emptyPartsShown);
    TGradientCaption* g = makeCaption();
    g->setJustification(justification);
    g->CaptionText().setCaption(QStringLiteral("Professional"));
    g->CompanyText().setVisible(emptyPartsShown);
    g->AppNameText().setVisible(emptyPartsShown);
    // Every visible part measures its words' width + 3, an empty one 3.
    const int used = QFontMetrics(g->CaptionText().Font(), m_window.get()).horizontalAdvance(QStringLiteral("Professional"))
        + 3 + (emptyPartsShown ? 2 * 3 : 0);
    const auto pieces = g->layoutTitle(QRect(0, 0, used + spare, 20));
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces[0].rect.left(), 3 + (shift == 0 ? 0 : shift == 1 ? spare / 2 : spare));
}

void TestGradientCaption::fontKinds_data()
{
    QTest::addColumn<TFontKind>("kind");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::newRow("system") << TFontKind::fkSystem << false << false;
    QTest::newRow("system italic") << TFontKind::fkSystemI << false << true;
    QTest::newRow("system bold") << TFontKind::fkSystemB << true << false;
    QTest::newRow("system bold italic") << TFontKind::fkSystemBI << true << true;
    QTest::newRow("custom") << TFontKind::fkCustom << false << false;
    QTest::newRow("auto height") << TFontKind::fkAutoHeight << false << false;
}

void TestGradientCaption::fontKinds()
{
    QFETCH(TFontKind, kind);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    TGradientCaption* g = makeCaption();
    veltry::TCompanyText& part = g->AppNameText();
    QFont own(QStringLiteral("DejaVu Serif"));
    own.setPixelSize(40);
    part.setFont(own);
    QCOMPARE(part.FontKind(), TFontKind::fkCustom);  // a font of its own
    part.setFontKind(kind);
    QCOMPARE(part.FontKind(), kind);
    const QFont& sys = g->systemCaptionFont();
    if (kind == TFontKind::fkCustom) {
        QCOMPARE(part.Font(), own);
    } else if (kind == TFontKind::fkAutoHeight) {
        // The height moves by the difference of the ascents above the internal leading, then
        // grows until the descent is at least the caption font's.
        auto leading = [](const QFont& f) {
            const QFontMetrics m(f);
            return std::max(0, m.ascent() + m.descent() - QFontInfo(f).pixelSize());
        };
        const QFontMetrics cap(sys), mine(own);
        QFont expected = own;
        expected.setPixelSize(40 + (cap.ascent() - leading(sys)) - (mine.ascent() - leading(own)));
        const int descent = QFontMetrics(expected).descent();
        if (descent < cap.descent())
            expected.setPixelSize(expected.pixelSize() + cap.descent() - descent);
        QCOMPARE(part.Font().family(), own.family());
        QCOMPARE(part.Font().pixelSize(), expected.pixelSize());
        QVERIFY(QFontMetrics(part.Font()).descent() >= cap.descent());
        // A new font keeps the kind and is fitted again.
        part.setFont(own);
        QCOMPARE(part.FontKind(), TFontKind::fkAutoHeight);
        QVERIFY(part.Font().pixelSize() < own.pixelSize());
    } else {
        QCOMPARE(part.Font().family(), sys.family());
        QCOMPARE(part.Font().pixelSize(), sys.pixelSize());
        QCOMPARE(part.Font().bold(), bold || sys.bold());
        QCOMPARE(part.Font().italic(), italic || sys.italic());
    }
}

void TestGradientCaption::frameButtons_data()
{
    QTest::addColumn<Qt::WindowFlags>("flags");
    QTest::addColumn<QList<Button>>("buttons");  // right to left
    QTest::addColumn<QList<Button>>("greyed");
    const Qt::WindowFlags caption = Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    QTest::newRow("task window: close only") << kMainWindowFlags << QList<Button>{Button::Close} << QList<Button>{};
    QTest::newRow("minimise and maximise")
        << (Qt::Window | caption | Qt::WindowMinMaxButtonsHint)
        << QList<Button>{Button::Close, Button::Maximize, Button::Minimize} << QList<Button>{};
    QTest::newRow("minimise alone greys maximise")
        << (Qt::Window | caption | Qt::WindowMinimizeButtonHint)
        << QList<Button>{Button::Close, Button::Maximize, Button::Minimize} << QList<Button>{Button::Maximize};
    QTest::newRow("help without minimise or maximise")
        << (Qt::Window | caption | Qt::WindowContextHelpButtonHint)
        << QList<Button>{Button::Close, Button::Help} << QList<Button>{};
    QTest::newRow("help is dropped beside minimise")
        << (Qt::Window | caption | Qt::WindowContextHelpButtonHint | Qt::WindowMinimizeButtonHint)
        << QList<Button>{Button::Close, Button::Maximize, Button::Minimize} << QList<Button>{Button::Maximize};
    QTest::newRow("tool window: close only")
        << (Qt::Tool | caption | Qt::WindowMinMaxButtonsHint) << QList<Button>{Button::Close} << QList<Button>{};
    QTest::newRow("no system menu: none")
        << (Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) << QList<Button>{} << QList<Button>{};
}

void TestGradientCaption::frameButtons()
{
    QFETCH(Qt::WindowFlags, flags);
    QFETCH(QList<Button>, buttons);
    QFETCH(QList<Button>, greyed);
    TGradientCaption* g = makeCaption(flags);
    QCOMPARE(g->frameButtons(), buttons);
    int right = g->titleRect().right() + 1;
    int taken = 0;
    for (Button b : buttons) {
        QCOMPARE(g->frameButtonEnabled(b), !greyed.contains(b));
        const QRect r = g->buttonRect(b);
        QCOMPARE(r.width(), g->buttonWidth() - 2);
        QVERIFY(r.right() < right);
        right = r.left();
        taken += b == Button::Close || b == Button::Help ? g->buttonWidth() + 2 : g->buttonWidth();
    }
    QCOMPARE(g->gradientRect().width(), g->titleRect().width() - taken);
}

void TestGradientCaption::sizingCursors_data()
{
    QTest::addColumn<QPoint>("where");  // -1: left or top edge, 0: middle, 1: right or bottom edge
    QTest::addColumn<Qt::CursorShape>("shape");
    QTest::newRow("left") << QPoint(-1, 0) << Qt::SizeHorCursor;
    QTest::newRow("right") << QPoint(1, 0) << Qt::SizeHorCursor;
    QTest::newRow("top") << QPoint(0, -1) << Qt::SizeVerCursor;
    QTest::newRow("bottom") << QPoint(0, 1) << Qt::SizeVerCursor;
    QTest::newRow("top left") << QPoint(-1, -1) << Qt::SizeFDiagCursor;
    QTest::newRow("bottom right") << QPoint(1, 1) << Qt::SizeFDiagCursor;
    QTest::newRow("top right") << QPoint(1, -1) << Qt::SizeBDiagCursor;
    QTest::newRow("bottom left") << QPoint(-1, 1) << Qt::SizeBDiagCursor;
    QTest::newRow("title") << QPoint(0, 2) << Qt::ArrowCursor;
}

void TestGradientCaption::sizingCursors()
{
    QFETCH(QPoint, where);
    QFETCH(Qt::CursorShape, shape);
    TGradientCaption* g = makeCaption();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QRect all = m_window->rect();
    auto coord = [](int side, int low, int high) { return side < 0 ? low + 1 : side > 0 ? high - 1 : (low + high) / 2; };
    QPoint pos(coord(where.x(), all.left(), all.right()), coord(where.y(), all.top(), all.bottom()));
    if (where.y() == 2)
        pos.setY(g->titleRect().center().y());
    QTest::mouseMove(m_window->windowHandle(), QPoint(all.center().x(), g->titleRect().center().y()));
    QTest::mouseMove(m_window->windowHandle(), pos);
    QTRY_COMPARE(frame()->cursor().shape(), shape);
}

void TestGradientCaption::dragsAndCloseBox_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QPoint>("drag");
    QTest::addColumn<QMargins>("change");  // added to the geometry's left, top, right and bottom
    QTest::addColumn<bool>("closes");
    QTest::newRow("title moves") << "title" << QPoint(60, 40) << QMargins(60, 40, 60, 40) << false;
    QTest::newRow("right edge") << "right" << QPoint(-30, 10) << QMargins(0, 0, -30, 0) << false;
    QTest::newRow("left edge") << "left" << QPoint(30, 10) << QMargins(30, 0, 0, 0) << false;
    QTest::newRow("bottom right corner") << "bottomright" << QPoint(-20, -25) << QMargins(0, 0, -20, -25) << false;
    QTest::newRow("close box closes") << "close" << QPoint(0, 0) << QMargins() << true;
    QTest::newRow("close box, released off it") << "close" << QPoint(0, 60) << QMargins() << false;
}

void TestGradientCaption::dragsAndCloseBox()
{
    QFETCH(QString, where);
    QFETCH(QPoint, drag);
    QFETCH(QMargins, change);
    QFETCH(bool, closes);
    TGradientCaption* g = makeCaption();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QRect before = m_window->geometry();
    const QRect all = m_window->rect();
    QPoint start;
    if (where == QLatin1String("title"))
        start = QPoint(all.center().x(), g->titleRect().center().y());
    else if (where == QLatin1String("right"))
        start = QPoint(all.right() - 1, all.center().y());
    else if (where == QLatin1String("left"))
        start = QPoint(1, all.center().y());
    else if (where == QLatin1String("bottomright"))
        start = all.bottomRight() - QPoint(1, 1);
    else
        start = g->buttonRect(Button::Close).center();
    QWindow* handle = m_window->windowHandle();
    QTest::mouseMove(handle, start);
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    // A bare window system offers no move of its own here: the window follows the pointer itself.
    QTest::mouseMove(handle, start + drag);
    // Released where the pointer is, which lies elsewhere in a window that has moved.
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + drag - (m_window->pos() - before.topLeft()));
    if (closes) {
        QTRY_VERIFY(!m_window->isVisible());
        return;
    }
    QVERIFY(m_window->isVisible());
    QTRY_COMPARE(m_window->geometry(), before.adjusted(change.left(), change.top(), change.right(), change.bottom()));
}

void TestGradientCaption::drawCaptionHandlerPaintsOnTheBar()
{
    TGradientCaption* g = makeCaption();
    QRect seen;
    g->setOnDrawCaption([&](TGradientCaption* sender, QPainter& canvas, QRect& r) {
        QCOMPARE(sender, g);
        seen = r;
        canvas.fillRect(r.left(), r.top(), 10, r.height(), Qt::red);
    });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QImage img = snapshot(m_window.get());
    QCOMPARE(seen, g->textRect());
    QCOMPARE(colorAt(img, seen.left() + 5, seen.top()), QStringLiteral("#ff0000"));
}

void TestGradientCaption::detachingRestoresTheWindow()
{
    const QMargins margins(1, 2, 3, 4);
    m_window->setContentsMargins(margins);
    TGradientCaption* g = makeCaption();
    g->AppNameText().setCaption(QStringLiteral("Veltry"));
    g->CaptionText().setCaption(QStringLiteral("Professional"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Veltry Professional"));
    delete g;
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Professional"));
    QVERIFY(!m_window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(m_window->contentsMargins(), margins);
    QVERIFY(!frame());
}

QTEST_MAIN(TestGradientCaption)
#include "wtst_gradcap.moc"
