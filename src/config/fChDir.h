#pragma once

#include "platform/core/DrivePlaces.h"

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

namespace veltry {

// "Choose Directory": a place drop-down over the folder tree of that place. Created for one
// question and freed afterwards.
class TfrmChooseDir final : public QDialog
{
    Q_OBJECT

public:
    // Opens on `start` when it names a folder, otherwise on the working directory.
    explicit TfrmChooseDir(const QString& start = QString(), QWidget* parent = nullptr);

    // The folder selected in the tree (the place itself when none is): no trailing "/" except
    // for the root.
    QString currentDirectory() const;
    // Shows `dir` selected in the tree, switching the drop-down to the place that holds it.
    void setCurrentDirectory(const QString& dir);

    QComboBox* cboDrive = nullptr;
    QTreeView* lstDirectory = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cboDriveChange(int index);
    QString placePath(int index) const;
    void showPending();

    QList<DrivePlace> m_places;
    QFileSystemModel* m_model = nullptr;
    QString m_pending;  // the folder to keep in view while the tree reads its way down to it
    bool m_showing = false;
};

} // namespace veltry
