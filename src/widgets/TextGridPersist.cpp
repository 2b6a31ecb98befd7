#include "widgets/TextGrid.h"

#include "platform/core/AppError.h"
#include "platform/core/ConfigStore.h"
#include "widgets/core/GridFile.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <optional>

namespace veltry {

namespace {

const QString kConfigRoot = QStringLiteral("HKEY_CURRENT_USER");

// Stored widths are texts; "0x" marks hexadecimal, anything else that is no number is absent.
std::optional<int> parseStoredWidth(const QString& raw)
{
    const QString text = raw.trimmed();
    bool ok = false;
    int value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toInt(&ok, 16);
    else
        value = text.toInt(&ok, 10);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

// --- the grid file ------------------------------------------------------------------------------

void TTextGrid::SaveToFile(const QString& path) const
{
    GridFile::saveToFile(m_cells, path);
}

void TTextGrid::LoadFromFile(const QString& path)
{
    if (m_editing)
        closeEditor();
    // Also after a load that stopped half way: what was read is the grid's content now.
    const auto refresh = qScopeGuard([this] { storeChanged(); });
    GridFile::loadFromFile(m_cells, path);
}

// --- remembered column widths -----------------------------------------------------------------

bool TTextGrid::loadColumnWidths()
{
    if (!ColumnSize.Save || ColumnSize.Key.isEmpty() || ColumnSize.Section.isEmpty())
        return false;
    const ConfigKey key(ConfigStore::shared(), kConfigRoot, ColumnSize.Key + ColumnSize.Section, false);
    if (!key.isOpen())
        return false;
    const QScreen* shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    const int availableWidth = shownOn ? std::max(0, shownOn->availableGeometry().width()) : kMaxColWidth;
    // A few characters' width, but never above the 20 px the narrowest designed columns (the
    // check mark, the priority) are given.
    const int fewCharacters = std::min(3 * fontMetrics().averageCharWidth(), 20);
    bool any = false;
    // Widths are kept by real column, hidden ones included, so hiding a column never hands its
    // width to a neighbour between one start and the next.
    for (int c = 0; c < RealColCount() && c < int(m_realWidths.size()); ++c) {
        const QString name = QStringLiteral("col%1").arg(c);
        if (!key.valueExists(name))
            continue;
        std::optional<int> width;
        try {
            width = parseStoredWidth(key.readString(name));
        } catch (const AppError&) {
            // Written as a number by someone else: take it as it is.
            width = key.readInteger(name);
        }
        // However wide it was stored, a column never starts wider than the screen, so its
        // neighbours stay within reach, nor too narrow to show a few characters of its cells.
        if (width && *width >= 0) {
            const int fitted = std::max(std::min(*width, availableWidth), fewCharacters);
            m_realWidths[size_t(c)] = std::clamp(fitted, 0, kMaxColWidth);
            any = true;
        }
    }
    syncDisplayWidths();
    widthsChanged();
    return any;
}

void TTextGrid::saveColumnWidths() const
{
    if (!ColumnSize.Save || ColumnSize.Key.isEmpty() || ColumnSize.Section.isEmpty())
        return;
    ConfigKey key(ConfigStore::shared(), kConfigRoot, ColumnSize.Key + ColumnSize.Section, true);
    for (int c = 0; c < RealColCount() && c < int(m_realWidths.size()); ++c)
        key.writeString(QStringLiteral("col%1").arg(c), QString::number(m_realWidths[size_t(c)]));
    key.close();
}

} // namespace veltry
