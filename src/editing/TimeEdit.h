#pragma once

#include <QLineEdit>
#include <optional>

namespace veltry {

// The due-time field: a masked line edit showing "__:__ __" when blank, two-digit hour and
// minute and an upper-case AM/PM marker. A field the user has changed cannot be left while any
// entry position is still blank; Escape gives back what it held before the change.
//
// Its value is the six entered characters without the fixed ":" and blank ("0930AM"); the
// task keeps the time as "hh:mmam/pm" ("09:30am").
class TTimeEdit final : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kLength = 8;
    static const QString kBlankDisplay;  // "__:__ __"
    static const QString kRefusedText;   // shown when leaving a half-filled field

    explicit TTimeEdit(QWidget* parent = nullptr);
    ~TTimeEdit() override;

    // The entered characters, blanks left out; empty for a blank field.
    QString value() const;
    // Places the characters into the entry positions in order; counts as unchanged.
    void setValue(const QString& value);
    // Empty value, "__:__ __" shown, unchanged.
    void blank() { setValue(QString()); }
    bool isBlankDisplay() const { return displayText() == kBlankDisplay; }
    // Whether the user changed the text since the program last set it.
    bool isChanged() const { return isModified(); }
    // Display index of the first blank entry position, -1 when all are filled.
    int firstBlankPosition() const;

    // Field value for a stored time text: "09:30am" gives "0930AM", "" gives "".
    static QString valueFromStored(const QString& stored);
    // The stored form of the field: empty for an empty value; nothing when the displayed text
    // is no time.
    std::optional<QString> storedText() const;
    void setStoredText(const QString& stored) { setValue(valueFromStored(stored)); }

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

    // What Escape restores: the text as it was before the user's change.
    QString m_savedText;
    bool m_refusalPending = false;
    bool m_watching = false;
};

} // namespace veltry
