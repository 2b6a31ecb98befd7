#pragma once

#include <QListWidget>

namespace veltry {

// The file list: the files of one folder whose names match a pattern such as "*.vlp" (in any
// letter case), sorted by name. No file is chosen at first; the first arrow key chooses the
// first file.
class TFileListBox final : public QListWidget
{
    Q_OBJECT

public:
    explicit TFileListBox(QWidget* parent = nullptr);

    QString Directory() const { return m_directory; }
    void setDirectory(const QString& directory);
    QString Mask() const { return m_mask; }
    void setMask(const QString& mask);
    // The full path of the chosen file; empty while none is chosen.
    QString FileName() const;

Q_SIGNALS:
    // A file was chosen by mouse or key; `path` is its full path.
    void fileChosen(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill();

    QString m_directory;
    QString m_mask = QStringLiteral("*.*");
};

} // namespace veltry
