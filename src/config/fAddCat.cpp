#include "config/fAddCat.h"

#include "platform/DialogFrame.h"
#include "platform/WindowPlacement.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace veltry {

TfrmAddCategory::TfrmAddCategory(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddCategory"));
    setWindowTitle(QStringLiteral("Add Task Category"));
    setFixedSize(241, 77);
    setUpDialogFrame(this);

    edtCategory = new QLineEdit(this);
    edtCategory->setObjectName(QStringLiteral("edtCategory"));
    edtCategory->setGeometry(8, 10, 225, 21);

    btnOK = addDialogButton(this, QStyle::SP_DialogOkButton, QStringLiteral("OK"), "btnOK", QRect(77, 43, 75, 25), true);
    btnCancel = addDialogButton(this, QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), "btnCancel", QRect(158, 43, 75, 25));

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmAddCategory::category() const
{
    return edtCategory->text();
}

void TfrmAddCategory::showEvent(QShowEvent* event)
{
    edtCategory->clear();
    edtCategory->setFocus();
    QDialog::showEvent(event);
}

} // namespace veltry
