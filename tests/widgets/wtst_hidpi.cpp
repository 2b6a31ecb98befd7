// The painted controls on a screen at 200 %: what they draw themselves comes out at the screen's
// own resolution, not drawn small and scaled up.
#include "widgets/FlatBtn.h"
#include "widgets/GradCap.h"
#include "widgets/ImageList.h"
#include "widgets/TextGrid.h"

#include <QTest>

#include <memory>

using veltry::TFlatButton;
using veltry::TGradientCaption;
using veltry::TImageList;
using veltry::TTextGrid;

namespace {

constexpr qreal kRatio = 2.0;

// Every device pixel differs from its neighbours: drawn at a lower resolution and scaled up,
// the picture would come out in blocks.
QPixmap checkerboard(QSize pixels)
{
    QImage img(pixels, QImage::Format_RGB32);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x)
            img.setPixel(x, y, (x + y) % 2 ? qRgb(200, 0, 0) : qRgb(0, 0, 200));
    return QPixmap::fromImage(img);
}

QImage shot(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect devicePixels(const QRect& logical)
{
    return QRect(logical.topLeft() * kRatio, logical.size() * kRatio);
}

// The pixels of `area` that equal their right or lower neighbour inside it.
int pixelsLikeTheirNeighbours(const QImage& img, const QRect& area)
{
    int same = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = img.pixel(x, y);
            if ((x < area.right() && img.pixel(x + 1, y) == c) || (y < area.bottom() && img.pixel(x, y + 1) == c))
                ++same;
        }
    return same;
}

// The 2 × 2 blocks of `area` (from an even corner) that hold more than one colour. A picture
// drawn at half the resolution and scaled up has none.
int mixedBlocks(const QImage& img, const QRect& area)
{
    int mixed = 0;
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2)
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
            const QRgb c = img.pixel(x, y);
            if (img.pixel(x + 1, y) != c || img.pixel(x, y + 1) != c || img.pixel(x + 1, y + 1) != c)
                ++mixed;
        }
    return mixed;
}

} // namespace

class TestHiDpi final : public QObject
{
    Q_OBJECT

public:
    // Before the application exists: the offscreen screen then reports the ratio.
    static void initMain() { qputenv("QT_SCALE_FACTOR", QByteArray::number(kRatio)); }

private Q_SLOTS:
    void screenIsScaled()
    {
        QWidget w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.devicePixelRatioF(), kRatio);
    }

    // A cell's picture is drawn for the grid's ratio: each device pixel of it is its own.
    void gridPicture()
    {
        TImageList images(QSize(14, 12));
        images.add(TImageList::Drawing(checkerboard));
        TTextGrid grid;
        grid.setColCount(3);
        grid.setRowCount(3);
        grid.setDefaultRowHeight(18);
        grid.setColWidth(1, 80);
        grid.EnableGraphics = true;
        grid.setGridImages(&images);
        grid.setCells(1, 1, QStringLiteral("ab"));
        grid.SetCellImage(1, 1, 0, 0, 0);
        grid.resize(300, 120);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        const QImage img = shot(grid.viewport());
        QCOMPARE(img.size(), grid.viewport()->size() * kRatio);
        const QRect picture = devicePixels(grid.cellLayout(1, 1).imageRect);
        QCOMPARE(picture.size(), QSize(28, 24));
        QCOMPARE(pixelsLikeTheirNeighbours(img, picture), 0);
        // The picture is cached per ratio and still right for a plain screen.
        QCOMPARE(images.image(0, 1.0).size(), QSize(14, 12));
        QCOMPARE(images.image(0, kRatio).deviceIndependentSize(), QSizeF(14, 12));
    }

    // The title bar is drawn off screen and copied in: its texts keep the screen's resolution.
    void captionTexts()
    {
        QWidget window;
        window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        window.setGeometry(100, 100, 400, 120);
        auto* caption = new TGradientCaption(&window);
        caption->AppNameText().setCaption(QStringLiteral("Veltry"));
        caption->CaptionText().setCaption(QStringLiteral("Professional"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QImage img = shot(&window);
        const QRect text = devicePixels(caption->textRect());
        QVERIFY(!text.isEmpty());
        QVERIFY2(mixedBlocks(img, text) > 20, "the caption's texts came out in blocks of 2 x 2 pixels");
    }

    // A flat button's picture made for the ratio takes its logical size: it sits in the middle of
    // the button, every device pixel drawn.
    void flatButtonPicture()
    {
        QPixmap picture = checkerboard(QSize(18, 18) * kRatio);
        picture.setDevicePixelRatio(kRatio);
        TFlatButton button;
        button.setBitmap(picture);
        button.resize(30, 30);
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));

        const QImage img = shot(&button);
        // Inside the bevel (a logical pixel wide), the picture is all that differs from the face.
        const QRect inside = QRect(QPoint(), img.size()).adjusted(3, 3, -3, -3);
        const QRgb face = img.pixel(inside.topLeft());
        QRect drawn;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                if (img.pixel(x, y) != face)
                    drawn |= QRect(x, y, 1, 1);
        QCOMPARE(drawn.size(), QSize(36, 36));
        QCOMPARE(drawn.center(), QRect(QPoint(), img.size()).center());
        QCOMPARE(pixelsLikeTheirNeighbours(img, drawn.adjusted(1, 1, -1, -1)), 0);
    }
};

QTEST_MAIN(TestHiDpi)
#include "wtst_hidpi.moc"
