#pragma once

#include <QRect>
#include <QString>
#include <QStyle>

class QDialog;
class QPushButton;
class QWidget;

namespace veltry {

// The program's one-use dialogs: a title and a close box only, no resizing, and the small
// sans-serif font of the designs (8 points, or `fontPixelSize` pixels where a design says so).
void setUpDialogFrame(QDialog* dialog, int fontPixelSize = 0);

// A dialog's push button with the style's standard icon. The default one takes Enter; the
// others never take it on their own, so Enter in a field still means the default.
QPushButton* addDialogButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& text,
                             const char* objectName, const QRect& geometry, bool isDefault = false);

} // namespace veltry
