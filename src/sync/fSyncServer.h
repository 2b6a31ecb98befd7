#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;

namespace veltry {

// The calendar server the task list is kept in step with: its address, the user's name and
// password, and whether to keep in step at all. It knows nothing of the network: "Test
// connection" asks the prober it is given.
class TfrmSyncServer final : public QDialog
{
    Q_OBJECT

public:
    // Tries the server and answers once through `done`: an empty error for success, with the
    // calendar's display name.
    using Prober = std::function<void(const QUrl& url, const QString& user, const QString& password,
                                      std::function<void(const QString& error, const QString& name)> done)>;

    explicit TfrmSyncServer(QWidget* parent = nullptr);

    void setValues(const QString& url, const QString& user, bool enabled, const QString& password);
    QString url() const;
    QString user() const;
    QString password() const;
    bool enabled() const;

    // Without a prober, "Test connection" says that testing is not available.
    void setProber(Prober prober) { m_prober = std::move(prober); }
    // Where the password will be kept, for the note; the keyring until told otherwise.
    void setKeyringAvailable(bool available);

    // Whether `text` is an address the server can be reached at: http or https, with a host.
    static bool isServerAddress(const QString& text);

    void btnTestConnectionClick();
    void btnOKClick();

    QLineEdit* edtSyncUrl = nullptr;
    QLineEdit* edtSyncUser = nullptr;
    QLineEdit* edtSyncPassword = nullptr;
    QPushButton* btnTestConnection = nullptr;
    QLabel* lblTestResult = nullptr;
    QCheckBox* chkSyncEnabled = nullptr;
    QLabel* lblPasswordNote = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void updateNote();
    // Refuses the address with a message box and puts the focus on it.
    void refuseAddress(const QString& text);

    Prober m_prober;
    bool m_keyring = true;
};

} // namespace veltry
