#include "platform/MessageBox.h"

#include <QApplication>
#include <cstdio>
#include <deque>

namespace veltry::MessageBox {

namespace {
const QString kProgramName = QStringLiteral("Veltry Professional");

struct TestState
{
    bool ending = false;
    bool on = false;
    std::deque<QMessageBox::StandardButton> answers;
    QStringList shown;
};

TestState& state()
{
    static TestState s;
    return s;
}
} // namespace

namespace {
QMessageBox::StandardButton showBox(QWidget* parent, Kind kind, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);
} // namespace

QMessageBox::StandardButton show(QWidget* parent, Kind kind, const QString& text,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    // A box of a kind carries the kind as its title; notices carry the program's name.
    const QString title = kind == Kind::Information ? QStringLiteral("Information")
        : kind == Kind::Warning                     ? QStringLiteral("Warning")
        : kind == Kind::Error                       ? QStringLiteral("Error")
                                                    : kProgramName;
    return showBox(parent, kind, title, text, buttons, defaultButton);
}

void showError(QWidget* parent, const QString& text)
{
    // The application's error box: the program's name over the error's own text.
    showBox(parent, Kind::Error, kProgramName, text, QMessageBox::Ok, QMessageBox::NoButton);
}

namespace {
QMessageBox::StandardButton showBox(QWidget* parent, Kind kind, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    TestState& s = state();
    if (s.ending) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
        if (s.on)
            s.shown.append(text);
        if (buttons.testFlag(QMessageBox::Cancel))
            return QMessageBox::Cancel;
        if (buttons.testFlag(QMessageBox::No))
            return QMessageBox::No;
        return QMessageBox::Ok;
    }
    if (s.on) {
        s.shown.append(text);
        if (!s.answers.empty()) {
            const auto answer = s.answers.front();
            s.answers.pop_front();
            return answer;
        }
        if (defaultButton != QMessageBox::NoButton)
            return defaultButton;
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Yes;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case Kind::Information: icon = QMessageBox::Information; break;
    case Kind::Warning: icon = QMessageBox::Warning; break;
    case Kind::Error: icon = QMessageBox::Critical; break;
    case Kind::Plain: break;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void setEnding(bool on)
{
    state().ending = on;
}

bool isEnding()
{
    return state().ending;
}

void setTestMode(bool on)
{
    state().on = on;
    state().answers.clear();
}

void queueAnswer(QMessageBox::StandardButton answer)
{
    state().answers.push_back(answer);
}

QStringList shownTexts()
{
    return state().shown;
}

void clearShownTexts()
{
    state().shown.clear();
}

} // namespace veltry::MessageBox
