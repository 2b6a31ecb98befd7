#pragma once

#include <QColor>
#include <QImage>
#include <QKeySequence>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QMenu;

namespace veltry {

// Where the picture sits relative to the caption.
enum class TFlatButtonLayout { blBitmapTop, blBitmapBottom, blBitmapLeft, blBitmapRight };

enum class TFlatButtonOption {
    boMonoDisplay = 1,
    boIconOnly = 2,
    boPopupMark = 4,
    boShowBevel = 8,
};
Q_DECLARE_FLAGS(TFlatButtonOptions, TFlatButtonOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFlatButtonOptions)

// Threshold sets for the picture shown while the pointer is away.
enum class TFlatButtonShadingType { stLight, stMedium, stDark };

// Which way the hover bevel faces; the pressed bevel faces the other way.
enum class TFlatButtonBevelStyle { bsLowered = 0, bsRaised = 1 };

// A flat toolbar button that paints itself: flat until hovered, raised while hovered, sunken
// while pressed or latched down. Buttons with the same non-zero GroupIndex under one parent
// latch like radio buttons.
class TFlatButton final : public QWidget
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TFlatButton *Sender)>;
    using TMouseMoveEvent =
        std::function<void(TFlatButton *Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;

    explicit TFlatButton(QWidget *parent = nullptr);
    ~TFlatButton() override;

    // Horizontal placement of picture and caption: Qt::AlignLeft, Qt::AlignRight or
    // Qt::AlignHCenter (the default).
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment value);

    bool allowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool value);

    TFlatButtonBevelStyle bevelStyle() const { return m_bevelStyle; }
    void setBevelStyle(TFlatButtonBevelStyle value);

    const QPixmap &noFocusBitmap() const { return m_noFocusBitmap; }
    void setNoFocusBitmap(const QPixmap &value);

    const QPixmap &bitmap() const { return m_bitmap; }
    void setBitmap(const QPixmap &value);

    const QString &caption() const { return m_caption; }
    void setCaption(const QString &value);
    // The key the caption's accelerator letter stands for (Alt+letter); empty without one.
    // While the button is enabled and visible it takes that key in its window every time, ahead
    // of any other shortcut on the same key.
    const QKeySequence &accelerator() const { return m_accelerator; }

    int groupIndex() const { return m_groupIndex; }
    void setGroupIndex(int value);

    const QPixmap &disabledBitmap() const { return m_disabledBitmap; }
    void setDisabledBitmap(const QPixmap &value);

    bool isDown() const { return m_down; }
    void setDown(bool value);

    QMenu *dropDownMenu() const;
    void setDropDownMenu(QMenu *value);

    // Right-button menu of the button itself; without one the parent's context menu applies.
    QMenu *popupMenu() const;
    void setPopupMenu(QMenu *value);

    // Not named layout(): that would hide QWidget::layout().
    TFlatButtonLayout buttonLayout() const { return m_layout; }
    void setButtonLayout(TFlatButtonLayout value);

    TFlatButtonOptions options() const { return m_options; }
    void setOptions(TFlatButtonOptions value);

    TFlatButtonShadingType shadingType() const { return m_shadingType; }
    void setShadingType(TFlatButtonShadingType value);

    bool showDownPattern() const { return m_showDownPattern; }
    void setShowDownPattern(bool value);

    // Caption colour while the pointer is away; follows the palette's window text until set.
    QColor unselectedFontColor() const;
    void setUnselectedFontColor(const QColor &value);

    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool value);

    // The hint is shown as the tool tip while showHint() is on.
    const QString &hint() const { return m_hint; }
    void setHint(const QString &value);
    bool showHint() const { return m_showHint; }
    void setShowHint(bool value);

    // The picture shown while the pointer is away with boMonoDisplay, made from bitmap().
    const QPixmap &shadedBitmap() const { return m_shadedBitmap; }

    // Caption without its accelerator marks: every "&" goes except one in the last position.
    static QString stripAccelerators(const QString &text);

    // The events; each is optional. The signals below fire alongside them.
    void setOnClick(TNotifyEvent handler) { m_onClick = std::move(handler); }
    void setOnEnter(TNotifyEvent handler) { m_onEnter = std::move(handler); }
    void setOnExit(TNotifyEvent handler) { m_onExit = std::move(handler); }
    void setOnMouseMove(TMouseMoveEvent handler) { m_onMouseMove = std::move(handler); }

    // Performs the same press and release as the accelerator does.
    void click();

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();
    void entered();
    void exited();
    void mouseMoved(Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void changeEvent(QEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    struct Placement
    {
        QPoint picture;
        QRect captionBox;  // before any one-pixel press shift
        int captionWidth = 0;
        int captionHeight = 0;
        bool hasCaption = false;
        bool hasMark = false;
    };

    Placement computePlacement() const;
    // The room the picture takes, in logical pixels.
    QSize pictureSize() const;
    bool hasMenuMark() const;
    bool isOverButton(QPoint local) const;
    bool pointerIsOver() const;
    void pointerEntered();
    void pointerLeft();
    void press();
    void release(QPoint local);
    void finishPopup();
    void setDownInternal(bool value);
    void releaseGroupSiblings();
    void updateShadedBitmap();
    void updateAccelerator();
    void applyHint();

    void drawBevel(QPainter &p, bool raised) const;
    void drawCaption(QPainter &p, const Placement &pl, QPoint shift, const QColor &color) const;
    void drawMark(QPainter &p, QPoint at, const QColor &color) const;

    Qt::Alignment m_alignment = Qt::AlignHCenter;
    bool m_allowAllUp = false;
    TFlatButtonBevelStyle m_bevelStyle = TFlatButtonBevelStyle::bsRaised;
    QPixmap m_noFocusBitmap;
    QPixmap m_bitmap;
    QPixmap m_disabledBitmap;
    QPixmap m_shadedBitmap;
    QString m_caption;
    int m_groupIndex = 0;
    bool m_down = false;
    QPointer<QMenu> m_dropDownMenu;
    QPointer<QMenu> m_popupMenu;
    TFlatButtonLayout m_layout = TFlatButtonLayout::blBitmapTop;
    TFlatButtonOptions m_options = TFlatButtonOption::boMonoDisplay
        | TFlatButtonOption::boPopupMark | TFlatButtonOption::boShowBevel;
    TFlatButtonShadingType m_shadingType = TFlatButtonShadingType::stMedium;
    bool m_showDownPattern = true;
    QColor m_unselectedFontColor;  // invalid: follow the palette
    bool m_wordWrap = false;
    QString m_hint;
    bool m_showHint = true;

    bool m_hot = false;
    bool m_pressed = false;
    // Whether enter was last reported, so the synthetic reports made while the mouse is
    // grabbed and the toolkit's own enter/leave events never report twice.
    bool m_pointerInside = false;
    QKeySequence m_accelerator;

    TNotifyEvent m_onClick;
    TNotifyEvent m_onEnter;
    TNotifyEvent m_onExit;
    TMouseMoveEvent m_onMouseMove;
};

} // namespace veltry
