#include "widgets/DirectoryListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace veltry {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndent = 10;

// Indents each folder by its depth, as a tree drawn in a plain list.
class IndentDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(indented.rect.left() + kIndent * index.data(kLevelRole).toInt());
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += kIndent * index.data(kLevelRole).toInt();
        return size;
    }
};

QString existingFolder(QString path)
{
    path = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo(path).isDir() && path != QLatin1String("/"))
        path = QFileInfo(path).path();
    return path;
}

} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemActivated, this, &TDirectoryListBox::openItem);
}

QString TDirectoryListBox::itemPath(const QListWidgetItem* item)
{
    return item ? item->data(kPathRole).toString() : QString();
}

void TDirectoryListBox::setDirectory(const QString& directory)
{
    const QString dir = existingFolder(directory);
    if (dir == m_directory)
        return;
    m_directory = dir;
    fill();
    Q_EMIT directoryChanged(m_directory);
}

void TDirectoryListBox::fill()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, const QString& text, const QString& path, int level) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level);
        item->setToolTip(path);
        return item;
    };

    const QStringList parts = m_directory.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = QStringLiteral("/");
    QListWidgetItem* current = add(open, path, path, 0);
    for (int i = 0; i < parts.size(); ++i) {
        path = (i == 0 ? QString() : path) + QLatin1Char('/') + parts.at(i);
        current = add(open, parts.at(i), path, i + 1);
    }
    const QStringList children = QDir(m_directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                             QDir::Name | QDir::IgnoreCase);
    for (const QString& child : children)
        add(closed, child, QDir(m_directory).filePath(child), int(parts.size()) + 1);
    setCurrentItem(current);
    scrollToItem(current);
}

void TDirectoryListBox::openItem(QListWidgetItem* item)
{
    if (item)
        setDirectory(itemPath(item));
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event)
{
    // Enter opens the folder here; it must not reach the dialog's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace veltry
