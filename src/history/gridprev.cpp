#include "history/gridprev.h"

#include "widgets/Accessibility.h"
#include "widgets/GridPrint.h"
#include "widgets/TextGrid.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

namespace veltry {

namespace {
class TPaintBox final : public QWidget
{
public:
    using QWidget::QWidget;
    std::function<void(QPainter&)> OnPaint;
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent*) override
    {
        if (OnResize)
            OnResize();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter canvas(this);
        if (OnPaint)
            OnPaint(canvas);
    }
};
} // namespace

const QRect TPagePreview::kDesignedFrame(245, 96, 511, 446);

TPagePreview::TPagePreview(QWidget* owner, TTextGrid* grid)
    : QDialog(owner), m_grid(grid), m_print(std::make_unique<TGridPrint>(*grid))
{
    setObjectName(QStringLiteral("PagePreview"));
    setWindowTitle(QStringLiteral("Print preview"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QPalette white = palette();
    white.setColor(QPalette::Window, QColor(255, 255, 255));
    setPalette(white);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* box = new TPaintBox(this);
    box->setObjectName(QStringLiteral("PaintBox1"));
    box->OnPaint = [this](QPainter& canvas) { PaintBox1Paint(canvas); };
    // Another size may hold another number of pages; the page shown stays while it exists.
    box->OnResize = [this] { showPage(m_page); };
    PaintBox1 = box;
    setAccessibleRole(box, QAccessible::Graphic);
    layout->addWidget(box, 1);

    // Turning the pages: a thin strip under the page.
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("pnlPages"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 2, 4, 2);
    auto makeButton = [strip](const char* name, Qt::ArrowType arrow, const QString& tip) {
        auto* b = new QToolButton(strip);
        b->setObjectName(QLatin1String(name));
        // The arrow is all it shows; the tip without its key names it.
        b->setAccessibleName(tip.section(QStringLiteral(" ("), 0, 0));
        b->setArrowType(arrow);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    btnPrevPage = makeButton("btnPrevPage", Qt::LeftArrow, QStringLiteral("Previous page (Page Up)"));
    btnNextPage = makeButton("btnNextPage", Qt::RightArrow, QStringLiteral("Next page (Page Down)"));
    lblPageCount = new QLabel(strip);
    lblPageCount->setObjectName(QStringLiteral("lblPageCount"));
    lblPageCount->setAlignment(Qt::AlignCenter);
    row->addStretch(1);
    row->addWidget(btnPrevPage);
    row->addWidget(lblPageCount);
    row->addWidget(btnNextPage);
    row->addStretch(1);
    layout->addWidget(strip);
    connect(btnPrevPage, &QToolButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(btnNextPage, &QToolButton::clicked, this, [this] { showPage(m_page + 1); });

    move(kDesignedFrame.topLeft());
    resize(kDesignedFrame.size());
}

TPagePreview::~TPagePreview() = default;

void TPagePreview::PaintBox1Paint(QPainter& canvas)
{
    m_print->PrintPreview(canvas, PaintBox1->rect(), m_page);
}

int TPagePreview::pageCount()
{
    const QSize area = PaintBox1->size();
    if (m_pageCount < 0 || area != m_countedFor) {
        m_countedFor = area;
        m_pageCount = m_print->PageCount(area, PaintBox1->logicalDpiX());
    }
    return m_pageCount;
}

void TPagePreview::showPage(int page)
{
    if (!lblPageCount)
        return;  // still being built
    const int last = pageCount() - 1;
    const int wanted = std::clamp(page, 0, std::max(0, last));
    if (wanted != m_page) {
        m_page = wanted;
        PaintBox1->update();
    }
    updatePageControls();
}

void TPagePreview::updatePageControls()
{
    const int count = pageCount();
    lblPageCount->setText(QStringLiteral("Page %1 of %2").arg(m_page + 1).arg(count));
    PaintBox1->setAccessibleName(lblPageCount->text());
    btnPrevPage->setEnabled(m_page > 0);
    btnNextPage->setEnabled(m_page + 1 < count);
}

void TPagePreview::FormActivate()
{
    if (m_alarmTimer)
        m_alarmTimer->stop();
}

bool TPagePreview::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TPagePreview::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_PageDown && e->modifiers() == Qt::NoModifier) {
        showPage(m_page + 1);
        return;
    }
    if (e->key() == Qt::Key_PageUp && e->modifiers() == Qt::NoModifier) {
        showPage(m_page - 1);
        return;
    }
    QDialog::keyPressEvent(e);
}

void TPagePreview::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // The designed size is the outer one, title bar and borders included.
    if (!m_framed) {
        m_framed = true;
        const QSize frame = frameGeometry().size() - geometry().size();
        if (!frame.isNull())
            resize(kDesignedFrame.size() - frame);
    }
    showPage(m_page);
}

} // namespace veltry
