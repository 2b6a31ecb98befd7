#include "config/fAddCat.h"

#include "platform/WindowPlacement.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace veltry {

TfrmAddCategory::TfrmAddCategory(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddCategory"));
    setWindowTitle(QStringLiteral("Add Task Category"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(241, 77);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    setFont(f);

    edtCategory = new QLineEdit(this);
    edtCategory->setObjectName(QStringLiteral("edtCategory"));
    edtCategory->setGeometry(8, 10, 225, 21);

    btnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(77, 43, 75, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(158, 43, 75, 25);
    btnCancel->setAutoDefault(false);

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
