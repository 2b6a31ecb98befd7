#include "widgets/GradCap.h"

#include "widgets/GradCapFrame.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QtWidgets/qdrawutil.h>

#include <algorithm>

namespace veltry {

namespace {

constexpr int kSmallIcon = 16;
constexpr int kTextGap = 3;  // before each part, and counted into each part's measured width

// The font's internal leading: the room above the letters that belongs to the line, not the em.
int internalLeading(const QFont& font)
{
    const QFontMetrics m(font);
    return std::max(0, m.ascent() + m.descent() - QFontInfo(font).pixelSize());
}

// `own` resized so its letters sit like the caption font's: the same ascent above the internal
// leading, and at least the same descent.
QFont autoHeightFont(const QFont& own, const QFont& caption)
{
    const QFontMetrics cap(caption);
    const QFontMetrics mine(own);
    int height = QFontInfo(own).pixelSize();
    height += (cap.ascent() - internalLeading(caption)) - (mine.ascent() - internalLeading(own));
    QFont result = own;
    result.setPixelSize(std::max(1, height));
    const int descent = QFontMetrics(result).descent();
    if (descent < cap.descent()) {
        height += cap.descent() - descent;
        result.setPixelSize(std::max(1, height));
    }
    return result;
}

} // namespace

// --- the text parts ---------------------------------------------------------------------------

TCompanyText::TCompanyText(TGradientCaption* owner)
    : m_owner(owner),
      m_colorActive(TGradientCaption::captionTextColor()),
      m_colorInactive(TGradientCaption::inactiveCaptionTextColor()),
      m_font(owner->systemCaptionFont())
{
}

TCompanyText::~TCompanyText() = default;

void TCompanyText::setCaption(const QString& value)
{
    if (value == m_caption)
        return;
    // Read with the old words: they are what the title holds now.
    const QString captionPart = m_owner->CaptionText().Caption();
    m_caption = value;
    m_owner->retitle(captionPart);
}

void TCompanyText::setVisible(bool value)
{
    if (value == m_visible)
        return;
    const QString captionPart = m_owner->CaptionText().Caption();
    m_visible = value;
    m_owner->retitle(captionPart);
}

void TCompanyText::setColorActive(const QColor& value)
{
    if (value == m_colorActive)
        return;
    m_colorActive = value;
    m_owner->repaintBar();
}

void TCompanyText::setColorInactive(const QColor& value)
{
    if (value == m_colorInactive)
        return;
    m_colorInactive = value;
    m_owner->repaintBar();
}

void TCompanyText::setFont(const QFont& value)
{
    m_font = value;
    if (m_fontKind == TFontKind::fkAutoHeight)
        applyFontKind();
    else
        m_fontKind = TFontKind::fkCustom;
    m_owner->repaintBar();
}

void TCompanyText::setFontKind(TFontKind value)
{
    m_fontKind = value;
    applyFontKind();
    m_owner->repaintBar();
}

void TCompanyText::applyFontKind()
{
    const QFont& system = m_owner->systemCaptionFont();
    switch (m_fontKind) {
    case TFontKind::fkCustom:
        break;
    case TFontKind::fkSystem:
    case TFontKind::fkSystemI:
    case TFontKind::fkSystemB:
    case TFontKind::fkSystemBI:
        m_font = system;
        if (m_fontKind == TFontKind::fkSystemI || m_fontKind == TFontKind::fkSystemBI)
            m_font.setItalic(true);
        if (m_fontKind == TFontKind::fkSystemB || m_fontKind == TFontKind::fkSystemBI)
            m_font.setBold(true);
        break;
    case TFontKind::fkAutoHeight:
        m_font = autoHeightFont(m_font, system);
        break;
    }
}

QString TCaptionText::Caption() const
{
    // While hidden the title does not hold the words, so the ones it last held are kept.
    return m_visible ? m_owner->captionFromTitle() : m_caption;
}

void TCaptionText::setCaption(const QString& value)
{
    if (value == Caption())
        return;
    m_owner->retitle(value);
}

// --- the component ----------------------------------------------------------------------------

TGradientCaption::TGradientCaption(QWidget* window) : QObject(window), m_window(window->window())
{
    setObjectName(QStringLiteral("GradCaption"));
    readSystemFont();
    m_company = std::make_unique<TCompanyText>(this);
    m_appName = std::make_unique<TAppNameText>(this);
    m_captionText = std::make_unique<TCaptionText>(this);
    m_active = m_window->isActiveWindow();
    applyFrame();
    m_window->installEventFilter(this);
}

TGradientCaption::~TGradientCaption()
{
    // A window deleting its children has already cleared our place among them: it is going,
    // and its frame and title go with it.
    const bool windowGoing = !m_window || (parent() && !parent()->children().contains(this));
    if (windowGoing) {
        if (m_frame)
            m_frame->detach();
        return;
    }
    const QString caption = m_captionText->Caption();
    m_window->removeEventFilter(this);
    restoreFrame();
    m_window->setWindowTitle(caption);
}

void TGradientCaption::readSystemFont()
{
    // Face, pixel height, italic and bold are what a caption font is made of; a copy of the
    // theme's font itself would not draw at its measured size on an off-screen picture.
    const QFont theme = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    m_systemFont = QFont(theme.family());
    m_systemFont.setPixelSize(std::max(1, QFontInfo(theme).pixelSize()));
    m_systemFont.setItalic(theme.italic());
    m_systemFont.setBold(theme.weight() > QFont::Medium);
}

QColor TGradientCaption::activeCaptionColor()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

QColor TGradientCaption::inactiveCaptionColor()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Shadow);
}

QColor TGradientCaption::captionTextColor()
{
    return QApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
}

QColor TGradientCaption::inactiveCaptionTextColor()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Midlight);
}

bool TGradientCaption::drawsGradient(TGradEnabled enabled, bool active, int depth)
{
    switch (enabled) {
    case TGradEnabled::geAlways:
        return true;
    case TGradEnabled::geNever:
        return false;
    case TGradEnabled::geWhenActive:
        return active;
    case TGradEnabled::geSmart:
        break;
    }
    return active ? depth >= 8 : depth > 8;
}

void TGradientCaption::setColor(const QColor& value)
{
    if (value == m_color)
        return;
    m_color = value;
    repaintBar();
}

void TGradientCaption::setEnabled(TGradEnabled value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    repaintBar();
}

void TGradientCaption::setJustification(TJustification value)
{
    if (value == m_justification)
        return;
    m_justification = value;
    repaintBar();
}

void TGradientCaption::setNumColors(int value)
{
    if (value <= 0)
        return;
    value = std::min(value, 256);
    if (value == m_numColors)
        return;
    m_numColors = value;
    repaintBar();
}

// --- title ------------------------------------------------------------------------------------

QString TGradientCaption::captionFromTitle() const
{
    if (!m_window)
        return {};
    QString title = m_window->windowTitle();
    for (const TCompanyText* part : {static_cast<const TCompanyText*>(m_company.get()),
                                     static_cast<const TCompanyText*>(m_appName.get())}) {
        if (!part->m_visible)
            continue;
        const qsizetype at = title.indexOf(part->m_caption);
        if (at < 0)
            continue;
        title.remove(0, at + part->m_caption.size());
        if (title.startsWith(QLatin1Char(' ')))
            title.remove(0, 1);
    }
    return title;
}

void TGradientCaption::retitle(const QString& captionPart)
{
    m_captionText->m_caption = captionPart;
    const TCompanyText& company = *m_company;
    const TCompanyText& name = *m_appName;
    const bool captionShown = m_captionText->m_visible;
    QString title;
    if (company.m_visible)
        title += company.m_caption;
    if (company.m_visible && !company.m_caption.isEmpty() && (name.m_visible || captionShown))
        title += QLatin1Char(' ');
    if (name.m_visible)
        title += name.m_caption;
    if (name.m_visible && !name.m_caption.isEmpty() && captionShown)
        title += QLatin1Char(' ');
    if (captionShown)
        title += captionPart;
    if (!m_window)
        return;
    // One repaint for the new title, not one per step.
    const bool updates = m_window->updatesEnabled();
    m_window->setUpdatesEnabled(false);
    m_window->setWindowTitle(title);
    m_window->setUpdatesEnabled(updates);
    repaintBar();
}

// --- frame ------------------------------------------------------------------------------------

TGradientCaption::TBorder TGradientCaption::border() const
{
    return m_border;
}

TGradientCaption::TBorder TGradientCaption::borderFromFlags() const
{
    const Qt::WindowFlags f = m_originalFlags;
    if (f.testFlag(Qt::FramelessWindowHint) || !m_window)
        return TBorder::None;
    const bool fixed = f.testFlag(Qt::MSWindowsFixedSizeDialogHint)
        || m_window->minimumSize() == m_window->maximumSize();
    const Qt::WindowType type = Qt::WindowType(int(f & Qt::WindowType_Mask));
    if (type == Qt::Tool)
        return fixed ? TBorder::ToolWindow : TBorder::SizeToolWin;
    if (fixed)
        return type == Qt::Dialog || type == Qt::Sheet ? TBorder::Dialog : TBorder::Single;
    return TBorder::Sizeable;
}

bool TGradientCaption::hasSystemMenu() const
{
    return m_originalFlags.testFlag(Qt::WindowSystemMenuHint);
}

bool TGradientCaption::isToolWindow() const
{
    const TBorder b = border();
    return b == TBorder::ToolWindow || b == TBorder::SizeToolWin;
}

void TGradientCaption::applyFrame()
{
    m_originalFlags = m_window->windowFlags();
    m_originalMargins = m_window->contentsMargins();
    m_border = borderFromFlags();
    if (border() == TBorder::None)
        return;
    const bool shown = m_window->isVisible();
    m_window->setWindowFlags(m_originalFlags | Qt::FramelessWindowHint);
    m_frame = new TCaptionFrame(this, m_window);
    m_frame->setGeometry(m_window->rect());
    m_frame->lower();
    m_frame->show();
    updateMargins();
    if (shown)
        m_window->show();
}

void TGradientCaption::restoreFrame()
{
    if (!m_frame)
        return;
    delete m_frame.data();
    m_window->setContentsMargins(m_originalMargins);
    const bool shown = m_window->isVisible();
    m_window->setWindowFlags(m_originalFlags);
    if (shown)
        m_window->show();
}

void TGradientCaption::updateMargins()
{
    if (!m_frame)
        return;
    const int f = frameWidth();
    m_window->setContentsMargins(m_originalMargins + QMargins(f, f + captionHeight(), f, f));
}

void TGradientCaption::repaintBar()
{
    if (m_frame)
        m_frame->update(titleRect());
}

int TGradientCaption::frameWidth() const
{
    switch (border()) {
    case TBorder::None:
        return 0;
    case TBorder::Sizeable:
    case TBorder::SizeToolWin:
        return 4;
    default:
        return 3;
    }
}

int TGradientCaption::captionHeight() const
{
    if (border() == TBorder::None)
        return 0;
    const int text = QFontMetrics(m_systemFont).height();
    return isToolWindow() ? std::max(15, text + 2) : std::max(18, text + 4);
}

int TGradientCaption::buttonWidth() const
{
    return captionHeight();
}

QList<TGradientCaption::TFrameButton> TGradientCaption::frameButtons() const
{
    const TBorder b = border();
    if (!hasSystemMenu() || b == TBorder::None)
        return {};
    QList<TFrameButton> buttons{TFrameButton::Close};
    if (isToolWindow())
        return buttons;
    const Qt::WindowFlags f = m_originalFlags;
    const bool help = f.testFlag(Qt::WindowContextHelpButtonHint);
    const bool minimize = f.testFlag(Qt::WindowMinimizeButtonHint);
    const bool maximize = f.testFlag(Qt::WindowMaximizeButtonHint);
    if (b == TBorder::Dialog) {
        if (help)
            buttons << TFrameButton::Help;
    } else if (minimize || maximize) {
        buttons << TFrameButton::Maximize << TFrameButton::Minimize;
    } else if (help) {
        buttons << TFrameButton::Help;
    }
    return buttons;
}

bool TGradientCaption::frameButtonEnabled(TFrameButton button) const
{
    switch (button) {
    case TFrameButton::Maximize:
        return m_originalFlags.testFlag(Qt::WindowMaximizeButtonHint);
    case TFrameButton::Minimize:
        return m_originalFlags.testFlag(Qt::WindowMinimizeButtonHint);
    default:
        return frameButtons().contains(button);
    }
}

QRect TGradientCaption::titleRect() const
{
    if (!m_window || border() == TBorder::None)
        return {};
    const int f = frameWidth();
    return QRect(f, f, std::max(0, m_window->width() - 2 * f), captionHeight());
}

QRect TGradientCaption::buttonRect(TFrameButton button) const
{
    const QRect title = titleRect();
    const int bw = buttonWidth();
    int right = title.right() + 1 - 2;
    for (TFrameButton b : frameButtons()) {
        const QRect r(right - (bw - 2), title.top() + 2, bw - 2, title.height() - 4);
        if (b == button)
            return r;
        right = r.left() - (b == TFrameButton::Close ? 2 : 0);
    }
    return {};
}

QRect TGradientCaption::gradientRect() const
{
    QRect r = titleRect();
    if (r.isNull())
        return r;
    const int bw = buttonWidth();
    int taken = 0;
    for (TFrameButton b : frameButtons())
        taken += b == TFrameButton::Close || b == TFrameButton::Help ? bw + 2 : bw;
    r.setRight(r.right() - taken);
    if (r.width() < 2)
        r.setWidth(2);
    return r;
}

QRect TGradientCaption::iconRect() const
{
    const TBorder b = border();
    if (!hasSystemMenu() || (b != TBorder::Single && b != TBorder::Sizeable))
        return {};
    const QRect title = titleRect();
    const int side = std::min(kSmallIcon, title.height() - 2);
    return QRect(title.left() + 2, title.top() + 1, side, side);
}

QRect TGradientCaption::textRect() const
{
    QRect r = gradientRect();
    const QRect icon = iconRect();
    if (!icon.isNull())
        r.setLeft(icon.right() + 1);
    if (r.width() < 2)
        r.setWidth(2);
    return r;
}

TGradientCaption::THitArea TGradientCaption::hitTest(const QPoint& pos) const
{
    if (!m_window || border() == TBorder::None)
        return THitArea::Client;
    const QRect all = m_window->rect();
    if (!all.contains(pos))
        return THitArea::Client;
    for (TFrameButton b : frameButtons()) {
        if (buttonRect(b).contains(pos)) {
            switch (b) {
            case TFrameButton::Close: return THitArea::Close;
            case TFrameButton::Maximize: return THitArea::Maximize;
            case TFrameButton::Minimize: return THitArea::Minimize;
            case TFrameButton::Help: return THitArea::Help;
            }
        }
    }
    if (titleRect().contains(pos))
        return THitArea::Caption;
    const int f = frameWidth();
    if (all.adjusted(f, f, -f, -f).contains(pos))
        return THitArea::Client;
    const TBorder b = border();
    const bool sizeable = (b == TBorder::Sizeable || b == TBorder::SizeToolWin)
        && !m_window->isMaximized() && !m_window->isFullScreen();
    if (!sizeable)
        return THitArea::Border;
    // The corners reach a little way along both edges, so they are easy to catch.
    const int corner = f + captionHeight();
    const bool left = pos.x() < f, right = pos.x() > all.right() - f;
    const bool top = pos.y() < f, bottom = pos.y() > all.bottom() - f;
    const bool nearLeft = pos.x() < corner, nearRight = pos.x() > all.right() - corner;
    const bool nearTop = pos.y() < corner, nearBottom = pos.y() > all.bottom() - corner;
    if ((top && nearLeft) || (left && nearTop))
        return THitArea::TopLeft;
    if ((top && nearRight) || (right && nearTop))
        return THitArea::TopRight;
    if ((bottom && nearLeft) || (left && nearBottom))
        return THitArea::BottomLeft;
    if ((bottom && nearRight) || (right && nearBottom))
        return THitArea::BottomRight;
    if (left)
        return THitArea::Left;
    if (right)
        return THitArea::Right;
    return top ? THitArea::Top : THitArea::Bottom;
}

QList<TGradientCaption::TCaptionPiece> TGradientCaption::layoutTitle(const QRect& textRect) const
{
    const TCompanyText* parts[3] = {m_company.get(), m_appName.get(), m_captionText.get()};
    QString words[3];
    int widths[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        words[k] = parts[k]->Caption();
        // Every visible part counts, one without words its gap alone, though it is not drawn.
        if (parts[k]->m_visible)
            widths[k] = QFontMetrics(parts[k]->m_font, m_window).horizontalAdvance(words[k]) + kTextGap;
    }
    int first = 2;
    if (widths[0] + widths[1] + widths[2] <= textRect.width())
        first = 0;
    else if (widths[1] + widths[2] <= textRect.width())
        first = 1;
    int used = 0;
    for (int k = first; k < 3; ++k)
        used += widths[k];

    int x = textRect.left();
    const int spare = textRect.width() - used;
    if (spare > 0) {
        if (m_justification == TJustification::jCenter)
            x += spare / 2;
        else if (m_justification == TJustification::jRight)
            x += spare;
    }

    QList<TCaptionPiece> pieces;
    for (int k = first; k < 3; ++k) {
        if (!parts[k]->m_visible || (k < 2 && words[k].isEmpty()))
            continue;
        x += kTextGap;
        const int room = std::max(0, textRect.right() + 1 - x);
        const QFontMetrics m(parts[k]->m_font, m_window);
        TCaptionPiece piece;
        piece.part = parts[k];
        piece.text = m.elidedText(words[k], Qt::ElideRight, room);
        piece.rect = QRect(x, textRect.top(), room, textRect.height());
        pieces << piece;
        x += m.horizontalAdvance(piece.text);
    }
    return pieces;
}

// --- painting ---------------------------------------------------------------------------------

void TGradientCaption::paintFrame(QPainter& p, const QRect& region, int pressedButton)
{
    if (!m_window || border() == TBorder::None)
        return;
    const QRect all = m_window->rect();
    const int f = frameWidth();
    const QPalette& pal = m_window->palette();
    const QRegion ring = QRegion(all) - QRegion(all.adjusted(f, f, -f, -f));
    if (ring.intersects(region)) {
        p.save();
        p.setClipRegion(ring);
        p.fillRect(all, pal.button());
        qDrawWinPanel(&p, all, pal, false, nullptr);
        p.restore();
    }
    if (region.intersects(titleRect()))
        paintTitle(p, pressedButton);
}

void TGradientCaption::paintTitle(QPainter& p, int pressedButton)
{
    const QRect title = titleRect();
    if (title.isEmpty())
        return;
    // Drawn whole off screen and copied in one step, so the bar never flickers part-drawn.
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    QImage picture(title.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return;
    picture.setDevicePixelRatio(dpr);
    // Fonts sized in points come out as on the window only at the window's resolution.
    picture.setDotsPerMeterX(qRound(m_window->logicalDpiX() / 0.0254));
    picture.setDotsPerMeterY(qRound(m_window->logicalDpiY() / 0.0254));
    {
        QPainter q(&picture);
        q.translate(-title.topLeft());
        const QColor base = m_active ? activeCaptionColor() : inactiveCaptionColor();
        q.fillRect(title, base);

        const QRect bands = gradientRect();
        const QScreen* screen = m_window->screen();
        if (drawsGradient(m_enabled, m_active, screen ? screen->depth() : 24)) {
            const int n = m_numColors;
            const int w = bands.width();
            for (int i = 0; i < n; ++i) {
                // Edges rounded to the nearest pixel; with few pixels a band can be empty.
                const int x0 = (2 * w * i + n) / (2 * n);
                const int x1 = (2 * w * (i + 1) + n) / (2 * n);
                if (x1 <= x0)
                    continue;
                const double t = n > 1 ? double(i) / (n - 1) : 0.0;
                const QColor c(qRound(m_color.red() + (base.red() - m_color.red()) * t),
                               qRound(m_color.green() + (base.green() - m_color.green()) * t),
                               qRound(m_color.blue() + (base.blue() - m_color.blue()) * t));
                q.fillRect(QRect(bands.left() + x0, bands.top(), x1 - x0, bands.height()), c);
            }
        } else {
            q.fillRect(bands, base);
        }

        const QRect icon = iconRect();
        if (!icon.isNull()) {
            QIcon picture16 = m_window->windowIcon();
            if (picture16.isNull())
                picture16 = QApplication::style()->standardIcon(QStyle::SP_TitleBarMenuButton);
            picture16.paint(&q, icon);
        }
        for (TFrameButton b : frameButtons())
            drawButton(q, b, pressedButton == int(b));

        QRect r = textRect();
        q.setFont(m_systemFont);
        if (m_onDrawCaption)
            m_onDrawCaption(this, q, r);
        q.setBackgroundMode(Qt::TransparentMode);
        for (const TCaptionPiece& piece : layoutTitle(r)) {
            q.setFont(piece.part->m_font);
            q.setPen(m_active ? piece.part->m_colorActive : piece.part->m_colorInactive);
            q.drawText(piece.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, piece.text);
        }
    }
    p.drawImage(title.topLeft(), picture);
}

void TGradientCaption::drawButton(QPainter& p, TFrameButton button, bool pressed) const
{
    const QRect r = buttonRect(button);
    if (r.isEmpty())
        return;
    const QPalette& pal = m_window->palette();
    qDrawWinButton(&p, r, pal, pressed, &pal.button());
    const bool enabled = frameButtonEnabled(button);
    // The glyph sits in the middle of the face and moves with it when pressed.
    const QPoint shift = pressed ? QPoint(1, 1) : QPoint();
    const QPoint c = r.center() + shift;
    auto glyph = [&](const QColor& color, QPoint at) {
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        switch (button) {
        case TFrameButton::Close:
            for (int i = 0; i < 7; ++i) {
                p.fillRect(QRect(at.x() - 4 + i, at.y() - 3 + i, 2, 1), color);
                p.fillRect(QRect(at.x() + 2 - i, at.y() - 3 + i, 2, 1), color);
            }
            break;
        case TFrameButton::Minimize:
            if (m_window->isMinimized()) {
                p.setBrush(Qt::NoBrush);
                p.setPen(color);
                p.drawRect(QRect(at.x() - 4, at.y() - 1, 5, 4));
                p.drawRect(QRect(at.x() - 2, at.y() - 4, 5, 4));
            } else {
                p.fillRect(QRect(at.x() - 4, at.y() + 2, 6, 2), color);
            }
            break;
        case TFrameButton::Maximize:
            if (m_window->isMaximized()) {
                p.setBrush(Qt::NoBrush);
                p.setPen(color);
                p.fillRect(QRect(at.x() - 2, at.y() - 4, 6, 2), color);
                p.drawRect(QRect(at.x() - 2, at.y() - 4, 5, 4));
                p.fillRect(QRect(at.x() - 4, at.y() - 1, 6, 2), color);
                p.drawRect(QRect(at.x() - 4, at.y() - 1, 5, 4));
            } else {
                p.setBrush(Qt::NoBrush);
                p.setPen(color);
                p.fillRect(QRect(at.x() - 4, at.y() - 4, 9, 2), color);
                p.drawRect(QRect(at.x() - 4, at.y() - 4, 8, 7));
            }
            break;
        case TFrameButton::Help: {
            QFont f = m_systemFont;
            f.setBold(true);
            f.setPixelSize(std::max(6, r.height() - 3));
            p.setFont(f);
            p.setPen(color);
            p.drawText(r.translated(shift + (at - c)), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        }
        p.restore();
    };
    if (enabled) {
        glyph(pal.color(QPalette::Active, QPalette::ButtonText), c);
    } else {
        glyph(pal.color(QPalette::Active, QPalette::Light), c + QPoint(1, 1));
        glyph(pal.color(QPalette::Active, QPalette::Dark), c);
    }
}

// --- messages ---------------------------------------------------------------------------------

bool TGradientCaption::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Resize:
        if (m_frame)
            m_frame->setGeometry(m_window->rect());
        break;
    case QEvent::ActivationChange:
    case QEvent::WinIdChange:
        // A window the toolkit made anew keeps the look: only its active state is read again.
        m_active = m_window->isActiveWindow();
        repaintBar();
        break;
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
    case QEvent::WindowStateChange:
        repaintBar();
        break;
    case QEvent::ThemeChange:
    case QEvent::StyleChange:
    case QEvent::ApplicationFontChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::ScreenChangeInternal:
        readSystemFont();
        for (TCompanyText* part : {static_cast<TCompanyText*>(m_company.get()),
                                   static_cast<TCompanyText*>(m_appName.get()),
                                   static_cast<TCompanyText*>(m_captionText.get())})
            part->applyFontKind();
        updateMargins();
        if (m_frame)
            m_frame->update();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace veltry
