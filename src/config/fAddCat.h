#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace veltry {

// "Add Task Category": one text box, emptied and focused each time the dialog comes up.
// Created for one question and freed afterwards.
class TfrmAddCategory final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAddCategory(QWidget* parent = nullptr);

    QString category() const;

    QLineEdit* edtCategory = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace veltry
