#include "widgets/FileListBox.h"

#include <QDir>
#include <QKeyEvent>

namespace veltry {

namespace {
constexpr int kPathRole = Qt::UserRole;
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        const QString path = FileName();
        if (!path.isEmpty())
            Q_EMIT fileChosen(path);
    });
}

void TFileListBox::setDirectory(const QString& directory)
{
    m_directory = directory;
    fill();
}

void TFileListBox::setMask(const QString& mask)
{
    m_mask = mask;
    fill();
}

QString TFileListBox::FileName() const
{
    const QList<QListWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? QString() : chosen.first()->data(kPathRole).toString();
}

void TFileListBox::fill()
{
    clear();
    if (m_directory.isEmpty())
        return;
    const QDir dir(m_directory);
    // Without QDir::CaseSensitive the pattern matches in any letter case, as the older
    // editions' file lists did.
    const QStringList names = dir.entryList({m_mask}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, this);
        item->setData(kPathRole, dir.filePath(name));
    }
}

void TFileListBox::keyPressEvent(QKeyEvent* event)
{
    // The view makes the first file current (unchosen) when it gets the focus; the first arrow
    // key must choose that file rather than move past it.
    if (selectedItems().isEmpty() && count() > 0) {
        const int key = event->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Home || key == Qt::Key_End) {
            const int row = key == Qt::Key_End ? count() - 1 : 0;
            setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            event->accept();
            return;
        }
    }
    QListWidget::keyPressEvent(event);
}

} // namespace veltry
