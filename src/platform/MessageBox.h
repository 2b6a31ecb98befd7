#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace veltry {

// Every message box of the program goes through here, so tests can answer them in advance and
// read what was shown.
namespace MessageBox {

enum class Kind { Information, Warning, Error, Plain };

// Shows a modal box with the program's title; returns the button pressed.
QMessageBox::StandardButton show(QWidget* parent, Kind kind, const QString& text,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The application's error box, with the error's own text.
void showError(QWidget* parent, const QString& text);

// While the program ends by a signal or a logout no box may hold it up: each box's text goes to
// standard error instead, and a question takes its safe answer (Cancel or No), never one that
// removes or changes anything.
void setEnding(bool on);
bool isEnding();

// Test seam: when answers are queued, boxes are not shown; each takes the next answer (or its
// default button when the queue runs dry) and its text is recorded.
void setTestMode(bool on);
void queueAnswer(QMessageBox::StandardButton answer);
QStringList shownTexts();
void clearShownTexts();

} // namespace MessageBox
} // namespace veltry
