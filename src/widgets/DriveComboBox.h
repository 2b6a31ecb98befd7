#pragma once

#include "platform/core/DrivePlaces.h"

#include <QComboBox>

namespace veltry {

// The drive box: the places of drivePlaces(), shown as "path [label]".
class TDriveComboBox final : public QComboBox
{
    Q_OBJECT

public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // The root of the chosen place.
    QString Drive() const;
    // Shows the place holding `directory`, without announcing a change: the box follows the
    // folder list rather than leading it.
    void showPlaceOf(const QString& directory);
    const QList<DrivePlace>& places() const { return m_places; }

Q_SIGNALS:
    // The user chose a place.
    void driveChanged(const QString& root);

private:
    QList<DrivePlace> m_places;
};

} // namespace veltry
