#include "widgets/DriveComboBox.h"

#include <QAbstractItemView>
#include <QSignalBlocker>
#include <QStyle>

namespace veltry {

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent), m_places(drivePlaces())
{
    const QIcon drive = style()->standardIcon(QStyle::SP_DriveHDIcon);
    for (const DrivePlace& p : m_places) {
        addItem(drive, QStringLiteral("%1 [%2]").arg(p.path, p.label), p.path);
        setItemData(count() - 1, p.path, Qt::ToolTipRole);
    }
    // The box is narrow; its list may be as wide as the longest path needs.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 8);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            Q_EMIT driveChanged(itemData(index).toString());
    });
}

QString TDriveComboBox::Drive() const
{
    return currentData().toString();
}

void TDriveComboBox::showPlaceOf(const QString& directory)
{
    const int index = placeHolding(m_places, directory);
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
}

} // namespace veltry
