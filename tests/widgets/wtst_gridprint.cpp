// The grid's printout, drawn page by page onto pictures and read back: texts with their place,
// font and colour, grid lines and the page's clip.
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"

#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace veltry;

namespace {

struct DrawnText
{
    QString text;
    QPointF at;  // baseline start
    QColor color;
    QFont font;
};

struct DrawnPage
{
    QList<DrawnText> texts;
    QList<QLineF> lines;
    QRectF clip;

    QStringList allTexts() const
    {
        QStringList out;
        for (const DrawnText& t : texts)
            out << t.text;
        return out;
    }
    const DrawnText* find(const QString& text) const
    {
        for (const DrawnText& t : texts)
            if (t.text == text)
                return &t;
        return nullptr;
    }
    QList<qreal> verticalXs() const
    {
        QList<qreal> xs;
        for (const QLineF& l : lines)
            if (qFuzzyCompare(l.x1(), l.x2()) && !xs.contains(l.x1()))
                xs << l.x1();
        std::sort(xs.begin(), xs.end());
        return xs;
    }
    QList<qreal> horizontalYs() const
    {
        QList<qreal> ys;
        for (const QLineF& l : lines)
            if (qFuzzyCompare(l.y1(), l.y2()) && !ys.contains(l.y1()))
                ys << l.y1();
        std::sort(ys.begin(), ys.end());
        return ys;
    }
};

// A paint engine that writes down what is drawn, in device coordinates.
class Recorder final : public QPaintEngine
{
public:
    explicit Recorder(DrawnPage* page) : QPaintEngine(QPaintEngine::AllFeatures), m_page(page) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState& s) override
    {
        if (s.state() & DirtyTransform)
            m_transform = s.transform();
        if (s.state() & DirtyPen)
            m_pen = s.pen();
        if (s.state() & (DirtyClipRegion | DirtyClipPath))
            m_page->clip = s.clipRegion().boundingRect().isEmpty() ? m_transform.map(s.clipPath()).boundingRect()
                                                                    : m_transform.mapRect(QRectF(s.clipRegion().boundingRect()));
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        m_page->texts << DrawnText{item.text(), m_transform.map(p), m_pen.color(), item.font()};
    }
    void drawLines(const QLineF* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_page->lines << m_transform.map(lines[i]);
    }
    void drawLines(const QLine* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_page->lines << m_transform.map(QLineF(lines[i]));
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override
    {
        for (int i = 0; i + 1 < count; ++i)
            m_page->lines << m_transform.map(QLineF(points[i], points[i + 1]));
    }
    void drawPath(const QPainterPath& path) override
    {
        const QPolygonF poly = path.toFillPolygon();
        drawPolygon(poly.constData(), int(poly.size()), PolylineMode);
    }

private:
    DrawnPage* m_page;
    QTransform m_transform;
    QPen m_pen;
};

class RecordingDevice final : public QPaintDevice
{
public:
    explicit RecordingDevice(DrawnPage* page) : m_engine(page) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: case PdmHeight: return 100000;
        // As a picture's own, so that playing one back maps nothing.
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return QPicture().logicalDpiX();
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 1000;
        }
    }

private:
    mutable Recorder m_engine;
};

DrawnPage replay(QPicture picture)
{
    DrawnPage page;
    RecordingDevice device(&page);
    QPainter p(&device);
    picture.play(&p);
    p.end();
    return page;
}

// Every page of the printout at 254 dots per inch, so that a device pixel is the layout's 0.1 mm.
QList<DrawnPage> printPages(const TTextGrid& grid, QSize page, int* pageCount = nullptr)
{
    std::vector<QPicture> pictures(1);
    QPainter p(&pictures.back());
    const int count = TGridPrint(grid).PrintPages(p, page, 254, [&] {
        p.end();
        pictures.emplace_back();
        p.begin(&pictures.back());
    });
    p.end();
    if (pageCount)
        *pageCount = count;
    QList<DrawnPage> out;
    for (QPicture& picture : pictures)
        out << replay(picture);
    return out;
}

DrawnPage previewPage(const TTextGrid& grid, QSize area, int page = 0)
{
    QPicture picture;
    QPainter p(&picture);
    TGridPrint(grid).PrintPreview(p, QRect(QPoint(0, 0), area), page);
    p.end();
    return replay(picture);
}

// Row 0 holds titles "T<c>", every other cell "r<r>c<c>".
std::unique_ptr<TTextGrid> makeGrid(int cols, int rows)
{
    auto grid = std::make_unique<TTextGrid>();
    grid->setColCount(cols);
    grid->setRowCount(rows);
    grid->setFixedRows(1);
    for (int c = 0; c < cols; ++c) {
        grid->setCells(c, 0, QStringLiteral("T%1").arg(c));
        for (int r = 1; r < rows; ++r)
            grid->setCells(c, r, QStringLiteral("r%1c%2").arg(r).arg(c));
    }
    TPrintsettings& ps = grid->PrintSettings;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    ps.Font = font;
    ps.Time = ppBottomLeft;
    ps.Date = ppBottomLeft;
    ps.Title = ppTopCenter;
    ps.TitleText = QStringLiteral("Veltry v1.0: Task List");
    ps.Borders = pbSingle;
    ps.HeaderSize = ps.FooterSize = ps.LeftSize = ps.RightSize = 50;
    ps.ColumnSpacing = 15;
    return grid;
}

// The print font as the layout measures it: 12 points are 42 tenths of a millimetre.
QFont printFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(42);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int widthOf(const QString& text, const QFont& font = printFont())
{
    return qRound(QFontMetricsF(font).horizontalAdvance(text));
}

// The texts of cells ("r..c.." and "T.."), in drawing order.
QStringList cellTexts(const DrawnPage& page)
{
    QStringList out;
    for (const DrawnText& t : page.texts)
        if ((t.text.startsWith(QLatin1Char('r')) && t.text.contains(QLatin1Char('c'))) || t.text.startsWith(QLatin1Char('T')))
            out << t.text;
    return out;
}

} // namespace

class TestGridPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Clock::setInstance(std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 7), QTime(9, 5))));
        LocaleFormats::setCurrent(LocaleFormats::fromPattern(QStringLiteral("m/d/yy"), QLatin1Char('/')));
    }
    void cleanup()
    {
        Clock::setInstance(nullptr);
        LocaleFormats::resetCurrent();
    }

    void headerAndFooterTexts_data()
    {
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("date");
        QTest::addColumn<int>("pageNr");
        QTest::addColumn<int>("title");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("where");
        QTest::addColumn<QString>("text");
        QTest::newRow("footer: date, blank, time, blank")
            << int(ppBottomLeft) << int(ppBottomLeft) << int(ppNone) << int(ppTopCenter) << 0 << int(ppBottomLeft) << "07/03/2026 09:05 ";
        QTest::newRow("centred title with its leading blank")
            << int(ppBottomLeft) << int(ppBottomLeft) << int(ppNone) << int(ppTopCenter) << 0 << int(ppTopCenter) << " Veltry v1.0: Task List";
        QTest::newRow("page 2 at top right, after the time")
            << int(ppTopRight) << int(ppNone) << int(ppTopRight) << int(ppNone) << 1 << int(ppTopRight) << " 09:05 page 2";
        QTest::newRow("page 2 at top right, alone")
            << int(ppNone) << int(ppNone) << int(ppTopRight) << int(ppNone) << 1 << int(ppTopRight) << " page 2";
        QTest::newRow("history's time at bottom right")
            << int(ppBottomRight) << int(ppBottomLeft) << int(ppNone) << int(ppTopCenter) << 0 << int(ppBottomRight) << " 09:05";
        QTest::newRow("title in front at top left")
            << int(ppTopLeft) << int(ppNone) << int(ppNone) << int(ppTopLeft) << 0 << int(ppTopLeft) << "Veltry v1.0: Task List 09:05 ";
    }

    void headerAndFooterTexts()
    {
        QFETCH(int, time);
        QFETCH(int, date);
        QFETCH(int, pageNr);
        QFETCH(int, title);
        QFETCH(int, page);
        QFETCH(int, where);
        QFETCH(QString, text);
        auto grid = makeGrid(3, 40);
        TPrintsettings& ps = grid->PrintSettings;
        ps.Time = TPrintPosition(time);
        ps.Date = TPrintPosition(date);
        ps.PageNr = TPrintPosition(pageNr);
        ps.Title = TPrintPosition(title);
        const QSize size(1500, 1200);
        const QList<DrawnPage> pages = printPages(*grid, size);
        QVERIFY(pages.size() > page);
        const DrawnText* drawn = pages[page].find(text);
        QVERIFY2(drawn, qPrintable(pages[page].allTexts().join(QLatin1Char('|'))));
        const int width = widthOf(text, drawn->font);
        const qreal x = (where == ppTopLeft || where == ppBottomLeft) ? ps.LeftSize
            : (where == ppTopRight || where == ppBottomRight)         ? size.width() - width - 20
                                                                      : (size.width() - width) / 2;
        QVERIFY2(qAbs(drawn->at.x() - x) <= 1, qPrintable(QStringLiteral("x %1, expected %2").arg(drawn->at.x()).arg(x)));
        const bool top = where <= ppTopCenter;
        QVERIFY(top ? drawn->at.y() < size.height() / 8 : drawn->at.y() > size.height() * 7 / 8);
    }

    void pageBreaks_data()
    {
        QTest::addColumn<bool>("repeatHeaders");
        QTest::newRow("titles on the first page only") << false;
        QTest::newRow("titles repeated") << true;
    }

    void pageBreaks()
    {
        QFETCH(bool, repeatHeaders);
        auto grid = makeGrid(3, 30);
        grid->PrintSettings.RepeatHeaders = repeatHeaders;
        QList<int> raised;
        grid->OnPrintPage = [&raised](TTextGrid*, QPainter* canvas, int pagenr, int width, int bottom) {
            QVERIFY(canvas);
            QCOMPARE(width, 1500);
            QCOMPARE(bottom, -1200);
            raised << pagenr;
        };
        int count = 0;
        const QList<DrawnPage> pages = printPages(*grid, QSize(1500, 1200), &count);
        QCOMPARE(count, int(pages.size()));
        QVERIFY(count >= 2);
        QList<int> expected{0};
        for (int p = 0; p + 1 < count; ++p)
            expected << p;
        QCOMPARE(raised, expected);

        const QStringList first = cellTexts(pages[0]);
        const QStringList second = cellTexts(pages[1]);
        QCOMPARE(first.mid(0, 3), (QStringList{"T0", "T1", "T2"}));
        QCOMPARE(second.mid(0, 3) == (QStringList{"T0", "T1", "T2"}), repeatHeaders);
        // Every row prints once, in order; the one that crossed the reserve line ended page 1.
        QStringList rows;
        for (const DrawnPage& page : pages)
            for (const QString& t : cellTexts(page))
                if (t.endsWith(QLatin1String("c0")))
                    rows << t;
        QCOMPARE(rows.size(), 29);
        QCOMPARE(rows.first(), QStringLiteral("r1c0"));
        QCOMPARE(rows.last(), QStringLiteral("r29c0"));
        const DrawnText* lastOnPage1 = nullptr;
        for (const DrawnText& t : pages[0].texts)
            if (t.text.endsWith(QLatin1String("c0")) && t.text.startsWith(QLatin1Char('r')))
                lastOnPage1 = &t;
        QVERIFY(lastOnPage1);
        QVERIFY(lastOnPage1->at.y() > 1200 - 50 - 2 * 60 - 80);  // into the footer's reserve
    }

    void previewShowsOnlyItsPage()
    {
        const QSize area(511, 420);
        const int dpi = QPicture().logicalDpiX();
        // Just enough rows for three pages.
        auto grid = makeGrid(3, 2);
        while (TGridPrint(*grid).PageCount(area, dpi) < 3)
            grid->setRowCount(grid->RowCount() + 1);
        QCOMPARE(TGridPrint(*grid).PageCount(area, dpi), 3);
        const QString lastRow = QStringLiteral("r%1c0").arg(grid->RowCount() - 1);

        // The printout on pages of the same size, for comparison.
        std::vector<QPicture> pictures(1);
        QPainter p(&pictures.back());
        TGridPrint(*grid).PrintPages(p, area, dpi, [&] {
            p.end();
            pictures.emplace_back();
            p.begin(&pictures.back());
        });
        p.end();
        QCOMPARE(int(pictures.size()), 3);

        const DrawnPage first = previewPage(*grid, area);
        QCOMPARE(first.allTexts(), replay(pictures[0]).allTexts());
        QVERIFY(!first.allTexts().contains(lastRow));
        QCOMPARE(previewPage(*grid, area, 1).allTexts(), replay(pictures[1]).allTexts());
    }

    void columnEdges_data()
    {
        QTest::addColumn<int>("hide");
        QTest::addColumn<int>("fixedWidth");
        QTest::addColumn<bool>("centered");
        QTest::addColumn<QString>("wideText");
        QTest::addColumn<QStringList>("edgesPerPage");  // "a b c;d e" with "w<n>" for a measured column width
        QTest::addColumn<QStringList>("columnsPerPage");
        QTest::newRow("measured widths and gaps") << -1 << 0 << false << QString()
                                                  << QStringList{"m"} << QStringList{"c0 c1 c2"};
        QTest::newRow("hidden column takes no space") << 1 << 0 << false << QString()
                                                      << QStringList{"m"} << QStringList{"c0 c2"};
        QTest::newRow("fixed width, no gap") << -1 << 300 << false << QString()
                                             << QStringList{"50 350 650 950"} << QStringList{"c0 c1 c2"};
        QTest::newRow("fixed width, centred") << -1 << 300 << true << QString()
                                              << QStringList{"700 1000 1300 1600"} << QStringList{"c0 c1 c2"};
        QTest::newRow("a column wider than the page has a band of its own")
            << -1 << 0 << false << QStringLiteral("W").repeated(60) << QStringList{"m", "m"} << QStringList{"c0", "c1 c2"};
    }

    void columnEdges()
    {
        QFETCH(int, hide);
        QFETCH(int, fixedWidth);
        QFETCH(bool, centered);
        QFETCH(QString, wideText);
        QFETCH(QStringList, edgesPerPage);
        QFETCH(QStringList, columnsPerPage);
        auto grid = makeGrid(3, 4);
        TPrintsettings& ps = grid->PrintSettings;
        ps.UseFixedWidth = fixedWidth > 0;
        ps.FixedWidth = fixedWidth;
        ps.Centered = centered;
        if (!wideText.isEmpty())
            grid->setCells(0, 2, wideText);
        if (hide >= 0)
            grid->HideColumn(hide);
        const QSize size(2000, 1500);
        const QList<DrawnPage> pages = printPages(*grid, size);
        QCOMPARE(pages.size(), columnsPerPage.size());
        for (int p = 0; p < pages.size(); ++p) {
            QStringList columns;
            for (const QString& t : cellTexts(pages[p])) {
                const QString col = t.startsWith(QLatin1Char('T')) ? QStringLiteral("c") + t.mid(1) : t.mid(t.indexOf(QLatin1Char('c')));
                if (!columns.contains(col))
                    columns << col;
            }
            QCOMPARE(columns.join(QLatin1Char(' ')), columnsPerPage[p]);

            QList<qreal> expected;
            if (edgesPerPage[p] == QLatin1String("m")) {
                // Each column as wide as its widest text, plus the spacing and 2 mm.
                qreal x = ps.LeftSize;
                expected << x;
                for (const QString& col : columnsPerPage[p].split(QLatin1Char(' '))) {
                    const int real = col.mid(1).toInt();
                    int widest = 0;
                    for (int r = 0; r < grid->RowCount(); ++r)
                        widest = std::max(widest, widthOf(grid->Cells(real, r)));
                    x += widest + 35;
                    expected << x;
                }
            } else {
                for (const QString& e : edgesPerPage[p].split(QLatin1Char(' ')))
                    expected << e.toInt();
            }
            const QList<qreal> xs = pages[p].verticalXs();
            QCOMPARE(xs.size(), expected.size());
            for (int i = 0; i < xs.size(); ++i)
                QVERIFY2(qAbs(xs[i] - expected[i]) <= 1, qPrintable(QStringLiteral("edge %1 at %2, expected %3").arg(i).arg(xs[i]).arg(expected[i])));
            // Whatever reaches past the page is cut at its edge.
            QCOMPARE(pages[p].clip, QRectF(0, 0, size.width(), size.height()));
        }
    }

    void fixedRowHeight()
    {
        auto grid = makeGrid(2, 5);
        grid->Multilinecells = true;
        grid->setCells(1, 2, QStringLiteral("one\r\ntwo\rthree"));
        TPrintsettings& ps = grid->PrintSettings;
        ps.Time = ps.Date = ps.Title = ppNone;
        ps.UseFixedHeight = true;
        ps.FixedHeight = 100;
        const QList<DrawnPage> pages = printPages(*grid, QSize(1500, 1500));
        QCOMPARE(pages.size(), 1);
        const QList<qreal> ys = pages[0].horizontalYs();
        QCOMPARE(ys.size(), 6);  // a line above each of 5 rows and the closing one
        for (int i = 1; i < ys.size(); ++i)
            QCOMPARE(ys[i] - ys[i - 1], 100.0);
        // The three lines of the cell, one under the other, in the same row.
        const DrawnText* one = pages[0].find(QStringLiteral("one"));
        const DrawnText* three = pages[0].find(QStringLiteral("three"));
        QVERIFY(one && three && pages[0].find(QStringLiteral("two")));
        QCOMPARE(one->at.x(), three->at.x());
        QVERIFY(three->at.y() > one->at.y());
    }

    void cellHooks()
    {
        auto grid = makeGrid(3, 3);
        grid->OnGetCellPrintColor = [](TTextGrid*, int row, int, TGridDrawState state, QColor&, TCellFont& font) {
            QCOMPARE(state, TGridDrawState(0));
            QCOMPARE(font.pointSize(), 12);
            if (row == 1) {
                font.Color = QColor(255, 0, 0);
                font.setBold(true);
            }
        };
        grid->OnGetAlignment = [](TTextGrid*, int, int col, Qt::Alignment& alignment) {
            if (col == 1)
                alignment = Qt::AlignRight;
        };
        const QList<DrawnPage> pages = printPages(*grid, QSize(2000, 1500));
        const DrawnText* red = pages[0].find(QStringLiteral("r1c0"));
        const DrawnText* black = pages[0].find(QStringLiteral("r2c0"));
        QVERIFY(red && black);
        QCOMPARE(red->color, QColor(255, 0, 0));
        QVERIFY(red->font.bold());
        QCOMPARE(black->color, QColor(0, 0, 0));
        QVERIFY(!black->font.bold());
        // Right-aligned: the next edge less the text and the width of an "a".
        const DrawnText* right = pages[0].find(QStringLiteral("r2c1"));
        QVERIFY(right);
        const qreal nextEdge = pages[0].verticalXs().at(2);
        QVERIFY(qAbs(right->at.x() - (nextEdge - widthOf(right->text) - widthOf(QStringLiteral("a")))) <= 1);
    }

    void printerFailures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("no printer") << QString() << "No printer is set up.";
        QTest::newRow("job cannot start") << "missing-folder/out.pdf" << "The print job could not be started on";
        QTest::newRow("printed") << "out.pdf" << QString();
    }

    void printerFailures()
    {
        QFETCH(QString, file);
        QFETCH(QString, error);
        QTemporaryDir dir;
        auto grid = makeGrid(3, 120);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file.isEmpty() ? QString() : dir.filePath(file));
        QString caught;
        try {
            TGridPrint(*grid).Print(printer);
        } catch (const AppError& e) {
            caught = e.message();
        }
        if (error.isEmpty()) {
            QCOMPARE(caught, QString());
            QFile pdf(dir.filePath(file));
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            const QByteArray bytes = pdf.readAll();
            QVERIFY(bytes.startsWith("%PDF"));
            QVERIFY(bytes.count("/Type /Page\n") + bytes.count("/Type /Page ") + bytes.count("/Type /Page/") >= 2);
        } else {
            QVERIFY2(caught.startsWith(error), qPrintable(caught));
        }
    }
};

QTEST_MAIN(TestGridPrint)
#include "wtst_gridprint.moc"
