#pragma once

#include <QColor>

namespace veltry {

// The contrast ratio of two colours as accessibility guidelines measure it (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);

// `background` in its own hue, darkened (under light text) or lightened (under dark text) just
// enough for `text` on it to reach `ratio`.
QColor withContrast(const QColor& background, const QColor& text, double ratio);

// Gives the application's palette a selection colour its selected text can be read on; the
// toolkit's own blue falls short of the guidelines with white text.
void makeSelectionReadable();

} // namespace veltry
