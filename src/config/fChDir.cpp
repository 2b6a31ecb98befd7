#include "config/fChDir.h"

#include "platform/DialogFrame.h"
#include "platform/WindowPlacement.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

namespace veltry {

TfrmChooseDir::TfrmChooseDir(const QString& start, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmChooseDir"));
    setWindowTitle(QStringLiteral("Choose Directory"));
    setFixedSize(281, 300);
    setUpDialogFrame(this);

    m_places = drivePlaces();
    cboDrive = new QComboBox(this);
    cboDrive->setObjectName(QStringLiteral("cboDrive"));
    cboDrive->setGeometry(8, 8, 265, 22);
    for (const DrivePlace& place : m_places)
        cboDrive->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), place.label, place.path);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_model->setRootPath(QDir::rootPath());
    lstDirectory = new QTreeView(this);
    lstDirectory->setObjectName(QStringLiteral("lstDirectory"));
    lstDirectory->setGeometry(8, 36, 265, 220);
    lstDirectory->setModel(m_model);
    lstDirectory->setHeaderHidden(true);
    for (int c = 1; c < m_model->columnCount(); ++c)
        lstDirectory->hideColumn(c);
    lstDirectory->setSortingEnabled(true);
    lstDirectory->sortByColumn(0, Qt::AscendingOrder);
    lstDirectory->setUniformRowHeights(true);

    btnOK = addDialogButton(this, QStyle::SP_DialogOkButton, QStringLiteral("OK"), "btnOK", QRect(117, 266, 75, 25), true);
    btnCancel = addDialogButton(this, QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), "btnCancel", QRect(198, 266, 75, 25));

    connect(cboDrive, &QComboBox::activated, this, &TfrmChooseDir::cboDriveChange);
    // The folders are read in the background, and rows arriving above the folder to show push
    // it down: it is brought into view again until the user takes over.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TfrmChooseDir::showPending);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TfrmChooseDir::showPending);
    for (QObject* o : {static_cast<QObject*>(lstDirectory), static_cast<QObject*>(lstDirectory->viewport()),
                       static_cast<QObject*>(lstDirectory->verticalScrollBar()), static_cast<QObject*>(cboDrive)})
        o->installEventFilter(this);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    const QString first = !start.isEmpty() && QFileInfo(start).isDir() ? start : QDir::currentPath();
    setCurrentDirectory(first);
    lstDirectory->setFocus();
}

QString TfrmChooseDir::placePath(int index) const
{
    return index >= 0 && index < m_places.size() ? m_places[index].path : QDir::rootPath();
}

void TfrmChooseDir::cboDriveChange(int index)
{
    m_pending.clear();
    const QString root = placePath(index);
    lstDirectory->setRootIndex(m_model->index(root));
    lstDirectory->setCurrentIndex(QModelIndex());
    lstDirectory->clearSelection();
}

void TfrmChooseDir::setCurrentDirectory(const QString& dir)
{
    const QString path = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    int place = placeHolding(m_places, path);
    if (place < 0)
        place = 0;
    cboDrive->setCurrentIndex(place);
    cboDriveChange(place);
    if (path == placePath(place))
        return;
    m_pending = path;
    showPending();
}

void TfrmChooseDir::showPending()
{
    if (m_pending.isEmpty() || m_showing)
        return;
    const QModelIndex index = m_model->index(m_pending);
    if (!index.isValid())
        return;
    m_showing = true;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        lstDirectory->expand(up);
    lstDirectory->setCurrentIndex(index);
    lstDirectory->scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_showing = false;
}

bool TfrmChooseDir::eventFilter(QObject* watched, QEvent* event)
{
    // Once the user moves about in the tree, it no longer follows the folders being read.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        m_pending.clear();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

QString TfrmChooseDir::currentDirectory() const
{
    const QModelIndex index = lstDirectory->currentIndex();
    const QString path = index.isValid() ? m_model->filePath(index) : placePath(cboDrive->currentIndex());
    return QDir::cleanPath(path);
}

} // namespace veltry
