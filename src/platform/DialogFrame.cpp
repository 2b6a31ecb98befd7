#include "platform/DialogFrame.h"

#include <QDialog>
#include <QPushButton>

namespace veltry {

void setUpDialogFrame(QDialog* dialog, int fontPixelSize)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    if (fontPixelSize > 0)
        f.setPixelSize(fontPixelSize);
    else
        f.setPointSize(8);
    dialog->setFont(f);
}

QPushButton* addDialogButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& text,
                             const char* objectName, const QRect& geometry, bool isDefault)
{
    auto* button = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(geometry);
    if (isDefault)
        button->setDefault(true);
    else
        button->setAutoDefault(false);
    return button;
}

} // namespace veltry
