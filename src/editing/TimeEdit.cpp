#include "editing/TimeEdit.h"

#include "platform/MessageBox.h"
#include "platform/core/LocaleFormats.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

namespace veltry {

namespace {
// Display indexes of the six entry positions; 2 and 5 hold the fixed separator and blank.
constexpr int kEntryPositions[6] = {0, 1, 3, 4, 6, 7};
constexpr int kSeparatorPosition = 2;
constexpr QChar kBlankChar = QLatin1Char('_');
} // namespace

const QString TTimeEdit::kRefusedText =
    QStringLiteral("Invalid input value.  Use escape key to abandon changes");

TTimeEdit::TTimeEdit(QWidget* parent) : QLineEdit(parent)
{
    followLocale();
    m_savedText = value();
}

void TTimeEdit::followLocale()
{
    const QChar separator = LocaleFormats::current().timeSeparator();
    if (separator == m_separator)
        return;
    m_separator = separator;
    // Two required digits, the separator (escaped: it could be a mask character), two required
    // digits, a blank, two required letters upper-cased.
    setInputMask(QStringLiteral("99\\") + separator + QStringLiteral("99 >AA;_"));
    setMaxLength(kLength);
}

QString TTimeEdit::blankDisplay() const
{
    return QStringLiteral("__") + m_separator + QStringLiteral("__ __");
}

TTimeEdit::~TTimeEdit()
{
    watchWindow(false);
}

QString TTimeEdit::value() const
{
    const QString shown = displayText();
    QString out;
    for (const int i : kEntryPositions)
        if (i < shown.size() && shown.at(i) != kBlankChar)
            out += shown.at(i);
    return out;
}

void TTimeEdit::setValue(const QString& value)
{
    followLocale();
    // setText runs the characters through the mask into the entry positions and clears the
    // modified flag, which is what makes a program-set field "unchanged".
    setText(value);
    m_savedText = this->value();
    m_stored.clear();
}

void TTimeEdit::setStoredText(const QString& stored)
{
    setValue(valueFromStored(stored));
    m_stored = stored;
}

int TTimeEdit::firstBlankPosition() const
{
    const QString shown = displayText();
    for (const int i : kEntryPositions)
        if (i >= shown.size() || shown.at(i) == kBlankChar)
            return i;
    return -1;
}

QString TTimeEdit::valueFromStored(const QString& stored)
{
    // "hh:mmam": hour, then minute and marker with the separator, whichever it is, skipped.
    return (stored.left(2) + stored.mid(3, 4)).toUpper();
}

std::optional<QString> TTimeEdit::storedText() const
{
    const QString shown = value();
    if (shown.isEmpty())
        return QString();
    const LocaleFormats& formats = LocaleFormats::current();
    if (!m_stored.isEmpty() && shown == valueFromStored(m_stored) && formats.parseTime(m_stored))
        return m_stored;
    const std::optional<QTime> time = formats.parseTime(displayText());
    if (!time)
        return std::nullopt;
    return formats.formatTime(*time);
}

bool TTimeEdit::mustRefuseLeaving() const
{
    return isModified() && isVisible() && isEnabled() && firstBlankPosition() >= 0;
}

void TTimeEdit::refuseLeaving()
{
    if (!mustRefuseLeaving()) {
        m_refusalPending = false;
        return;
    }
    QApplication::beep();
    // Still pending while the focus comes back, so that what Escape restores is kept.
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_refusalPending = false;
    watchWindow(true);
    deselect();
    setCursorPosition(firstBlankPosition());
    MessageBox::showError(this, kRefusedText);
}

void TTimeEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (isModified()) {
            setValue(m_savedText);
            event->accept();
            return;
        }
        // Unchanged: Escape belongs to the dialog.
        event->ignore();
        return;
    }

    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!printable) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // The mask would carry a character that does not fit on to the next position that takes
    // it; here it is refused where the caret is, and audibly.
    int pos = hasSelectedText() ? selectionStart() : cursorPosition();
    const QChar c = typed.at(0);
    const bool typingTheFixedCharacter = (pos == kSeparatorPosition && c == m_separator)
        || (pos == 5 && c == QLatin1Char(' '));
    if (!typingTheFixedCharacter) {
        if (pos == kSeparatorPosition || pos == 5)
            ++pos;
        const bool fits = pos < kLength && c.unicode() < 128 && (pos < 5 ? c.isDigit() : c.isLetter());
        if (!fits) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    const QString before = displayText();
    const int caretBefore = cursorPosition();
    QLineEdit::keyPressEvent(event);
    if (displayText() == before && cursorPosition() == caretBefore)
        QApplication::beep();
}

void TTimeEdit::focusInEvent(QFocusEvent* event)
{
    // Coming back after a refusal keeps what Escape should restore.
    if (!m_refusalPending && event->reason() != Qt::ActiveWindowFocusReason
        && event->reason() != Qt::PopupFocusReason)
        m_savedText = value();
    watchWindow(true);
    QLineEdit::focusInEvent(event);
}

void TTimeEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Another window taking the focus (a message box, the task switcher) is not leaving.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    if (!m_refusalPending && mustRefuseLeaving()) {
        // The focus is already changing; take it back once that is done.
        m_refusalPending = true;
        QTimer::singleShot(0, this, &TTimeEdit::refuseLeaving);
        return;
    }
    if (!m_refusalPending)
        watchWindow(false);
}

bool TTimeEdit::focusNextPrevChild(bool next)
{
    if (mustRefuseLeaving()) {
        refuseLeaving();
        return true;
    }
    return QLineEdit::focusNextPrevChild(next);
}

void TTimeEdit::watchWindow(bool on)
{
    if (on == m_watching)
        return;
    m_watching = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool TTimeEdit::eventFilter(QObject* watched, QEvent* event)
{
    // A press that took the focus away from a refused field must not go on to click: the
    // field keeps the focus, and e.g. OK or Cancel must not act.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
        && type != QEvent::MouseButtonRelease && type != QEvent::Shortcut)
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target == this || target->window() != window())
        return false;
    if (type == QEvent::Shortcut && !m_refusalPending && mustRefuseLeaving() && hasFocus()) {
        refuseLeaving();
        return true;
    }
    return m_refusalPending;
}

} // namespace veltry
