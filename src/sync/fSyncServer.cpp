#include "sync/fSyncServer.h"

#include "platform/DialogFrame.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

namespace veltry {

namespace {

constexpr int kWidth = 360;
constexpr int kFieldLeft = 100;
constexpr int kFieldWidth = kWidth - kFieldLeft - 8;

QLabel* fieldLabel(QWidget* parent, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    label->setGeometry(8, buddy->y(), kFieldLeft - 12, buddy->height());
    return label;
}

QLineEdit* field(QWidget* parent, const char* name, int y)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(kFieldLeft, y, kFieldWidth, 21);
    return edit;
}

QUrl serverUrl(const QString& text)
{
    return QUrl(text.trimmed(), QUrl::StrictMode);
}

} // namespace

TfrmSyncServer::TfrmSyncServer(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSyncServer"));
    setWindowTitle(QStringLiteral("Calendar Server"));
    setFixedSize(kWidth, 276);
    setUpDialogFrame(this);

    edtSyncUrl = field(this, "edtSyncUrl", 10);
    edtSyncUrl->setPlaceholderText(QStringLiteral("https://"));
    fieldLabel(this, QStringLiteral("Server &address:"), edtSyncUrl);
    edtSyncUser = field(this, "edtSyncUser", 37);
    fieldLabel(this, QStringLiteral("&User name:"), edtSyncUser);
    edtSyncPassword = field(this, "edtSyncPassword", 64);
    edtSyncPassword->setEchoMode(QLineEdit::Password);
    fieldLabel(this, QStringLiteral("&Password:"), edtSyncPassword);

    btnTestConnection = new QPushButton(QStringLiteral("&Test connection"), this);
    btnTestConnection->setObjectName(QStringLiteral("btnTestConnection"));
    btnTestConnection->setGeometry(kFieldLeft, 93, 110, 25);
    // Enter always means OK, whichever button has the focus.
    btnTestConnection->setAutoDefault(false);
    lblTestResult = new QLabel(this);
    lblTestResult->setObjectName(QStringLiteral("lblTestResult"));
    lblTestResult->setWordWrap(true);
    lblTestResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTestResult->setGeometry(kFieldLeft, 122, kFieldWidth, 30);

    chkSyncEnabled = new QCheckBox(QStringLiteral("&Keep this list in step with the server"), this);
    chkSyncEnabled->setObjectName(QStringLiteral("chkSyncEnabled"));
    chkSyncEnabled->setGeometry(8, 158, kWidth - 16, 17);

    lblPasswordNote = new QLabel(this);
    lblPasswordNote->setObjectName(QStringLiteral("lblPasswordNote"));
    lblPasswordNote->setWordWrap(true);
    lblPasswordNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblPasswordNote->setGeometry(8, 182, kWidth - 16, 52);

    btnOK = addDialogButton(this, QStyle::SP_DialogOkButton, QStringLiteral("OK"), "btnOK", QRect(kWidth - 164, 243, 75, 25), true);
    btnCancel = addDialogButton(this, QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), "btnCancel", QRect(kWidth - 83, 243, 75, 25));

    connect(btnTestConnection, &QPushButton::clicked, this, &TfrmSyncServer::btnTestConnectionClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmSyncServer::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtSyncUrl, &QLineEdit::textChanged, this, &TfrmSyncServer::updateNote);
    connect(edtSyncPassword, &QLineEdit::textChanged, this, &TfrmSyncServer::updateNote);
    updateNote();
}

void TfrmSyncServer::setValues(const QString& url, const QString& user, bool enabled, const QString& password)
{
    edtSyncUrl->setText(url);
    edtSyncUser->setText(user);
    edtSyncPassword->setText(password);
    chkSyncEnabled->setChecked(enabled);
    lblTestResult->clear();
    updateNote();
}

QString TfrmSyncServer::url() const
{
    return edtSyncUrl->text().trimmed();
}

QString TfrmSyncServer::user() const
{
    return edtSyncUser->text();
}

QString TfrmSyncServer::password() const
{
    return edtSyncPassword->text();
}

bool TfrmSyncServer::enabled() const
{
    return chkSyncEnabled->isChecked();
}

void TfrmSyncServer::setKeyringAvailable(bool available)
{
    m_keyring = available;
    updateNote();
}

bool TfrmSyncServer::isServerAddress(const QString& text)
{
    const QUrl u = serverUrl(text);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !u.host().isEmpty();
}

void TfrmSyncServer::updateNote()
{
    QString note = m_keyring ? QStringLiteral("The password is kept in the desktop's keyring.")
                             : QStringLiteral("No keyring service is running: the password is kept in the settings "
                                              "file, readable by you alone.");
    const QUrl u = serverUrl(edtSyncUrl->text());
    const QString host = u.host().toLower();
    const bool local = host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1") || host == QLatin1String("::1");
    if (u.scheme().toLower() == QLatin1String("http") && !host.isEmpty() && !local && !password().isEmpty())
        note += QLatin1Char('\n') + QStringLiteral("The password will travel unencrypted (http).");
    lblPasswordNote->setText(note);
}

void TfrmSyncServer::btnTestConnectionClick()
{
    if (!m_prober) {
        lblTestResult->setText(QStringLiteral("Testing is not available."));
        return;
    }
    if (!isServerAddress(url())) {
        lblTestResult->setText(QStringLiteral("The server address must be an http or https address with a host name."));
        return;
    }
    btnTestConnection->setEnabled(false);
    lblTestResult->setText(QStringLiteral("Testing..."));
    // The answer may come after the dialog has gone.
    QPointer<TfrmSyncServer> self(this);
    m_prober(serverUrl(url()), user(), password(), [self](const QString& error, const QString& name) {
        if (!self)
            return;
        self->btnTestConnection->setEnabled(true);
        self->lblTestResult->setText(error.isEmpty() ? QStringLiteral("Connected: %1").arg(name) : error);
    });
}

void TfrmSyncServer::refuseAddress(const QString& text)
{
    MessageBox::show(this, MessageBox::Kind::Warning, text);
    edtSyncUrl->setFocus();
    edtSyncUrl->selectAll();
}

void TfrmSyncServer::btnOKClick()
{
    if (url().isEmpty()) {
        if (enabled()) {
            refuseAddress(QStringLiteral("Please enter the server address to keep this list in step with the server."));
            return;
        }
    } else if (!isServerAddress(url())) {
        refuseAddress(QStringLiteral("\"%1\" is not a server address. Please enter an http or https address with "
                                     "a host name, such as https://example.org/calendars/me/tasks/.")
                          .arg(url()));
        return;
    }
    accept();
}

} // namespace veltry
