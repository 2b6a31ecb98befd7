#include "widgets/FlatBtn.h"

#include "widgets/ReadableColors.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace veltry {

namespace {

constexpr int kGap = 2;        // between picture and caption
constexpr int kMarkSpace = 10; // room reserved for the drop-down mark
constexpr int kMargin = 3;

bool alignedLeft(Qt::Alignment a) { return a.testFlag(Qt::AlignLeft); }
bool alignedRight(Qt::Alignment a) { return a.testFlag(Qt::AlignRight); }

// The top-left pixel names the transparent colour of a picture; turning it into real alpha
// once lets every later draw be a plain blit.
QPixmap keyedTransparent(const QPixmap &source)
{
    if (source.isNull())
        return {};
    QImage img = source.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, 0);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (line[x] == key)
                line[x] = key & 0x00ffffffu;
        }
    }
    return QPixmap::fromImage(img);
}

// One colour where the picture has ink, clear elsewhere. Near-white ink counts as paper, so a
// white page with a dark outline embosses as its outline, as disabled pictures usually look.
QPixmap inkMask(const QPixmap &source, const QColor &color)
{
    QImage img = source.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, 0);
    const QRgb ink = color.rgb();
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = line[x];
            const bool isInk = px != key && qAlpha(px) >= 128
                && qRed(px) + qGreen(px) + qBlue(px) < 720;
            line[x] = isInk ? ink : 0u;
        }
    }
    return QPixmap::fromImage(img);
}

struct Thresholds
{
    int high;
    int middle;
    int low;
};

Thresholds thresholdsFor(TFlatButtonShadingType type)
{
    switch (type) {
    case TFlatButtonShadingType::stLight:
        return {205, 127, 68};
    case TFlatButtonShadingType::stDark:
        return {335, 274, 175};
    case TFlatButtonShadingType::stMedium:
        break;
    }
    return {553, 231, 57};
}

QPixmap shadedPicture(const QPixmap &source, TFlatButtonShadingType type, const QColor &highlight,
                      const QColor &shadow)
{
    if (source.isNull())
        return {};
    QImage img = source.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, 0);
    const Thresholds t = thresholdsFor(type);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = line[x];
            // Made transparent here from the source's key, because a shaded pixel may well
            // come out in the key colour and must not vanish.
            if (px == key) {
                line[x] = key & 0x00ffffffu;
                continue;
            }
            const int s = qRed(px) + qGreen(px) + qBlue(px);
            QRgb c = qRgb(0, 0, 0);
            if (s > t.high)
                c = qRgb(255, 255, 255);
            else if (s > t.middle)
                c = highlight.rgb();
            else if (s > t.low)
                c = shadow.rgb();
            line[x] = (c & 0x00ffffffu) | (QRgb(qAlpha(px)) << 24);
        }
    }
    return QPixmap::fromImage(img);
}

QBrush checkerBrush(const QColor &face, const QColor &highlight)
{
    QImage img(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, (x % 2) == (y % 2) ? highlight.rgb() : face.rgb());
    }
    return QBrush(QPixmap::fromImage(img));
}

// Qt's shortcut map takes turns among shortcuts that share a key, so a button's accelerator and
// a menu title's (Alt+F for "&Find Text" and "&File") would alternate from press to press.
// Instead, an enabled, visible button claims its accelerator before the map is asked: the
// ShortcutOverride that goes to the focus widget of the button's window is accepted here, the
// key press that follows is taken, and the button gets the shortcut event. While no button of
// the window can be clicked, the key is left to the map and whatever else answers to it.
class AcceleratorRouter final : public QObject
{
public:
    static void add(TFlatButton *button)
    {
        AcceleratorRouter *&router = instance();
        if (!router) {
            router = new AcceleratorRouter;
            qApp->installEventFilter(router);
        }
        router->m_buttons.push_back(button);
    }

    static void remove(TFlatButton *button)
    {
        AcceleratorRouter *&router = instance();
        if (!router)
            return;
        std::erase(router->m_buttons, button);
        if (router->m_buttons.empty()) {
            delete router;
            router = nullptr;
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !watched->isWidgetType())
            return false;
        auto *target = static_cast<QWidget *>(watched);
        auto *key = static_cast<QKeyEvent *>(event);
        if (type == QEvent::ShortcutOverride) {
            m_claimed = claimant(target, key);
            if (!m_claimed)
                return false;
            m_claimedKey = key->keyCombination();
            event->accept();
            return true;
        }
        QPointer<TFlatButton> button = m_claimed;
        m_claimed = nullptr;
        if (!button || key->keyCombination() != m_claimedKey || button->window() != target->window())
            return false;
        QShortcutEvent shortcut(button->accelerator(), 0);
        QCoreApplication::sendEvent(button, &shortcut);
        return true;
    }

private:
    ~AcceleratorRouter() override
    {
        if (qApp)
            qApp->removeEventFilter(this);
    }

    static AcceleratorRouter *&instance()
    {
        static AcceleratorRouter *router = nullptr;
        return router;
    }

    // The first button, in the order they were made, of the key's window whose accelerator is
    // the key and which can be clicked.
    TFlatButton *claimant(const QWidget *target, const QKeyEvent *key) const
    {
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (!(modifiers & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)))
            return nullptr;  // accelerators always come with a modifier; plain typing is left alone
        const QKeySequence pressed(QKeyCombination(modifiers, Qt::Key(key->key())));
        const QWidget *window = target->window();
        for (TFlatButton *b : m_buttons) {
            if (b->isEnabled() && b->isVisible() && b->window() == window && !b->accelerator().isEmpty()
                && b->accelerator() == pressed)
                return b;
        }
        return nullptr;
    }

    std::vector<TFlatButton *> m_buttons;
    QPointer<TFlatButton> m_claimed;
    QKeyCombination m_claimedKey;
};

} // namespace

TFlatButton::TFlatButton(QWidget *parent)
    : QWidget(parent)
{
    // Toolbar buttons never take the keyboard focus away from the window's content.
    setFocusPolicy(Qt::NoFocus);
    // Mouse-move reports feed the status bar's help texts even with no button held.
    setMouseTracking(true);
    resize(50, 40);
    applyHint();
    AcceleratorRouter::add(this);
}

TFlatButton::~TFlatButton()
{
    AcceleratorRouter::remove(this);
}

QSize TFlatButton::sizeHint() const
{
    return {50, 40};
}

void TFlatButton::setAlignment(Qt::Alignment value)
{
    value &= Qt::AlignHorizontal_Mask;
    if (value == m_alignment)
        return;
    m_alignment = value;
    update();
}

void TFlatButton::setAllowAllUp(bool value)
{
    m_allowAllUp = value;
    if (m_groupIndex == 0 || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TFlatButton *>(Qt::FindDirectChildrenOnly);
    for (TFlatButton *b : siblings) {
        if (b != this && b->m_groupIndex == m_groupIndex)
            b->m_allowAllUp = value;
    }
}

void TFlatButton::setBevelStyle(TFlatButtonBevelStyle value)
{
    if (value == m_bevelStyle)
        return;
    m_bevelStyle = value;
    update();
}

void TFlatButton::setNoFocusBitmap(const QPixmap &value)
{
    m_noFocusBitmap = value;
    update();
}

void TFlatButton::setBitmap(const QPixmap &value)
{
    m_bitmap = value;
    updateShadedBitmap();
    update();
}

void TFlatButton::setDisabledBitmap(const QPixmap &value)
{
    m_disabledBitmap = value;
    update();
}

void TFlatButton::setCaption(const QString &value)
{
    m_caption = value;
    updateAccelerator();
    if (m_options.testFlag(TFlatButtonOption::boIconOnly)) {
        m_hint = stripAccelerators(value);
        applyHint();
    }
    update();
}

void TFlatButton::setGroupIndex(int value)
{
    m_groupIndex = value;
    if (value == 0 && m_down) {
        m_down = false;
        update();
    }
}

void TFlatButton::setDown(bool value)
{
    if (value == m_down || m_groupIndex == 0)
        return;
    setDownInternal(value);
}

void TFlatButton::setDownInternal(bool value)
{
    m_down = value;
    update();
    if (value)
        releaseGroupSiblings();
}

void TFlatButton::releaseGroupSiblings()
{
    if (!parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TFlatButton *>(Qt::FindDirectChildrenOnly);
    for (TFlatButton *b : siblings) {
        if (b != this && b->m_groupIndex == m_groupIndex && b->m_down) {
            b->m_down = false;
            b->update();
        }
    }
}

QMenu *TFlatButton::dropDownMenu() const
{
    return m_dropDownMenu;
}

QMenu *TFlatButton::popupMenu() const
{
    return m_popupMenu;
}

void TFlatButton::setDropDownMenu(QMenu *value)
{
    if (value == m_dropDownMenu)
        return;
    m_dropDownMenu = value;
    if (m_options.testFlag(TFlatButtonOption::boPopupMark))
        update();
}

void TFlatButton::setPopupMenu(QMenu *value)
{
    m_popupMenu = value;
}

void TFlatButton::setButtonLayout(TFlatButtonLayout value)
{
    if (value == m_layout)
        return;
    m_layout = value;
    update();
}

void TFlatButton::setOptions(TFlatButtonOptions value)
{
    const bool wasIconOnly = m_options.testFlag(TFlatButtonOption::boIconOnly);
    m_options = value;
    const QString derived = stripAccelerators(m_caption);
    if (value.testFlag(TFlatButtonOption::boIconOnly)) {
        if (m_hint.isEmpty()) {
            m_hint = derived;
            m_showHint = true;
        }
    } else if (wasIconOnly && m_hint == derived) {
        // Only a hint that icon-only mode made is taken back; one the user set stays.
        m_hint.clear();
        m_showHint = false;
    }
    applyHint();
    update();
}

void TFlatButton::setShadingType(TFlatButtonShadingType value)
{
    m_shadingType = value;
    updateShadedBitmap();
    update();
}

void TFlatButton::setShowDownPattern(bool value)
{
    if (value == m_showDownPattern)
        return;
    m_showDownPattern = value;
    update();
}

QColor TFlatButton::unselectedFontColor() const
{
    return m_unselectedFontColor.isValid() ? m_unselectedFontColor
                                           : palette().color(QPalette::WindowText);
}

void TFlatButton::setUnselectedFontColor(const QColor &value)
{
    if (value == m_unselectedFontColor)
        return;
    m_unselectedFontColor = value;
    update();
}

void TFlatButton::setWordWrap(bool value)
{
    if (value == m_wordWrap)
        return;
    m_wordWrap = value;
    update();
}

void TFlatButton::setHint(const QString &value)
{
    m_hint = value;
    applyHint();
}

void TFlatButton::setShowHint(bool value)
{
    m_showHint = value;
    applyHint();
}

void TFlatButton::applyHint()
{
    setToolTip(m_showHint ? m_hint : QString());
}

QString TFlatButton::stripAccelerators(const QString &text)
{
    QString result = text;
    qsizetype i = 0;
    while (i < result.size()) {
        if (result.at(i) == QLatin1Char('&') && i < result.size() - 1)
            result.remove(i, 1);  // the next character is looked at again, so "&&" goes too
        else
            ++i;
    }
    return result;
}

void TFlatButton::updateShadedBitmap()
{
    // Regenerated on every picture change, even with a NoFocusBitmap present, so clearing
    // that picture later never leaves the button without one.
    m_shadedBitmap = shadedPicture(m_bitmap, m_shadingType, palette().color(QPalette::Light),
                                   palette().color(QPalette::Dark));
}

void TFlatButton::updateAccelerator()
{
    // Not grabbed from the shortcut map, which would take turns with a rival of the same key;
    // the accelerator router hands the key over.
    m_accelerator = QKeySequence::mnemonic(m_caption);
}

bool TFlatButton::hasMenuMark() const
{
    return m_options.testFlag(TFlatButtonOption::boPopupMark) && m_dropDownMenu;
}

bool TFlatButton::isOverButton(QPoint local) const
{
    // Strictly inside: the outermost pixel row and column do not count.
    return local.x() > 0 && local.x() < width() && local.y() > 0 && local.y() < height();
}

bool TFlatButton::pointerIsOver() const
{
    return isOverButton(mapFromGlobal(QCursor::pos()));
}

// ---- pointer tracking -------------------------------------------------------------------

void TFlatButton::pointerEntered()
{
    m_pointerInside = true;
    m_hot = true;
    if (isEnabled() && !m_down)
        update();
    QPointer<TFlatButton> self(this);
    if (m_onEnter)
        m_onEnter(this);
    if (self)
        Q_EMIT entered();
}

void TFlatButton::pointerLeft()
{
    m_pointerInside = false;
    m_hot = false;
    if (isEnabled() && !m_down)
        update();
    QPointer<TFlatButton> self(this);
    if (m_onExit)
        m_onExit(this);
    if (self)
        Q_EMIT exited();
}

void TFlatButton::enterEvent(QEnterEvent *e)
{
    QWidget::enterEvent(e);
    if (!m_pointerInside)
        pointerEntered();
}

void TFlatButton::leaveEvent(QEvent *e)
{
    QWidget::leaveEvent(e);
    if (m_pointerInside)
        pointerLeft();
}

void TFlatButton::mouseMoveEvent(QMouseEvent *e)
{
    // The toolkit withholds enter and leave while the mouse is grabbed by a press, so the
    // moves themselves report the pointer crossing the edge.
    const QPoint pos = e->position().toPoint();
    const bool inside = rect().contains(pos);
    if (inside && !m_pointerInside)
        pointerEntered();
    else if (!inside && m_pointerInside)
        pointerLeft();
    QPointer<TFlatButton> self(this);
    if (m_onMouseMove)
        m_onMouseMove(this, e->modifiers(), pos.x(), pos.y());
    if (self)
        Q_EMIT mouseMoved(e->modifiers(), pos);
}

// ---- press and release ------------------------------------------------------------------

void TFlatButton::press()
{
    QWidget *win = window();
    if (win && !win->isActiveWindow()) {
        win->raise();
        win->activateWindow();
    }
    if (!isEnabled() || !isVisible())
        return;
    m_pressed = true;
    m_hot = true;
    repaint();
    if (!m_dropDownMenu)
        return;
    QPointer<TFlatButton> self(this);
    m_dropDownMenu->exec(mapToGlobal(QPoint(0, height())));
    if (self)
        finishPopup();
}

void TFlatButton::finishPopup()
{
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
    m_hot = pointerIsOver();
    m_pointerInside = rect().contains(mapFromGlobal(QCursor::pos()));
    m_pressed = false;
    update();
}

void TFlatButton::release(QPoint local)
{
    if (!isEnabled() || !isVisible() || !m_pressed)
        return;
    m_pressed = false;
    if (m_hot && m_groupIndex != 0) {
        if (!m_down)
            setDownInternal(true);
        else if (m_allowAllUp)
            setDownInternal(false);
    }
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
    if (!m_hot) {
        update();
        return;
    }
    m_hot = isOverButton(local);
    repaint();
    if (m_dropDownMenu)
        return;
    QPointer<TFlatButton> self(this);
    if (m_onClick)
        m_onClick(this);
    if (self)
        Q_EMIT clicked();
}

void TFlatButton::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    e->accept();
    // A press proves the pointer is here even if the toolkit's enter went missing.
    if (!m_pointerInside && rect().contains(e->position().toPoint()))
        pointerEntered();
    press();
}

void TFlatButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    e->accept();
    release(e->position().toPoint());
}

void TFlatButton::contextMenuEvent(QContextMenuEvent *e)
{
    if (m_popupMenu) {
        QPointer<TFlatButton> self(this);
        m_popupMenu->exec(e->globalPos());
        if (self)
            finishPopup();
        return;
    }
    // The parent shows its own menu after this returns; tidy up once it has closed.
    e->ignore();
    QTimer::singleShot(0, this, [this] { finishPopup(); });
}

void TFlatButton::click()
{
    if (!isEnabled() || !isVisible())
        return;
    QPointer<TFlatButton> self(this);
    m_hot = true;
    m_pressed = false;
    repaint();
    // Let the hot look reach the screen before the press changes it again.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!self)
        return;
    press();
    if (!self)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!self)
        return;
    release(mapFromGlobal(QCursor::pos()));
    if (!self)
        return;
    if (!pointerIsOver())
        m_hot = false;
    update();
}

bool TFlatButton::event(QEvent *e)
{
    if (e->type() == QEvent::Shortcut) {
        auto *se = static_cast<QShortcutEvent *>(e);
        if (!m_accelerator.isEmpty() && se->key() == m_accelerator) {
            if (isEnabled() && isVisible())
                click();
            return true;
        }
    }
    // A button that takes the focus (a Tab stop) shows it and is pressed with Space or Enter.
    switch (e->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (hasFocus() && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)
            && static_cast<QKeyEvent *>(e)->modifiers() == Qt::NoModifier) {
            click();
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        update();
        break;
    case QEvent::Paint:
        if (hasFocus()) {
            const bool done = QWidget::event(e);
            // The style's own ring is too faint on the face colour (1.7:1); a ring must reach 3:1.
            QPainter p(this);
            const QColor face = palette().color(QPalette::Button);
            QColor ring = palette().color(QPalette::Highlight);
            if (contrastRatio(ring, face) < 3.0)
                ring = palette().color(QPalette::ButtonText);
            p.setPen(QPen(ring, 1));
            p.drawRect(rect().adjusted(2, 2, -3, -3));
            return done;
        }
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void TFlatButton::changeEvent(QEvent *e)
{
    switch (e->type()) {
    case QEvent::EnabledChange:
        if (m_groupIndex == 0)
            m_down = false;
        m_hot = false;
        m_pressed = false;
        update();
        break;
    case QEvent::PaletteChange:
        updateShadedBitmap();
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(e);
}

void TFlatButton::hideEvent(QHideEvent *e)
{
    m_pressed = false;
    m_hot = false;
    m_pointerInside = false;
    QWidget::hideEvent(e);
}

// ---- painting ---------------------------------------------------------------------------

QSize TFlatButton::pictureSize() const
{
    // A picture made for a high-resolution screen has more pixels than the room it takes.
    return m_bitmap.deviceIndependentSize().toSize();
}

TFlatButton::Placement TFlatButton::computePlacement() const
{
    Placement pl;
    const int W = width();
    const int H = height();
    pl.hasMark = hasMenuMark();
    pl.hasCaption = !m_options.testFlag(TFlatButtonOption::boIconOnly) && !m_caption.isEmpty();

    const bool hasPicture = !m_bitmap.isNull();
    const bool sideBySide = hasPicture
        && (m_layout == TFlatButtonLayout::blBitmapLeft
            || m_layout == TFlatButtonLayout::blBitmapRight);
    const QSize picture = pictureSize();
    const int pw = picture.width() + (pl.hasMark && hasPicture ? kMarkSpace : 0);
    const int ph = picture.height();
    int tw = 0;
    int th = 0;
    int G = 0;
    if (pl.hasCaption) {
        G = kGap;
        // Wrapped text is measured at the width it will really get (3 pixels in from the
        // left, ending 5 before the right edge), so no line is cut off when drawn.
        int wrapWidth = W - 8;
        if (sideBySide)
            wrapWidth = W - 8 - pw - G;
        else if (!hasPicture && pl.hasMark)
            wrapWidth = W - 14;
        const QFontMetrics fm(font());
        const int flags = Qt::TextShowMnemonic | (m_wordWrap ? Qt::TextWordWrap : 0);
        const int limit = m_wordWrap ? std::max(0, wrapWidth) : 0x7fff;
        const QRect r = fm.boundingRect(QRect(0, 0, limit, 0x7fff), flags, m_caption);
        tw = std::min(r.width(), std::max(0, W - 4));
        th = r.height();
    }

    const bool left = alignedLeft(m_alignment);
    const bool right = alignedRight(m_alignment);
    int px = 0;
    int py = 0;
    int cx = 0;
    int cy = 0;

    if (!hasPicture) {
        cy = (H - th) / 2;
        int span = tw;
        if (pl.hasMark) {
            tw = std::min(tw, std::max(0, W - 14));
            span = tw + kMarkSpace;
        }
        cx = left ? kMargin : right ? W - span - kMargin : (W - span) / 2;
    } else if (m_layout == TFlatButtonLayout::blBitmapTop
               || m_layout == TFlatButtonLayout::blBitmapBottom) {
        const int g = (H - th - ph - G) / 2;
        if (m_layout == TFlatButtonLayout::blBitmapTop) {
            py = g;
            cy = g + ph + G;
        } else {
            cy = g;
            py = g + th + G;
        }
        if (left) {
            px = cx = kMargin;
        } else if (right) {
            px = W - pw - kMargin;
            cx = W - tw - kMargin;
        } else {
            px = (W - pw) / 2;
            cx = (W - tw) / 2;
        }
    } else {
        tw = std::min(tw, std::max(0, W - 4 - pw - G));
        py = (H - ph) / 2;
        cy = (H - th) / 2;
        if (m_layout == TFlatButtonLayout::blBitmapLeft) {
            if (left) {
                px = kMargin;
                cx = pw + G + kMargin;
            } else if (right) {
                cx = W - tw - kMargin;
                px = cx - pw - G;
            } else {
                px = (W - tw - pw - G) / 2;
                cx = px + pw + G;
            }
        } else {
            if (left) {
                cx = kMargin;
                px = tw + kMargin + G;
            } else if (right) {
                px = W - pw - kMargin;
                cx = W - pw - tw - G - kMargin;
            } else {
                cx = (W - tw - pw - G) / 2;
                px = tw + cx + G;
            }
        }
    }

    pl.picture = QPoint(px, py);
    pl.captionWidth = tw;
    pl.captionHeight = th;
    int boxWidth = tw;
    if (m_wordWrap)
        boxWidth = std::max(0, std::min(boxWidth, W - 5 - cx));
    pl.captionBox = QRect(cx, cy, boxWidth, th);
    return pl;
}

void TFlatButton::drawBevel(QPainter &p, bool raised) const
{
    if (!m_options.testFlag(TFlatButtonOption::boShowBevel))
        return;
    const bool lightFirst = raised == (m_bevelStyle == TFlatButtonBevelStyle::bsRaised);
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor first = lightFirst ? light : shadow;
    const QColor second = lightFirst ? shadow : light;
    const int W = width();
    const int H = height();
    // Left column and top row, then right column and bottom row, as one-pixel lines.
    p.fillRect(QRect(0, 0, 1, H), first);
    p.fillRect(QRect(0, 0, W - 1, 1), first);
    p.fillRect(QRect(W - 1, 0, 1, H), second);
    p.fillRect(QRect(1, H - 1, W - 1, 1), second);
}

void TFlatButton::drawCaption(QPainter &p, const Placement &pl, QPoint shift,
                              const QColor &color) const
{
    if (!pl.hasCaption || pl.captionBox.width() <= 0)
        return;
    const QRect box = pl.captionBox.translated(shift);
    int flags = int(m_alignment) | Qt::AlignTop | Qt::TextShowMnemonic;
    QString text = m_caption;
    if (m_wordWrap) {
        flags |= Qt::TextWordWrap;
    } else {
        flags |= Qt::TextSingleLine;
        const QFontMetrics fm(font());
        text = fm.elidedText(m_caption, Qt::ElideRight, box.width(), Qt::TextShowMnemonic);
    }
    p.setPen(color);
    p.setBrush(Qt::NoBrush);
    p.drawText(box, flags, text);
}

void TFlatButton::drawMark(QPainter &p, QPoint at, const QColor &color) const
{
    // A small downward triangle: rows of 7, 5, 3 and 1 pixels.
    for (int row = 0; row < 4; ++row)
        p.fillRect(QRect(at.x() + row, at.y() - 1 + row, 7 - 2 * row, 1), color);
}

void TFlatButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor light = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor fontColor = pal.color(QPalette::ButtonText);

    if (m_down && m_showDownPattern)
        p.fillRect(rect(), checkerBrush(face, light));
    else
        p.fillRect(rect(), face);

    const Placement pl = computePlacement();
    const bool hasPicture = !m_bitmap.isNull();
    const bool raisedStyle = m_bevelStyle == TFlatButtonBevelStyle::bsRaised;
    const QPoint pic = pl.picture;
    const QSize picture = pictureSize();
    auto markAt = [&](int extra) {
        if (hasPicture)
            return QPoint(picture.width() + pic.x() + extra, picture.height() / 2 + pic.y() + extra - 3);
        const QRect &box = pl.captionBox;
        return QPoint(box.x() + pl.captionWidth + extra,
                      pl.captionHeight / 2 + box.y() + extra - 3);
    };

    if (!isEnabled()) {
        if (m_down)
            drawBevel(p, false);
        if (!m_disabledBitmap.isNull()) {
            p.drawPixmap(pic, keyedTransparent(m_disabledBitmap));
        } else if (hasPicture) {
            p.drawPixmap(pic + QPoint(1, 1), inkMask(m_bitmap, light));
            p.drawPixmap(pic, inkMask(m_bitmap, shadow));
        }
        drawCaption(p, pl, QPoint(1, 1), light);
        drawCaption(p, pl, QPoint(0, 0), shadow);
        if (pl.hasMark)
            drawMark(p, markAt(3), shadow);
        return;
    }

    if ((m_pressed && m_hot) || m_down) {
        drawBevel(p, false);
        drawCaption(p, pl, raisedStyle ? QPoint(1, 1) : QPoint(0, 0), fontColor);
        if (hasPicture)
            p.drawPixmap(pic + QPoint(1, 1), keyedTransparent(m_bitmap));
        if (pl.hasMark)
            drawMark(p, markAt(4), fontColor);
        return;
    }

    if (m_hot)
        drawBevel(p, true);
    const QColor captionColor = m_hot ? fontColor : unselectedFontColor();
    drawCaption(p, pl, raisedStyle ? QPoint(0, 0) : QPoint(1, 1), captionColor);
    if (hasPicture) {
        if (!m_hot && m_options.testFlag(TFlatButtonOption::boMonoDisplay))
            p.drawPixmap(pic, m_noFocusBitmap.isNull() ? m_shadedBitmap
                                                       : keyedTransparent(m_noFocusBitmap));
        else
            p.drawPixmap(pic, keyedTransparent(m_bitmap));
    }
    if (pl.hasMark)
        drawMark(p, markAt(3), captionColor);
}

} // namespace veltry
