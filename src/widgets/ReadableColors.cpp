#include "widgets/ReadableColors.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace veltry {

namespace {

// Text needs 4.5:1 against its background.
constexpr double kReadableText = 4.5;

double relativeLuminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor withContrast(const QColor& background, const QColor& text, double ratio)
{
    const QColor from = background.toRgb();
    const QColor to = relativeLuminance(text) > relativeLuminance(from) ? QColor(Qt::black) : QColor(Qt::white);
    // Black or white at the end always reaches the ratio a readable text can have.
    constexpr int kSteps = 100;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = double(i) / kSteps;
        const QColor c = QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                                          float(from.greenF() + (to.greenF() - from.greenF()) * t),
                                          float(from.blueF() + (to.blueF() - from.blueF()) * t));
        if (contrastRatio(c, text) >= ratio)
            return c;
    }
    return to;
}

void makeSelectionReadable()
{
    QPalette palette = QApplication::palette();
    bool changed = false;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor highlight = palette.color(group, QPalette::Highlight);
        const QColor text = palette.color(group, QPalette::HighlightedText);
        if (contrastRatio(highlight, text) >= kReadableText)
            continue;
        palette.setColor(group, QPalette::Highlight, withContrast(highlight, text, kReadableText));
        changed = true;
    }
    if (changed)
        QApplication::setPalette(palette);
}

} // namespace veltry
