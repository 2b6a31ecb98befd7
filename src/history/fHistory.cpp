#include "history/fHistory.h"

#include "history/core/TaskLog.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "store/core/Task.h"
#include "widgets/FlatBtn.h"
#include "widgets/TextGrid.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace veltry {

namespace {

constexpr int kIconSize = 18;

QPixmap blankIcon()
{
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    return pm;
}

// An open door with an arrow leaving through it.
QPixmap drawCloseIcon()
{
    QPixmap pm = blankIcon();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(96, 64, 32), 1));
    p.setBrush(QColor(200, 150, 90));
    p.drawRect(QRectF(2.5, 1.5, 9, 15));
    p.setBrush(QColor(150, 100, 50));
    p.drawPolygon(QPolygonF({QPointF(2.5, 1.5), QPointF(7.5, 3.5), QPointF(7.5, 16.5), QPointF(2.5, 16.5)}));
    p.setPen(QPen(QColor(0, 128, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(9, 9), QPointF(16, 9));
    p.drawPolyline(QPolygonF({QPointF(13, 6), QPointF(16, 9), QPointF(13, 12)}));
    return pm;
}

// A waste bin.
QPixmap drawClearIcon()
{
    QPixmap pm = blankIcon();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(QColor(190, 190, 200));
    QPainterPath bin;
    bin.moveTo(4, 5);
    bin.lineTo(14, 5);
    bin.lineTo(13, 16.5);
    bin.lineTo(5, 16.5);
    bin.closeSubpath();
    p.drawPath(bin);
    p.drawRect(QRectF(2.5, 3.5, 13, 2));
    p.drawRect(QRectF(7.5, 1.5, 3, 2));
    for (double x : {6.5, 9.0, 11.5})
        p.drawLine(QPointF(x, 7.5), QPointF(x, 14.5));
    return pm;
}

void drawPage(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QColor(120, 120, 160));
    for (double y = r.top() + 3; y < r.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

// A page under a magnifying glass.
QPixmap drawPreviewIcon()
{
    QPixmap pm = blankIcon();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawPage(p, QRectF(1.5, 0.5, 11, 14));
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(200, 230, 255, 200));
    p.drawEllipse(QPointF(10.5, 9.5), 4, 4);
    p.setPen(QPen(QColor(40, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13.5, 12.5), QPointF(16.5, 15.5));
    return pm;
}

// A printer with a sheet coming out.
QPixmap drawPrintIcon()
{
    QPixmap pm = blankIcon();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawPage(p, QRectF(4.5, 0.5, 9, 7));
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(QColor(170, 170, 180));
    p.drawRoundedRect(QRectF(1.5, 6.5, 15, 7), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 11.5, 9, 5));
    p.setPen(QColor(0, 160, 0));
    p.drawPoint(QPointF(14, 8.5));
    return pm;
}

TFlatButton* makeToolButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                            const QPixmap& picture, int x)
{
    auto* b = new TFlatButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setOptions(TFlatButtonOption::boIconOnly | TFlatButtonOption::boPopupMark | TFlatButtonOption::boShowBevel);
    b->setCaption(caption);
    b->setHint(hint);
    b->setShowHint(true);
    b->setBitmap(picture);
    b->setGeometry(x, 3, 26, 24);
    return b;
}

// Notes are kept with CR LF between lines; the memo wants plain line feeds.
QString notesForMemo(QString notes)
{
    notes.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    notes.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return notes;
}

} // namespace

TfrmTaskHistory::TfrmTaskHistory(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTaskHistory"));
    setWindowTitle(QStringLiteral("Task Log History"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlToolbar = new QWidget(this);
    pnlToolbar->setObjectName(QStringLiteral("pnlToolbar"));
    pnlToolbar->setFixedHeight(30);
    btnClose = makeToolButton(pnlToolbar, "btnClose", QStringLiteral("&Close History"),
                              QStringLiteral("Close History"), drawCloseIcon(), 2);
    btnClear = makeToolButton(pnlToolbar, "btnClear", QStringLiteral("C&lear History"),
                              QStringLiteral("Clear History"), drawClearIcon(), 30);
    btnPrintPreview = makeToolButton(pnlToolbar, "btnPrintPreview", QStringLiteral("Print Pre&view"),
                                     QStringLiteral("Print Preview"), drawPreviewIcon(), 58);
    FlatButton2 = makeToolButton(pnlToolbar, "FlatButton2", QStringLiteral("&Print Task History"),
                                 QStringLiteral("Print Task History"), drawPrintIcon(), 84);
    // Printing the history is not available yet.
    btnPrintPreview->setEnabled(false);
    FlatButton2->setEnabled(false);
    btnClose->setOnClick([this](TFlatButton*) { btnCloseClick(); });
    btnClear->setOnClick([this](TFlatButton*) { btnClearClick(); });
    layout->addWidget(pnlToolbar);

    TTextGrid* g = new TTextGrid(this);
    TaskHistoryGrid = g;
    g->setObjectName(QStringLiteral("TaskHistoryGrid"));
    g->setColCount(HistCol::Count);
    g->setRowCount(2);
    g->setFixedCols(1);
    g->setFixedRows(1);
    g->setDefaultRowHeight(18);
    g->setOptions(TTextGrid::goFixedVertLine | TTextGrid::goFixedHorzLine | TTextGrid::goVertLine
                  | TTextGrid::goHorzLine | TTextGrid::goColSizing | TTextGrid::goRangeSelect
                  | TTextGrid::goEditing);
    g->HintColor = QColor(255, 255, 0);
    g->EnhTextSize = false;
    g->SizeWithForm = false;
    g->Multilinecells = true;
    g->SortFixedCols = false;
    g->SortDirection = sdAscendingValue;
    g->setSortShow(true);
    g->setSortColumn(0);
    g->EnableGraphics = false;
    g->ScrollProportional = false;
    g->Navigation = TNavigation{};
    g->ColumnSize.Save = false;
    for (int c = 1; c < HistCol::Count; ++c)
        g->setColWidth(c, 20);
    g->setAutoSize(true);
    g->OnClickSort = [this](TTextGrid*, int) { TaskHistoryGridClickSort(); };
    g->OnClickCell = [this](TTextGrid*, int, int) { TaskHistoryGridClick(); };
    // Moving with the keys shows the notes of the new row as a click does.
    connect(g, &TTextGrid::currentCellChanged, this, [this](int, int) { TaskHistoryGridClick(); });
    layout->addWidget(g, 1);

    lblNotes = new QLabel(QStringLiteral("Notes"), this);
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setFixedHeight(20);
    lblNotes->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblNotes->setFrameShape(QFrame::NoFrame);
    lblNotes->setIndent(2);
    layout->addWidget(lblNotes);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFixedHeight(68);
    layout->addWidget(Memo1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    auto* panel = new QLabel(StatusBar1);
    panel->setObjectName(QStringLiteral("StatusPanel0"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setMinimumWidth(50);
    StatusBar1->addWidget(panel, 1);
    statusPanels[0] = panel;
    layout->addWidget(StatusBar1);

    resize(kDesignedSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    FormCreate();
}

void TfrmTaskHistory::FormCreate()
{
    setTitlesAndWidths();
    TaskHistoryGrid->NumberRows(HistCol::Number);
}

void TfrmTaskHistory::FormActivate()
{
    if (m_alarmTimer)
        m_alarmTimer->stop();
    ensureHistoryShape();
    setTitlesAndWidths();
    TaskHistoryGrid->NumberRows(HistCol::Number);
}

bool TfrmTaskHistory::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TfrmTaskHistory::setTitlesAndWidths()
{
    TTextGrid* g = TaskHistoryGrid;
    static const QString titles[HistCol::Count] = {
        QString(), QStringLiteral("Task"), QStringLiteral("Due Date"), QStringLiteral("Log Date"),
        QStringLiteral("Category"), QStringLiteral("Notes"), QStringLiteral("Create Date")};
    g->setColWidth(HistCol::Number, 20);
    for (int c = HistCol::Task; c < HistCol::Count; ++c)
        g->setCells(c, 0, titles[c]);
    g->setColWidth(HistCol::DueDate, 60);
    g->setColWidth(HistCol::LogDate, 60);
    g->setColWidth(HistCol::Category, 50);
    g->setColWidth(HistCol::Notes, 297);
    g->setColWidth(HistCol::CreateDate, 70);
    // Before the window is first shown its layout has not placed the grid yet.
    if (!isVisible() && layout())
        layout()->activate();
    // Columns 0 to 4 fill the visible width; Notes and Create Date lie beyond, reached by scrolling.
    g->setColWidth(HistCol::Task, std::max(0, g->width() - 9 - g->ColWidth(HistCol::Number)
                                                  - g->ColWidth(HistCol::DueDate) - g->ColWidth(HistCol::LogDate)
                                                  - g->ColWidth(HistCol::Category)));
}

void TfrmTaskHistory::ensureHistoryShape()
{
    TTextGrid* g = TaskHistoryGrid;
    if (g->RealColCount() < HistCol::Count)
        g->setColCount(HistCol::Count - g->columnMap().hiddenCount());
    if (g->RowCount() < 2)
        g->setRowCount(2);
}

void TfrmTaskHistory::UpdateHistoryCount()
{
    statusPanels[0]->setText(historyCountText(TaskHistoryGrid->cellStore()));
}

void TfrmTaskHistory::btnCloseClick()
{
    close();
}

void TfrmTaskHistory::btnClearClick()
{
    if (!m_noConfirmations
        && MessageBox::show(this, MessageBox::Kind::Information,
                            QStringLiteral("Are you sure you want to clear your entire history list?"),
                            QMessageBox::Ok | QMessageBox::Cancel)
               != QMessageBox::Ok)
        return;
    TaskHistoryGrid->ClearAllCells();
    TaskHistoryGrid->setRowCount(2);
    Memo1->clear();
    // The emptied history goes to disk now, like every other change the user confirmed.
    saveReportingFailure();
}

void TfrmTaskHistory::TaskHistoryGridClick()
{
    const int top = TaskHistoryGrid->Selection().top();
    Memo1->setPlainText(notesForMemo(TaskHistoryGrid->Cells(HistCol::Notes, top)));
}

void TfrmTaskHistory::TaskHistoryGridClickSort()
{
    TaskHistoryGrid->NumberRows(HistCol::Number);
}

void TfrmTaskHistory::freezeDataDirectory()
{
    if (m_dataDirectory)
        m_dataDirectory = [dir = m_dataDirectory()] { return dir; };
}

void TfrmTaskHistory::SaveHistory()
{
    if (!m_dataDirectory)
        return;
    TaskHistoryGrid->SaveToFile(m_dataDirectory() + kHistoryFileName);
    if (m_onSaved)
        m_onSaved();
}

bool TfrmTaskHistory::saveReportingFailure()
{
    try {
        SaveHistory();
        return true;
    } catch (const AppError& e) {
        MessageBox::showError(this, e.message());
        return false;
    }
}

void TfrmTaskHistory::FormDestroy()
{
    m_onSaved = nullptr;
    saveReportingFailure();
}

} // namespace veltry
