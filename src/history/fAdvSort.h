#pragma once

#include "store/core/TaskOrder.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace veltry {

class TTextGrid;

// "Advanced Sort": a primary key and direction and a secondary key and direction for the task
// list. Made for one use; the choices are read back with choice() after "Sort!".
class TfrmAdvSort final : public QDialog
{
    Q_OBJECT

public:
    // `stored`: the choices the main window keeps, negative where unset.
    explicit TfrmAdvSort(const AdvancedSortChoice& stored, QWidget* owner = nullptr);

    // Opening: each box shows the stored choice, or its default.
    void FormActivate();
    // The "?" button: the explanation window, modally.
    void SpeedButton1Click();
    // The four selected indexes; the boxes are pick-only, so each is always one of its items.
    AdvancedSortChoice choice() const;

    QLabel* Label1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QComboBox* cboPKey = nullptr;
    QComboBox* cboPDir = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QComboBox* cboSKey = nullptr;
    QComboBox* cboSDir = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    AdvancedSortChoice m_stored;
};

// Sorts the task grid as chosen: the grid's own sort on the primary key and direction, which
// leaves the title arrow on them, then each run of rows with the same primary text ordered by the
// secondary key. The current row stays on its task.
void AdvancedSortTaskGrid(TTextGrid* grid, const AdvancedSortChoice& choice);

} // namespace veltry
