#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

class QLabel;
class QPainter;
class QTimer;
class QToolButton;

namespace veltry {

class TGridPrint;
class TTextGrid;

// The print preview: one page of a grid's printout, drawn by the grid's print engine on a
// paint area as large as the window, in true size. Opens on the first page; Page Down and Page
// Up (or the two arrow buttons) turn the pages. Created for one use and shown modally.
class TPagePreview final : public QDialog
{
    Q_OBJECT

public:
    TPagePreview(QWidget* owner, TTextGrid* grid);
    ~TPagePreview() override;

    // The main window's alarm timer, held still whenever the preview becomes active.
    void setAlarmTimer(QTimer* timer) { m_alarmTimer = timer; }

    void PaintBox1Paint(QPainter& canvas);
    void FormActivate();
    void showPage(int page);
    int page() const { return m_page; }
    int pageCount();

    QWidget* PaintBox1 = nullptr;
    QToolButton* btnPrevPage = nullptr;
    QToolButton* btnNextPage = nullptr;
    QLabel* lblPageCount = nullptr;

    static const QRect kDesignedFrame;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void updatePageControls();

    TTextGrid* m_grid;
    std::unique_ptr<TGridPrint> m_print;
    QPointer<QTimer> m_alarmTimer;
    int m_page = 0;
    int m_pageCount = -1;  // for the paint area's present size; -1 until counted
    QSize m_countedFor;
    bool m_framed = false;
};

} // namespace veltry
