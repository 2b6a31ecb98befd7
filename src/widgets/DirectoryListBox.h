#pragma once

#include <QListWidget>

namespace veltry {

// The folder list: the folders from the root down to the current one, each indented below its
// parent, then the current folder's own folders. A double click or Enter opens a folder.
class TDirectoryListBox final : public QListWidget
{
    Q_OBJECT

public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);

    QString Directory() const { return m_directory; }
    // Shows `directory` (its nearest existing parent when it is gone); announces the change.
    void setDirectory(const QString& directory);
    // The folder an item stands for.
    static QString itemPath(const QListWidgetItem* item);

Q_SIGNALS:
    void directoryChanged(const QString& directory);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill();
    void openItem(QListWidgetItem* item);

    QString m_directory;
};

} // namespace veltry
