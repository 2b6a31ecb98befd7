#pragma once

#include <QLineEdit>
#include <optional>

namespace veltry {

// The due-time field: a masked line edit showing "__:__ __" when blank, two-digit hour and
// minute and an upper-case AM/PM marker. A field the user has changed cannot be left while any
// entry position is still blank; Escape gives back what it held before the change.
//
// Between hour and minute stands the locale's time separator (":" or, in Finnish, Danish and
// Indonesian, "."), the one the time reader and the stored text use. Its value is the six
// entered characters without the fixed separator and blank ("0930AM"); the task keeps the time
// as "hh:mmam/pm" ("09:30am", "09.30am").
class TTimeEdit final : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kLength = 8;
    static const QString kRefusedText;   // shown when leaving a half-filled field

    explicit TTimeEdit(QWidget* parent = nullptr);
    ~TTimeEdit() override;

    // The entered characters, blanks left out; empty for a blank field.
    QString value() const;
    // Places the characters into the entry positions in order; counts as unchanged. The fixed
    // separator follows the current locale from here on.
    void setValue(const QString& value);
    // Empty value, "__:__ __" shown, unchanged.
    void blank() { setValue(QString()); }
    // "__:__ __" with the field's separator.
    QString blankDisplay() const;
    bool isBlankDisplay() const { return displayText() == blankDisplay(); }
    // Whether the user changed the text since the program last set it.
    bool isChanged() const { return isModified(); }
    // Display index of the first blank entry position, -1 when all are filled.
    int firstBlankPosition() const;

    // Field value for a stored time text: "09:30am" (any separator) gives "0930AM", "" gives "".
    static QString valueFromStored(const QString& stored);
    // The stored form of the field: empty for an empty value; nothing when the displayed text
    // is no time. While the field still shows the text setStoredText gave it, that text comes
    // back as it was, so an edit that leaves the time alone does not rewrite it.
    std::optional<QString> storedText() const;
    void setStoredText(const QString& stored);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The user changed the field and left an entry position blank.
    bool mustRefuseLeaving() const;
    // Beep, focus back with the caret on the first blank, and the message.
    void refuseLeaving();
    void watchWindow(bool on);
    // Puts the current locale's time separator into the mask when it differs.
    void followLocale();

    // What Escape restores: the text as it was before the user's change.
    QString m_savedText;
    // The task's own text for the time shown, as setStoredText was given it.
    QString m_stored;
    QChar m_separator;
    bool m_refusalPending = false;
    bool m_watching = false;
};

} // namespace veltry
