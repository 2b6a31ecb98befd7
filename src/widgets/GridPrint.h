#pragma once

#include "widgets/PrintSettings.h"

#include <QFont>
#include <QRect>
#include <QSizeF>
#include <functional>
#include <initializer_list>
#include <map>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace veltry {

class TTextGrid;

// The grid on paper: its display columns (hidden ones take no room) and all its rows, title row
// first, cut into pages downwards and into bands of columns across, with the header and footer
// texts and grid lines of the grid's PrintSettings. Reads the grid and raises its print events;
// changes nothing in it.
//
// Page coordinates are 0.1 mm with y growing upwards: the page top is 0, its bottom the negative
// page height.
class TGridPrint final
{
public:
    explicit TGridPrint(const TTextGrid& grid);

    // The whole grid on `device` (a printer or a PDF writer) as one job, in the settings'
    // orientation; returns the number of pages. Throws AppError when the job cannot start, the
    // device reports a failure or the print service refuses the job (with the service's reason).
    int Print(QPagedPaintDevice& device);
    // After a Print() that went through: what the user should know of the job, such as that its
    // queue is paused and the job waits there; empty otherwise.
    const QString& Notice() const { return m_notice; }
    // One page of the layout on `canvas`, the page being the rectangle `clip` of its device,
    // mapped to 0.1 mm through the device's own resolution. Page 0 is what the preview shows;
    // nothing is ejected and no other page is drawn.
    void PrintPreview(QPainter& canvas, const QRect& clip, int page = 0);
    // How many pages the layout takes on pages the size of `clip` at `dpi`.
    int PageCount(const QSize& clip, double dpi);

    // The layout itself, on a painter that is already open: pages of `pageSize` device pixels at
    // `dpi`, starting at the painter's origin. `newPage` ejects a page; after it the painter's
    // pen, font and mapping are set again, so it may even move the painter to another device.
    // Returns the number of pages.
    int PrintPages(QPainter& canvas, const QSizeF& pageSize, double dpi, const std::function<void()>& newPage);

private:
    struct Cell;
    struct Run;

    void measure();
    void runLayout(Run& run);
    void preparePainter(Run& run) const;
    // The columns from `first` that fit across the page; at least one, so that every band
    // advances.
    int bandEnd(int first, int pageWidth) const;
    void printRow(Run& run, int row, bool draw, int& height);
    void drawTexts(Run& run);
    void drawBorders(Run& run, int bottom);
    void ejectPage(Run& run);
    Cell cellFor(int row, int real) const;

    const TTextGrid& m_grid;
    const TPrintsettings& m_settings;
    bool m_measured = false;
    QFont m_font;        // the print font, its height in 0.1 mm
    int m_pointSize = 0; // P: the print font's size in points
    int m_g = 0;         // line height
    int m_lines = 1;     // L
    int m_block = 0;     // T
    int m_spacing = 0;   // s
    int m_gap = 0;       // G
    int m_aWidth = 0;    // width of "a", the inset of left and right aligned text
    std::vector<int> m_realCols;
    std::vector<int> m_widths;
    QString m_notice;
};

// The printer that printing uses, chosen with the printer setup dialog; the system's default
// printer until then. One for the whole program, created on first use.
QPrinter& Printer();

// Prepares a grid for one print and puts it back afterwards, also when the print fails: the
// grid is hidden in its window, the given columns are hidden (a column already hidden stays
// so), and every width is kept by its real column.
class TGridPrintScope final
{
public:
    TGridPrintScope(TTextGrid& grid, std::initializer_list<int> hideRealCols);
    ~TGridPrintScope();
    TGridPrintScope(const TGridPrintScope&) = delete;
    TGridPrintScope& operator=(const TGridPrintScope&) = delete;

private:
    TTextGrid& m_grid;
    bool m_wasVisible;
    bool m_hadFocus = false;
    std::vector<int> m_hidden;
    std::map<int, int> m_widths;
};

} // namespace veltry
