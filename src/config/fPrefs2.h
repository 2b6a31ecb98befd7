#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPointer>
#include <QStringList>

#include "store/TaskListHost.h"
#include "sync/fSyncServer.h"

class QCheckBox;
class QColorDialog;
class QFontDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace veltry {

class TfrmTaskHistory;

// A small square showing a colour; a click (or Space) lets the user choose another.
class TColorSwatch final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit TColorSwatch(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color = Qt::black;
};

// The preferences dialog, created once at start; its controls are built when it is first shown.
// Its category list is the program's category store: filled from the settings at start, saved
// with them at the end, copied by the add/edit dialog. It edits the settings in memory; they
// reach the settings store at the program's end.
class TfrmPrefs final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPrefs(QWidget* parent = nullptr);
    ~TfrmPrefs() override;

    // The task window whose settings, grid, timer and saves the dialog works on, and the
    // history window whose list moves with the data folder. Not owned.
    void setMainWindow(TaskListHost* toDo, TfrmTaskHistory* history);

    // The category names, each once and none empty, in list order: what the add/edit dialog
    // offers.
    QStringList categories() const;
    // Every entry of the list box, in its order, empty and repeated ones included: what the
    // settings store keeps, so that the next start shows the same list.
    QStringList categoryEntries() const;
    void setCategories(const QStringList& categories);
    // Adds at the sorted place, exactly as typed, even when empty or already listed.
    void addCategory(const QString& category);

    void setVisible(bool visible) override;
    // Makes the pages and their controls, once; the members below are null until then.
    void buildControls();

    // Loads the controls from the settings; runs each time the dialog comes up.
    void FormActivate();
    // Applies the controls; the dialog closes unless the data folder could not be moved.
    void btnOKClick();
    void clOneClick();
    void clTwoClick();
    void clThreeClick();
    void clElseClick();
    void BitBtn5Click();
    void BitBtn2Click();
    void chkUseAltDirPathClick();
    void btnAltDirPathClick();
    void BitBtn3Click();
    void BitBtn4Click();
    // Opens the calendar server dialog on the values pending in this dialog.
    void btnSyncServerClick();

    // What "Test connection" uses to try a server; without one, testing is not available.
    void setSyncProber(TfrmSyncServer::Prober prober) { m_syncProber = std::move(prober); }

    // The swatch colours that "Reset to default colors" gives, as $00BBGGRR.
    static constexpr qint32 kResetColors[4] = {0x0000FF, 0xFF0000, 0x008000, 0x000000};
    static QColor fromBgr(qint32 value);
    static qint32 toBgr(const QColor& color);
    // The font box text after a font was chosen: name and size run together ("Arial10 pt.").
    static QString chosenFontText(const QFont& font);
    // A font's size in whole points, also for a font given in pixels.
    static int pointsOf(const QFont& font);

    QTabWidget* PageControl1 = nullptr;
    QWidget* tabGeneral = nullptr;
    QWidget* tabEditing = nullptr;
    QWidget* tabCategories = nullptr;

    // "General"
    QCheckBox* chkStartMin = nullptr;
    QCheckBox* chkSavePos = nullptr;
    QCheckBox* chkSaveSize = nullptr;
    QCheckBox* chkLogOnStartup = nullptr;
    QCheckBox* chkAutostart = nullptr;
    QRadioButton* rdoSunday = nullptr;
    QRadioButton* rdoMonday = nullptr;
    TColorSwatch* clOne = nullptr;
    TColorSwatch* clTwo = nullptr;
    TColorSwatch* clThree = nullptr;
    TColorSwatch* clElse = nullptr;
    QPushButton* BitBtn5 = nullptr;

    // "Editing"
    QCheckBox* chkNoConfirmations = nullptr;
    QCheckBox* chkFloatEditedTask = nullptr;
    QCheckBox* chkTaskHints = nullptr;
    QCheckBox* chkShowDayIcon = nullptr;
    QCheckBox* chkNetworkable = nullptr;
    QCheckBox* chkUseAltDirPath = nullptr;
    QLineEdit* edtAltDirPath = nullptr;
    QPushButton* btnAltDirPath = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLineEdit* edtGridFont = nullptr;
    QPushButton* btnSyncServer = nullptr;

    // "Categories"
    QListWidget* lstCategory = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QCheckBox* chkDueDate = nullptr;
    QCheckBox* chkDueTime = nullptr;
    QCheckBox* chkCategory = nullptr;
    QCheckBox* chkPriority = nullptr;

    QPushButton* BitBtn1 = nullptr;
    QPushButton* btnCancel = nullptr;
    QColorDialog* ColorDialog1 = nullptr;
    QFontDialog* FontDialog1 = nullptr;

Q_SIGNALS:
    // The calendar server's settings changed at OK; its password has been stored by then.
    void syncServerChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildGeneralPage();
    void buildEditingPage();
    void buildCategoriesPage();
    void chooseColor(TColorSwatch* swatch);
    // The path box and its button follow the alternate-path box.
    void enableAltDirPath();
    // Steps of OK that move the data folder. False when the folder stays as it was and the
    // dialog must stay open.
    bool applyDataDirectory();
    bool moveDataFilesTo(const QString& dir);
    void applyFont();
    void openSyncServer();
    // Stores the pending server values and password; emits syncServerChanged once stored.
    void applySyncServer();

    // The calendar server's values as the server dialog left them, applied at OK.
    struct SyncPending
    {
        QString url;
        QString user;
        bool enabled = false;
        QString password;
        bool passwordKnown = false;  // read from the keyring (or the file) since the dialog came up
        bool changed = false;        // the server dialog was closed with OK
        bool keyring = true;
        bool reading = false;
    };
    SyncPending m_sync;
    QString m_syncStoredPassword;  // as read, to know whether it must be written
    int m_syncRound = 0;            // answers meant for an earlier showing are dropped
    TfrmSyncServer::Prober m_syncProber;

    QStringList m_categories;  // the list box's entries while it is not built
    TaskListHostPtr m_toDo;
    QPointer<TfrmTaskHistory> m_history;
    QString m_prevAltDir;   // the alternative folder in use when the dialog came up
    QString m_chosenDir;    // the last folder picked with "..."
    QFont m_font;           // the font chooser's font
};

} // namespace veltry
