#include "store/fImport.h"

#include "platform/DialogFrame.h"
#include "platform/MessageBox.h"
#include "platform/WindowPlacement.h"
#include "platform/core/AppError.h"
#include "store/core/ImportFile.h"
#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "widgets/TextGrid.h"

#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <new>
#include <utility>

namespace veltry {

namespace {

const QString kNoFile = QStringLiteral("Please choose a file to import");
const QString kQuestion = QStringLiteral("Are you sure you want to import this file into your current to-do list?");
const QString kFailed = QStringLiteral("Sorry, there was a problem with that data file. Import failed.");

// "2 to-dos were imported.\n1 other item was skipped."
QString calendarCounts(int todos, int skipped)
{
    return (todos == 1 ? QStringLiteral("1 to-do was imported.") : QStringLiteral("%1 to-dos were imported.").arg(todos))
        + QLatin1Char('\n')
        + (skipped == 1 ? QStringLiteral("1 other item was skipped.")
                        : QStringLiteral("%1 other items were skipped.").arg(skipped));
}

} // namespace

TfrmImport::TfrmImport(TTextGrid* taskGrid, std::function<void()> imported, QWidget* parent)
    : QDialog(parent), m_grid(taskGrid), m_imported(std::move(imported))
{
    setObjectName(QStringLiteral("frmImport"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setUpDialogFrame(this, 11);

    GroupBox1 = new QGroupBox(QStringLiteral("Import File Type"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 4, 274, 72);
    RadioButton1 = new QRadioButton(QStringLiteral("Veltry Standard (.vlo)"), GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(12, 16, 250, 18);
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("Veltry Pro (.vlp)"), GroupBox1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(12, 34, 250, 18);
    RadioButton3 = new QRadioButton(QStringLiteral("iCalendar (.ics)"), GroupBox1);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton3->setGeometry(12, 52, 250, 18);

    // The third file type takes its room from the lists, so the dialog keeps its size.
    Label1 = new QLabel(QStringLiteral("File to import:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 82, 274, 14);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 98, 274, 21);

    FileListBox1 = new TFileListBox(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(8, 126, 128, 130);
    FileListBox1->setMask(QStringLiteral("*.vlo"));
    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(144, 126, 138, 103);
    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(144, 235, 138, 21);

    BitBtn1 = addDialogButton(this, QStyle::SP_DialogOkButton, QStringLiteral("Import"), "BitBtn1", QRect(118, 264, 78, 25), true);
    BitBtn2 = addDialogButton(this, QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), "BitBtn2", QRect(204, 264, 78, 25));

    setTabOrder(FileListBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, DriveComboBox1);
    // A path can be typed as well as chosen; the file types stay just before the file list.
    setTabOrder(DriveComboBox1, Edit1);
    setTabOrder(Edit1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, RadioButton1);

    connect(RadioButton1, &QRadioButton::toggled, this, &TfrmImport::RadioButtonClick);
    connect(RadioButton2, &QRadioButton::toggled, this, &TfrmImport::RadioButtonClick);
    connect(FileListBox1, &TFileListBox::fileChosen, Edit1, &QLineEdit::setText);
    connect(DirectoryListBox1, &TDirectoryListBox::directoryChanged, this, &TfrmImport::DirectoryListBox1Change);
    connect(DriveComboBox1, &TDriveComboBox::driveChanged, this, &TfrmImport::DriveComboBox1Change);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmImport::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    DirectoryListBox1->setDirectory(QDir::currentPath());
    setWindowTitle(QStringLiteral("Import Existing Veltry"));
}

TfrmImport::~TfrmImport() = default;

void TfrmImport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    centreOnScreen(this);
    FileListBox1->setFocus();
}

void TfrmImport::RadioButtonClick()
{
    FileListBox1->setMask(RadioButton1->isChecked()   ? QStringLiteral("*.vlo")
                          : RadioButton2->isChecked() ? QStringLiteral("*.vlp")
                                                      : QStringLiteral("*.ics"));
}

void TfrmImport::DirectoryListBox1Change(const QString& directory)
{
    FileListBox1->setDirectory(directory);
    DriveComboBox1->showPlaceOf(directory);
}

void TfrmImport::DriveComboBox1Change(const QString& root)
{
    DirectoryListBox1->setDirectory(root);
}

void TfrmImport::BitBtn1Click()
{
    // A name typed alone is in the folder shown.
    const QString path = Edit1->text().isEmpty() ? QString() : QDir(FileListBox1->Directory()).filePath(Edit1->text());
    bool imported = false;
    if (path.isEmpty()) {
        MessageBox::show(this, MessageBox::Kind::Plain, kNoFile);
    } else if (MessageBox::show(this, MessageBox::Kind::Information, kQuestion, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes)
               == QMessageBox::Yes) {
        imported = ImportFile(path);
    }
    done(imported ? QDialog::Accepted : QDialog::Rejected);
}

bool TfrmImport::ImportFile(const QString& path)
{
    if (isCalendarPath(path))
        return importCalendarFile(path);
    CellStore list;
    try {
        // The whole file is read and checked before the list changes, so a damaged file adds
        // nothing at all.
        list = veltry::ImportFile(std::as_const(*m_grid).cellStore(), path);
    } catch (const AppError& e) {
        // The reader's words say what is wrong with the file, and on which line.
        MessageBox::show(this, MessageBox::Kind::Error, kFailed + QStringLiteral("\n\n") + e.message());
        return false;
    } catch (const std::bad_alloc&) {
        MessageBox::show(this, MessageBox::Kind::Error, kFailed);
        return false;
    }
    m_grid->replaceCells(std::move(list));
    if (m_imported)
        m_imported();
    return true;
}

bool TfrmImport::importCalendarFile(const QString& path)
{
    CalendarImport calendar;
    try {
        calendar = ImportCalendarFile(std::as_const(*m_grid).cellStore(), path);
    } catch (const AppError& e) {
        // The calendar library's own words say what is wrong with the file.
        MessageBox::show(this, MessageBox::Kind::Error, kFailed + QStringLiteral("\n\n") + e.message());
        return false;
    } catch (const std::bad_alloc&) {
        MessageBox::show(this, MessageBox::Kind::Error, kFailed);
        return false;
    }
    if (calendar.todos > 0) {
        m_grid->replaceCells(std::move(calendar.list));
        if (m_imported)
            m_imported();
    }
    MessageBox::show(this, MessageBox::Kind::Plain, calendarCounts(calendar.todos, calendar.skipped));
    return calendar.todos > 0;
}

} // namespace veltry
