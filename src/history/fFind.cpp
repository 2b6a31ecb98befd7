#include "history/fFind.h"
#include "platform/WindowPlacement.h"

#include "platform/AppIcons.h"
#include "platform/MessageBox.h"
#include "widgets/TextGrid.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace veltry {

TfrmFind::TfrmFind(TTextGrid* grid, QWidget* owner) : QDialog(owner), m_grid(grid)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find Text"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(176, 70);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);

    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setGeometry(8, 8, 160, 22);
    // No caption stands beside the field to name it.
    edtFind->setAccessibleName(QStringLiteral("Text to find"));

    BitBtn1 = new QPushButton(QStringLiteral("&Find"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(AppIcons::pixmap(QStringLiteral("find"), QSize(16, 16)));
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry(8, 38, 76, 25);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(92, 38, 76, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmFind::BitBtn1Click()
{
    const QString text = edtFind->text();
    const GridCellPos found = m_grid->FindFirst(text, 0);
    if (found.col >= 0) {
        m_grid->setCol(found.col);
        m_grid->setRow(found.row);
        return;
    }
    MessageBox::show(this, MessageBox::Kind::Information,
                     QStringLiteral("The text \"") + text + QStringLiteral("\" was not found"));
}

void TfrmFind::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    edtFind->clear();
    edtFind->setFocus();
}

} // namespace veltry
