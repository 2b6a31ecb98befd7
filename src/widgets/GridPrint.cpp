#include "widgets/GridPrint.h"

#include "widgets/PrintService.h"

#include "platform/core/AppError.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "widgets/TextGrid.h"
#include "widgets/core/CellLines.h"

#include <QCoreApplication>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <memory>

namespace veltry {

namespace {

// Fonts are sized in points; the screen the sizes were chosen on had 96 dots per inch.
constexpr double kDesignDpi = 96.0;
constexpr double kUnitsPerInch = 254.0;

int pointSizeOf(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return qRound(font.pointSizeF());
    if (font.pixelSize() > 0)
        return qRound(font.pixelSize() * 72.0 / kDesignDpi);
    return 12;
}

// The font with its height in 0.1 mm. Hinting is off so that the widths measured here are the
// ones a printer, which never hints, lays the text out with.
QFont inUnits(QFont font, int points)
{
    font.setPixelSize(std::max(1, qRound(points * kUnitsPerInch / 72.0)));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int advance(const QFontMetricsF& fm, const QString& text)
{
    return qRound(fm.horizontalAdvance(text));
}

// Only the first line prints when a grid shows its cells on one line.
QString printedText(const QString& text, bool multiline)
{
    if (multiline)
        return text;
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    return cr < 0 ? text : text.left(cr);
}

int lineCount(const QString& text)
{
    return int(text.count(QLatin1Char('\r'))) + 1;
}

bool isTop(TPrintPosition p)
{
    return p == ppTopLeft || p == ppTopRight || p == ppTopCenter;
}

bool isBottom(TPrintPosition p)
{
    return p == ppBottomLeft || p == ppBottomRight || p == ppBottomCenter;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

const QString kNoPrinter = QStringLiteral(
    "No printer is set up. Install a printer, or pick one with File > Printer Setup, then print again.");

} // namespace

// One cell as it prints: its text, and the font and colour the cell hook gave it.
struct TGridPrint::Cell
{
    QString text;
    QFont font;
    QColor color;
    bool ownFont = false;
};

// The working values of one pass over the layout.
struct TGridPrint::Run
{
    QPainter* p = nullptr;           // none when only counting pages
    std::function<void()> newPage;   // set when printing
    int drawPage = -1;               // the one page drawn; -1 all of them; -2 none
    QPointF origin;                  // the page's top left on the device
    double scale = 1.0;              // device pixels per 0.1 mm
    int W = 0;                       // page width
    int B = 0;                       // page bottom (negative)
    int page = 0;
    bool stop = false;
    int first = 0;                   // display columns of the band
    int last = 0;
    std::vector<int> edges;          // x[first] .. x[last + 1]
    int y0 = 0;
    int y = 0;

    bool printing() const { return bool(newPage); }
    bool drawing() const { return p && (drawPage == -1 || drawPage == page); }
};

TGridPrint::TGridPrint(const TTextGrid& grid) : m_grid(grid), m_settings(grid.PrintSettings) {}

TGridPrint::Cell TGridPrint::cellFor(int row, int real) const
{
    Cell cell;
    cell.text = printedText(m_grid.Cells(real, row), m_grid.Multilinecells);
    cell.font = m_font;
    cell.color = m_settings.FontColor;
    if (m_grid.OnGetCellPrintColor) {
        // The handler sees the print font at its point size and a brush of its own; whatever it
        // leaves in the font is what the cell prints in.
        QFont handed = m_settings.Font;
        handed.setPointSize(m_pointSize);
        TCellFont font(handed, m_settings.FontColor);
        QColor brush(255, 255, 255);
        TGridDrawState state = 0;
        m_grid.OnGetCellPrintColor(const_cast<TTextGrid*>(&m_grid), row, real, state, brush, font);
        cell.font = inUnits(font, pointSizeOf(font));
        if (font.Color.isValid())
            cell.color = font.Color;
        cell.ownFont = true;
    }
    return cell;
}

void TGridPrint::measure()
{
    if (m_measured)
        return;
    m_measured = true;
    m_pointSize = pointSizeOf(m_settings.Font);
    m_font = inUnits(m_settings.Font, m_pointSize);
    const QFontMetricsF fm(m_font);
    m_g = qRound(fm.height());
    m_aWidth = advance(fm, QStringLiteral("a"));

    const int cols = m_grid.ColCount();
    const int rows = m_grid.RowCount();
    m_realCols.clear();
    for (int k = 0; k < cols; ++k)
        m_realCols.push_back(m_grid.DisplayToRealColumn(k));

    m_lines = 1;
    if (m_grid.Multilinecells)
        for (int real : m_realCols)
            for (int r = 0; r < rows; ++r)
                m_lines = std::max(m_lines, lineCount(m_grid.Cells(real, r)));
    m_block = m_lines * m_g;
    m_spacing = m_block / 4;

    m_widths.assign(m_realCols.size(), 0);
    if (m_settings.UseFixedWidth) {
        m_gap = 0;
        std::fill(m_widths.begin(), m_widths.end(), m_settings.FixedWidth);
        return;
    }
    m_gap = m_settings.ColumnSpacing + 20;
    for (size_t i = 0; i < m_realCols.size(); ++i) {
        int widest = 0;
        for (int r = 0; r < rows; ++r) {
            const Cell cell = cellFor(r, m_realCols[i]);
            const QFontMetricsF cellFm = cell.ownFont ? QFontMetricsF(cell.font) : fm;
            if (cell.text.contains(QLatin1Char('\r'))) {
                for (const QString& line : splitCellLines(cell.text))
                    widest = std::max(widest, advance(cellFm, line));
            } else {
                widest = std::max(widest, advance(cellFm, cell.text));
            }
        }
        m_widths[i] = widest;
    }
}

int TGridPrint::bandEnd(int first, int pageWidth) const
{
    const int n = int(m_realCols.size());
    const int limit = pageWidth - m_settings.RightSize;
    int total = 0;
    int last = first;
    for (int i = first; i < n; ++i) {
        if (i == n - 1) {
            last = i;  // the grid's last column always joins
            break;
        }
        const int next = total + m_widths[size_t(i)] + m_gap;
        if (next >= limit) {
            // A column wider than the page alone still makes a band, cut at the page edge.
            last = i == first ? i : i - 1;
            break;
        }
        total = next;
        last = i;
    }
    return last;
}

void TGridPrint::preparePainter(Run& run) const
{
    QPainter& p = *run.p;
    p.resetTransform();
    p.translate(run.origin);
    p.scale(run.scale, run.scale);
    // Drawing y runs downwards; the layout's y runs upwards from the page top, so every y is
    // drawn negated.
    p.setClipRect(QRectF(0, 0, run.W, -run.B));
    p.setPen(QPen(QColor(0, 0, 0), m_settings.Borders == pbDouble ? 10 : 2, Qt::SolidLine));
    p.setBrush(Qt::NoBrush);
    p.setFont(m_font);
}

void TGridPrint::drawTexts(Run& run)
{
    // Six places; each item goes in front at a left place and behind anywhere else.
    QString texts[7];
    auto add = [&texts](TPrintPosition at, const QString& item) {
        if (at == ppNone || at > ppBottomCenter)
            return;
        QString& t = texts[at];
        t = (at == ppTopLeft || at == ppBottomLeft) ? item + QLatin1Char(' ') + t : t + QLatin1Char(' ') + item;
    };
    const QDateTime now = Clock::instance().now();
    const LocaleFormats& formats = LocaleFormats::current();
    add(m_settings.Time, twoDigits(now.time().hour()) + formats.timeSeparator() + twoDigits(now.time().minute()));
    add(m_settings.Date, twoDigits(now.date().day()) + formats.dateSeparator() + twoDigits(now.date().month())
                             + formats.dateSeparator() + QStringLiteral("%1").arg(now.date().year(), 4, 10, QLatin1Char('0')));
    add(m_settings.PageNr, m_settings.PagePrefix + QLatin1Char(' ') + QString::number(run.page + 1));
    add(m_settings.Title, m_settings.TitleText);

    QPainter& p = *run.p;
    const QFontMetricsF fm(m_font);
    p.setFont(m_font);
    const QPen linePen = p.pen();
    p.setPen(m_settings.FontColor);
    const int topY = -m_settings.HeaderSize;
    const int bottomY = run.B + m_block + m_spacing + m_settings.FooterSize;
    for (int at = ppTopLeft; at <= ppBottomCenter; ++at) {
        const QString& text = texts[at];
        if (text.isEmpty())
            continue;
        const int width = advance(fm, text);
        const auto place = TPrintPosition(at);
        const int x = (place == ppTopLeft || place == ppBottomLeft)     ? m_settings.LeftSize
            : (place == ppTopRight || place == ppBottomRight)           ? run.W - width - 20
                                                                        : (run.W - width) / 2;
        const int y = isTop(place) ? topY : bottomY;
        p.drawText(QPointF(x, -y + fm.ascent()), text);
    }
    p.setPen(linePen);
}

void TGridPrint::printRow(Run& run, int row, bool draw, int& height)
{
    const int pitch = m_g + m_g / 8;
    height = 0;
    QPainter* p = draw ? run.p : nullptr;
    QPen linePen;
    if (p)
        linePen = p->pen();
    for (int i = run.first; i <= run.last; ++i) {
        const int real = m_realCols[size_t(i)];
        if (!p) {
            // Counting pages needs only the number of lines.
            const int lines = m_grid.Multilinecells ? lineCount(m_grid.Cells(real, row)) : 1;
            height = std::max(height, lines * pitch + m_spacing);
            continue;
        }
        const Cell cell = cellFor(row, real);
        Qt::Alignment alignment = Qt::AlignLeft;
        if (m_grid.OnGetAlignment)
            m_grid.OnGetAlignment(const_cast<TTextGrid*>(&m_grid), row, real, alignment);
        const QFontMetricsF fm(cell.font);
        p->setFont(cell.font);
        p->setPen(cell.color);
        const int edge = run.edges[size_t(i - run.first)];
        const int nextEdge = run.edges[size_t(i - run.first + 1)];
        const int width = m_widths[size_t(i)];
        const int inset = cell.ownFont ? advance(fm, QStringLiteral("a")) : m_aWidth;
        auto drawLine = [&](const QString& line, int k) {
            if (line.isEmpty())
                return;
            const int lineWidth = (alignment & (Qt::AlignRight | Qt::AlignHCenter)) ? advance(fm, line) : 0;
            const int x = (alignment & Qt::AlignRight) ? nextEdge - lineWidth - inset
                : (alignment & Qt::AlignHCenter)       ? edge + (width - lineWidth) / 2
                                                       : edge + inset;
            const int top = run.y - k * pitch;
            p->drawText(QPointF(x, -top + fm.ascent()), line);
        };
        int lines = 1;
        if (cell.text.contains(QLatin1Char('\r'))) {
            const QStringList parts = splitCellLines(cell.text);
            lines = int(parts.size());
            for (int k = 0; k < lines; ++k)
                drawLine(parts[k], k);
        } else {
            drawLine(cell.text, 0);
        }
        height = std::max(height, lines * pitch + m_spacing);
    }
    if (p) {
        p->setPen(linePen);
        p->setFont(m_font);
    }
}

void TGridPrint::drawBorders(Run& run, int bottom)
{
    if (m_settings.Borders == pbNoborder || !run.drawing())
        return;
    QPainter& p = *run.p;
    const int lineY = -(bottom + m_spacing / 2);
    p.drawLine(QPointF(run.edges.front(), lineY), QPointF(run.edges.back(), lineY));
    const int topY = -(run.y0 + m_spacing / 2);
    for (int x : run.edges)
        p.drawLine(QPointF(x, topY), QPointF(x, lineY));
}

void TGridPrint::ejectPage(Run& run)
{
    if (run.printing()) {
        run.newPage();
        preparePainter(run);
        if (m_grid.OnPrintPage)
            m_grid.OnPrintPage(const_cast<TTextGrid*>(&m_grid), run.p, run.page, run.W, run.B);
    }
    ++run.page;
    if (run.drawPage >= 0 && run.page > run.drawPage)
        run.stop = true;
}

void TGridPrint::runLayout(Run& run)
{
    measure();
    if (run.p)
        preparePainter(run);
    const bool anyTop = isTop(m_settings.Time) || isTop(m_settings.Date) || isTop(m_settings.PageNr) || isTop(m_settings.Title);
    const bool anyBottom = isBottom(m_settings.Time) || isBottom(m_settings.Date) || isBottom(m_settings.PageNr)
        || isBottom(m_settings.Title);
    run.y0 = -(m_settings.HeaderSize + (anyTop ? m_block + m_spacing : 0));
    const int reserve = m_settings.FooterSize + (anyBottom ? 2 : 1) * (m_block + m_spacing);
    if (run.p && m_grid.OnPrintPage)
        m_grid.OnPrintPage(const_cast<TTextGrid*>(&m_grid), run.p, 0, run.W, run.B);

    const bool lines = m_settings.Borders != pbNoborder;
    const int rows = m_grid.RowCount();
    const int cols = int(m_realCols.size());

    auto printLine = [&](int row) {
        const bool draw = run.drawing();
        if (lines && draw) {
            const int lineY = -(run.y + m_spacing / 2);
            run.p->drawLine(QPointF(run.edges.front(), lineY), QPointF(run.edges.back(), lineY));
        }
        int height = 0;
        printRow(run, row, draw, height);
        run.y -= m_settings.UseFixedHeight ? m_settings.FixedHeight : height;
    };
    auto startPage = [&](bool firstOfBand) {
        run.y = run.y0;
        if (run.drawing())
            drawTexts(run);
        if (!firstOfBand && m_settings.RepeatHeaders && m_grid.FixedRows() > 0)
            printLine(0);
    };

    for (int first = 0; first < cols && !run.stop; first = run.last + 1) {
        run.first = first;
        run.last = bandEnd(first, run.W);
        int x = m_settings.Centered ? 0 : m_settings.LeftSize;
        int total = 0;
        run.edges.assign(1, x);
        for (int i = first; i <= run.last; ++i) {
            x += m_widths[size_t(i)] + m_gap;
            run.edges.push_back(x);
            if (i != cols - 1)
                total += m_widths[size_t(i)] + m_gap;
        }
        if (m_settings.Centered && total < run.W)
            for (int& edge : run.edges)
                edge += (run.W - total) / 2;

        if (first > 0) {
            ejectPage(run);
            if (run.stop)
                break;
        }
        startPage(true);
        for (int r = 0; r < rows; ++r) {
            printLine(r);
            if (run.y >= run.B + reserve || r == rows - 1)
                continue;
            // The page is full: the row that crossed the reserve line stays on it.
            drawBorders(run, run.y);
            ejectPage(run);
            if (run.stop)
                break;
            startPage(false);
        }
        if (!run.stop)
            drawBorders(run, run.y);
    }
}

int TGridPrint::PrintPages(QPainter& canvas, const QSizeF& pageSize, double dpi, const std::function<void()>& newPage)
{
    Run run;
    run.p = &canvas;
    run.newPage = newPage ? newPage : [] {};
    run.scale = dpi / kUnitsPerInch;
    run.W = int(std::lround(pageSize.width() / run.scale));
    run.B = -int(std::lround(pageSize.height() / run.scale));
    runLayout(run);
    return run.page + 1;
}

void TGridPrint::PrintPreview(QPainter& canvas, const QRect& clip, int page)
{
    Run run;
    run.p = &canvas;
    run.drawPage = std::max(0, page);
    run.origin = clip.topLeft();
    run.scale = canvas.device()->logicalDpiX() / kUnitsPerInch;
    run.W = int(std::lround(clip.width() / run.scale));
    run.B = -int(std::lround(clip.height() / run.scale));
    canvas.save();
    runLayout(run);
    canvas.restore();
}

int TGridPrint::PageCount(const QSize& clip, double dpi)
{
    Run run;
    run.drawPage = -2;
    run.scale = dpi / kUnitsPerInch;
    run.W = int(std::lround(clip.width() / run.scale));
    run.B = -int(std::lround(clip.height() / run.scale));
    runLayout(run);
    return run.page + 1;
}

int TGridPrint::Print(QPagedPaintDevice& device)
{
    auto* printer = dynamic_cast<QPrinter*>(&device);
    QString target;
    if (printer) {
        // Without any printer the toolkit falls back to a PDF file that nobody named.
        if (printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName().isEmpty()
                                                           : printer->printerName().isEmpty())
            throw AppError(kNoPrinter);
        target = printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : printer->printerName();
        // The whole grid prints, whatever range the printer dialog was left at.
        printer->setPrintRange(QPrinter::AllPages);
        printer->setFromTo(0, 0);
        // The job's name in the print queue.
        printer->setDocName(m_settings.TitleText);
    }
    device.setPageOrientation(m_settings.Orientation);
    QPainter painter;
    if (!painter.begin(&device))
        throw AppError(target.isEmpty() ? QStringLiteral("The print job could not be started.")
                                        : QStringLiteral("The print job could not be started on \"%1\".").arg(target));
    const int pages = PrintPages(painter, QSizeF(device.width(), device.height()), device.logicalDpiX(),
                                 [&device] { device.newPage(); });
    // The job goes to the print service when the painter ends. Asking the queue first also
    // leaves the service's last answer as that of this job.
    const bool toQueue = printer && printer->outputFormat() == QPrinter::NativeFormat;
    const bool paused = toQueue && PrintService::isPaused(target);
    const bool ended = painter.end();
    if (!ended || (printer && printer->printerState() == QPrinter::Error))
        throw AppError(target.isEmpty() ? QStringLiteral("The print job failed.")
                                        : QStringLiteral("The print job on \"%1\" failed.").arg(target));
    if (toQueue) {
        const QString refusal = PrintService::lastJobRefusal();
        if (!refusal.isEmpty()) {
            // The service's answer names only the state; why the queue is in it is the administrator's text.
            const QString why = PrintService::stateMessage(target);
            throw AppError(QStringLiteral("The print service did not take the job for \"%1\": %2").arg(target, refusal)
                           + (why.isEmpty() ? QString() : QStringLiteral("\n\nThe reason given for the printer: %1").arg(why)));
        }
    }
    m_notice.clear();
    if (paused)
        m_notice = QStringLiteral("The printer \"%1\" is paused: the job waits in its queue until the printer "
                                  "is resumed.")
                       .arg(target);
    return pages;
}

namespace {
// Owned by the application object, so the printer goes before the toolkit does.
class PrinterHolder final : public QObject
{
public:
    using QObject::QObject;
    std::unique_ptr<QPrinter> printer;
};
} // namespace

QPrinter& Printer()
{
    static QPointer<PrinterHolder> holder;
    if (!holder)
        holder = new PrinterHolder(QCoreApplication::instance());
    std::unique_ptr<QPrinter>& printer = holder->printer;
    // Without a printer the toolkit falls back to an unnamed PDF file; a printer may have been
    // installed since, so look again.
    if (!printer || (printer->outputFormat() == QPrinter::PdfFormat && printer->outputFileName().isEmpty()))
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

TGridPrintScope::TGridPrintScope(TTextGrid& grid, std::initializer_list<int> hideRealCols)
    : m_grid(grid), m_wasVisible(!grid.isHidden())
{
    for (int k = 0; k < grid.ColCount(); ++k)
        m_widths[grid.DisplayToRealColumn(k)] = grid.ColWidth(k);
    m_hadFocus = grid.hasFocus();
    grid.hide();
    for (int real : hideRealCols) {
        if (grid.IsHiddenColumn(real))
            continue;
        grid.HideColumn(real);
        // The grid keeps two columns on show; a column it refused is not ours to show again.
        if (grid.IsHiddenColumn(real))
            m_hidden.push_back(real);
    }
}

TGridPrintScope::~TGridPrintScope()
{
    for (auto it = m_hidden.rbegin(); it != m_hidden.rend(); ++it)
        m_grid.UnhideColumn(*it);
    for (int k = 0; k < m_grid.ColCount(); ++k) {
        const auto width = m_widths.find(m_grid.DisplayToRealColumn(k));
        if (width != m_widths.end() && m_grid.ColWidth(k) != width->second)
            m_grid.setColWidth(k, width->second);
    }
    if (m_wasVisible)
        m_grid.show();
    if (m_hadFocus)
        m_grid.setFocus();
}

} // namespace veltry
