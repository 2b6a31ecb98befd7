#pragma once

#include <QWidget>

class QPushButton;
class QTextBrowser;
class QUrl;

namespace veltry {

// The program's help: the pages compiled into the program, shown in a window of their own that
// stays open beside the task window.
class HelpViewer final : public QWidget
{
    Q_OBJECT

public:
    // The contents page; the other pages are linked from it.
    static const QString kContents;

    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows, raises and activates the window at `page` (a file name such as "shortcuts.html").
    void showPage(const QString& page);
    // File name of the page shown.
    QString currentPage() const;

    QTextBrowser* browser() const { return m_browser; }

private:
    void sourceChanged(const QUrl& source);

    QTextBrowser* m_browser = nullptr;
    QPushButton* m_btnContents = nullptr;
    QPushButton* m_btnBack = nullptr;
    QPushButton* m_btnForward = nullptr;
    QPushButton* m_btnClose = nullptr;
};

} // namespace veltry
