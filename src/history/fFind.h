#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace veltry {

class TTextGrid;

// "Find Text": the first cell of the grid that holds the typed text, in any letter case, becomes
// its current cell; otherwise a message says the text was not found. Made for one use.
class TfrmFind final : public QDialog
{
    Q_OBJECT

public:
    TfrmFind(TTextGrid* grid, QWidget* owner = nullptr);

    // "&Find": searches the shown columns from the first, each from the top; then the dialog
    // closes.
    void BitBtn1Click();

    QLineEdit* edtFind = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TTextGrid* m_grid;
};

} // namespace veltry
