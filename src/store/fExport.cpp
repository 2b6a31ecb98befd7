#include "store/fExport.h"

#include "platform/DialogFrame.h"
#include "platform/MessageBox.h"
#include "platform/WindowPlacement.h"
#include "platform/core/AppError.h"
#include "store/core/ICalendar.h"
#include "store/core/ImportFile.h"
#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/TextGrid.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <utility>

namespace veltry {

namespace {
const QString kNoName = QStringLiteral("Please enter a filename");
const QString kSaved = QStringLiteral("Your to-do list was saved as:\n\r   ");
}

TfrmExport::TfrmExport(TTextGrid* taskGrid, QString liveListPath, QWidget* parent)
    : QDialog(parent), m_grid(taskGrid), m_liveListPath(std::move(liveListPath))
{
    setObjectName(QStringLiteral("frmExport"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setUpDialogFrame(this, 11);

    Label1 = new QLabel(QStringLiteral("Filename:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 274, 14);
    edtFilename = new QLineEdit(QStringLiteral("veltlist.vlp"), this);
    edtFilename->setObjectName(QStringLiteral("edtFilename"));
    edtFilename->setGeometry(8, 24, 274, 21);
    Label1->setBuddy(edtFilename);

    Label2 = new QLabel(QStringLiteral("Save in:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 52, 274, 14);
    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(8, 68, 274, 94);
    Label2->setBuddy(DirectoryListBox1);
    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(8, 166, 274, 21);

    BitBtn1 = addDialogButton(this, QStyle::SP_DialogSaveButton, QStringLiteral("Save"), "BitBtn1", QRect(118, 193, 78, 25), true);
    BitBtn2 = addDialogButton(this, QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), "BitBtn2", QRect(204, 193, 78, 25));

    setTabOrder(edtFilename, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, DriveComboBox1);
    setTabOrder(DriveComboBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    connect(DirectoryListBox1, &TDirectoryListBox::directoryChanged, DriveComboBox1, &TDriveComboBox::showPlaceOf);
    connect(DriveComboBox1, &TDriveComboBox::driveChanged, DirectoryListBox1, &TDirectoryListBox::setDirectory);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmExport::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    DirectoryListBox1->setDirectory(QDir::currentPath());
    setWindowTitle(QStringLiteral("Export Data File"));
}

TfrmExport::~TfrmExport() = default;

void TfrmExport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    centreOnScreen(this);
    // Typing replaces the proposed name.
    edtFilename->setFocus();
    edtFilename->selectAll();
}

bool TfrmExport::isLiveList(const QString& path) const
{
    const QString live = QFileInfo(m_liveListPath).canonicalFilePath();
    return !live.isEmpty() && QFileInfo(path).canonicalFilePath() == live;
}

void TfrmExport::BitBtn1Click()
{
    const QString name = edtFilename->text();
    if (name.isEmpty()) {
        MessageBox::show(this, MessageBox::Kind::Plain, kNoName);
        return;
    }
    // A full path typed as the name is the place itself.
    QString path = name;
    if (QFileInfo(name).isRelative()) {
        path = DirectoryListBox1->Directory();
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += name;
    }

    if (QFileInfo::exists(path) && !isLiveList(path)) {
        const auto answer = MessageBox::show(this, MessageBox::Kind::Information,
                                             QStringLiteral("\"%1\" already exists.\n\nDo you want to replace it?").arg(path),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    try {
        if (isCalendarPath(name)) {
            // A task is the same to-do in every file it is exported to.
            m_grid->editCells([this](CellStore& cells) { m_uidsGiven = ICalendar::assignUids(cells) > 0 || m_uidsGiven; });
            ICalendar::saveToFile(std::as_const(*m_grid).cellStore(), path);
        }
        else
            m_grid->SaveToFile(path);
    } catch (const AppError& e) {
        // The message names the file and the system's reason; the user can pick another place.
        MessageBox::show(this, MessageBox::Kind::Error, e.message() + QStringLiteral("\n\nYour to-do list was not exported."));
        return;
    }
    m_savedPath = path;
    MessageBox::show(this, MessageBox::Kind::Plain, kSaved + path);
    accept();
}

} // namespace veltry
