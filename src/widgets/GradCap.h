#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QWidget;

namespace veltry {

class TGradientCaption;
class TCaptionFrame;

// When the bar is shaded rather than filled with one colour.
enum class TGradEnabled { geAlways, geNever, geWhenActive, geSmart };

// Placement of the title in the bar. jAuto is left-aligned: our bars have the icon on the left.
enum class TJustification { jAuto, jLeft, jCenter, jRight };

// How a text part's font follows the system caption font.
enum class TFontKind { fkCustom, fkSystem, fkSystemI, fkSystemB, fkSystemBI, fkAutoHeight };

// One of the three separately styled words of the title. Setting Caption or Visible recomposes
// the window's title from all three.
class TCompanyText
{
public:
    explicit TCompanyText(TGradientCaption* owner);
    virtual ~TCompanyText();
    Q_DISABLE_COPY_MOVE(TCompanyText)

    virtual QString Caption() const { return m_caption; }
    virtual void setCaption(const QString& value);

    QColor ColorActive() const { return m_colorActive; }
    void setColorActive(const QColor& value);
    QColor ColorInactive() const { return m_colorInactive; }
    void setColorInactive(const QColor& value);

    // A copy is kept; with fkAutoHeight its height is then fitted to the caption font,
    // otherwise the kind becomes fkCustom.
    const QFont& Font() const { return m_font; }
    void setFont(const QFont& value);
    TFontKind FontKind() const { return m_fontKind; }
    void setFontKind(TFontKind value);

    bool Visible() const { return m_visible; }
    void setVisible(bool value);

protected:
    friend class TGradientCaption;
    // Makes Font follow the system caption font as FontKind says.
    void applyFontKind();

    TGradientCaption* m_owner;
    QString m_caption;
    QColor m_colorActive;
    QColor m_colorInactive;
    QFont m_font;
    TFontKind m_fontKind = TFontKind::fkSystem;
    bool m_visible = true;
};

class TAppNameText final : public TCompanyText
{
public:
    using TCompanyText::TCompanyText;
};

// The last part: its words are what the window's title holds after the company and
// application-name parts, so anyone setting the title sets them too.
class TCaptionText final : public TCompanyText
{
public:
    using TCompanyText::TCompanyText;

    QString Caption() const override;
    void setCaption(const QString& value) override;
};

// Draws a window's title bar itself: the bar shades from Color at the left into the caption
// colour at the right in NumColors bands, with the title in up to three styled parts and the
// window's frame buttons. It also composes the window's plain title from the same parts, so task
// bars and window lists show the same words.
//
// The window becomes frameless: the component paints a sizing frame and the title row around
// the window's contents, moves and resizes the window through the window system when the user
// drags them (by itself where the window system cannot), and repaints on activation changes.
class TGradientCaption final : public QObject
{
    Q_OBJECT

public:
    using TDrawCaptionEvent = std::function<void(TGradientCaption* Sender, QPainter& Canvas, QRect& R)>;

    enum class TFrameButton { Close, Maximize, Minimize, Help };
    // What lies under a point of the window, as the window system's frame would tell.
    enum class THitArea {
        Client, Caption, Border, Close, Maximize, Minimize, Help,
        Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight
    };

    // A part as the bar draws it: its words (cut with an ellipsis when they do not fit) and
    // where they go.
    struct TCaptionPiece
    {
        const TCompanyText* part = nullptr;
        QString text;
        QRect rect;
    };

    // Takes over the title bar of `window`'s top-level window, which owns the component.
    explicit TGradientCaption(QWidget* window);
    ~TGradientCaption() override;

    TAppNameText& AppNameText() { return *m_appName; }
    const TAppNameText& AppNameText() const { return *m_appName; }
    TCaptionText& CaptionText() { return *m_captionText; }
    const TCaptionText& CaptionText() const { return *m_captionText; }
    TCompanyText& CompanyText() { return *m_company; }
    const TCompanyText& CompanyText() const { return *m_company; }

    // Gradient start colour (left end).
    QColor Color() const { return m_color; }
    void setColor(const QColor& value);
    TGradEnabled Enabled() const { return m_enabled; }
    void setEnabled(TGradEnabled value);
    TJustification Justification() const { return m_justification; }
    void setJustification(TJustification value);
    // 1 to 256: a value of 0 or below is refused, one above 256 stores 256.
    int NumColors() const { return m_numColors; }
    void setNumColors(int value);

    // Called on every paint of the bar after the background, before the title: may draw on
    // the bar and change the rectangle the title goes in.
    void setOnDrawCaption(TDrawCaptionEvent handler) { m_onDrawCaption = std::move(handler); }

    QWidget* window() const { return m_window; }
    bool isActive() const { return m_active; }

    // The title-bar font of the desktop, and the caption colours of the palette.
    const QFont& systemCaptionFont() const { return m_systemFont; }
    static QColor activeCaptionColor();
    static QColor inactiveCaptionColor();
    static QColor captionTextColor();
    static QColor inactiveCaptionTextColor();
    // Whether the bar is shaded: geSmart shades an active bar on displays of 8 bits or more and
    // an inactive one only on deeper displays.
    static bool drawsGradient(TGradEnabled enabled, bool active, int depth);

    // The bar's geometry, in the window's coordinates.
    int frameWidth() const;
    int captionHeight() const;
    int buttonWidth() const;
    QList<TFrameButton> frameButtons() const;
    // Whether the window's own flags ask for the button (one of minimise and maximise alone is
    // drawn greyed beside the other).
    bool frameButtonEnabled(TFrameButton button) const;
    QRect buttonRect(TFrameButton button) const;
    QRect titleRect() const;
    // The title row minus the frame buttons: the shaded stretch.
    QRect gradientRect() const;
    // Where the title goes: the shaded stretch after the window icon.
    QRect textRect() const;
    QRect iconRect() const;
    THitArea hitTest(const QPoint& pos) const;

    // The parts that fit `textRect`, in drawing order: all three, else name and caption, else
    // the caption alone.
    QList<TCaptionPiece> layoutTitle(const QRect& textRect) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TCompanyText;
    friend class TCaptionText;
    friend class TCaptionFrame;

    enum class TBorder { None, Sizeable, Single, Dialog, ToolWindow, SizeToolWin };

    TBorder border() const;
    // The border the window's flags and size limits ask for, read once as the bar takes over.
    TBorder borderFromFlags() const;
    bool hasSystemMenu() const;
    bool isToolWindow() const;
    // The caption part read off the window's title: what follows the company and the
    // application-name parts.
    QString captionFromTitle() const;
    // Sets the window's title from the parts, `captionPart` standing for the caption part.
    void retitle(const QString& captionPart);
    void readSystemFont();
    void applyFrame();
    void restoreFrame();
    void updateMargins();
    void repaintBar();
    void paintFrame(QPainter& p, const QRect& region, int pressedButton);
    void paintTitle(QPainter& p, int pressedButton);
    void drawButton(QPainter& p, TFrameButton button, bool pressed) const;

    QPointer<QWidget> m_window;
    QPointer<TCaptionFrame> m_frame;
    std::unique_ptr<TCompanyText> m_company;
    std::unique_ptr<TAppNameText> m_appName;
    std::unique_ptr<TCaptionText> m_captionText;
    QColor m_color = Qt::black;
    TGradEnabled m_enabled = TGradEnabled::geSmart;
    TJustification m_justification = TJustification::jAuto;
    int m_numColors = 64;
    TDrawCaptionEvent m_onDrawCaption;
    QFont m_systemFont;
    bool m_active = false;
    Qt::WindowFlags m_originalFlags;
    TBorder m_border = TBorder::None;
    QMargins m_originalMargins;
};

} // namespace veltry
