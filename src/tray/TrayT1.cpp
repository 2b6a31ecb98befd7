#include "tray/TrayT1.h"

namespace veltry {

TForm1::TForm1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Veltry"));
}

} // namespace veltry
