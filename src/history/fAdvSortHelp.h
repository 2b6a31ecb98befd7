#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace veltry {

// "Advanced Sorting Explained": what the primary and secondary keys do, with an example.
class TfrmAdvSortHelp final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAdvSortHelp(QWidget* owner = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;  // heading
    QLabel* Label2 = nullptr;  // its lines
    QLabel* Label3 = nullptr;  // heading
    QLabel* Label4 = nullptr;  // its lines
    QPushButton* BitBtn1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace veltry
