#include "app/HelpViewer.h"

#include "platform/AppIcons.h"
#include "widgets/Accessibility.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace veltry {

const QString HelpViewer::kContents = QStringLiteral("index.html");

namespace {
QUrl pageUrl(const QString& page)
{
    return QUrl(QStringLiteral("qrc:/help/") + page);
}
} // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    AppIcons::initResources();
    setObjectName(QStringLiteral("HelpViewer"));
    // A plain widget reads as a filler; this is a window of its own.
    setAccessibleRole(this, QAccessible::Window);
    setWindowTitle(QStringLiteral("Veltry Professional Help"));
    setWindowIcon(AppIcons::programIcon());
    resize(600, 480);

    m_btnContents = new QPushButton(QStringLiteral("&Contents"), this);
    m_btnBack = new QPushButton(QStringLiteral("&Back"), this);
    m_btnForward = new QPushButton(QStringLiteral("&Forward"), this);
    m_btnClose = new QPushButton(QStringLiteral("Close"), this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Pages link to each other; only links that leave the help go to the desktop's browser.
    m_browser->setOpenLinks(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnContents);
    buttons->addWidget(m_btnBack);
    buttons->addWidget(m_btnForward);
    buttons->addStretch(1);
    buttons->addWidget(m_btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);
    layout->addWidget(m_browser, 1);

    connect(m_btnContents, &QPushButton::clicked, this, [this] { showPage(kContents); });
    connect(m_btnClose, &QPushButton::clicked, this, &QWidget::close);
    // A window of its own, not a dialog: Escape and Ctrl+W close it as they close a dialog.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    connect(m_btnBack, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_btnForward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_btnBack, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_btnForward, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpViewer::sourceChanged);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl target = m_browser->source().resolved(link);
        if (target.scheme() == QLatin1String("qrc"))
            m_browser->setSource(target);
        else
            QDesktopServices::openUrl(target);
    });
    m_btnBack->setEnabled(false);
    m_btnForward->setEnabled(false);
    m_browser->setSource(pageUrl(kContents));
}

void HelpViewer::showPage(const QString& page)
{
    const QUrl url = pageUrl(page.isEmpty() ? kContents : page);
    if (m_browser->source() != url)
        m_browser->setSource(url);
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

QString HelpViewer::currentPage() const
{
    return m_browser->source().fileName();
}

void HelpViewer::sourceChanged(const QUrl& source)
{
    // The browser may announce the new page before source() reports it: use the one given.
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() || source.fileName() == kContents
                       ? QStringLiteral("Veltry Professional Help")
                       : QStringLiteral("%1 - Veltry Professional Help").arg(title));
}

} // namespace veltry
