#pragma once

#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace veltry {

class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TTextGrid;

// "Import Existing Veltry": picks a task file of either layout and adds its tasks to the list.
// Created for one use and shown modally; the alarm timer keeps running meanwhile.
class TfrmImport final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 290;
    static constexpr int kClientHeight = 295;

    // `taskGrid` receives the tasks; `imported` runs after tasks were added (the task window
    // saves and counts them there).
    TfrmImport(TTextGrid* taskGrid, std::function<void()> imported, QWidget* parent = nullptr);
    ~TfrmImport() override;

    // "Import": the checks and the question, then ImportFile; closes the dialog.
    void BitBtn1Click();
    // Adds the tasks of the file at `path` above the list's tasks; a calendar file (".ics")
    // gives its to-dos and a closing count. On any error nothing is added and the failure is
    // shown. Returns whether tasks were added.
    bool ImportFile(const QString& path);

    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    TFileListBox* FileListBox1 = nullptr;
    TDirectoryListBox* DirectoryListBox1 = nullptr;
    TDriveComboBox* DriveComboBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RadioButtonClick();
    bool importCalendarFile(const QString& path);
    void DirectoryListBox1Change(const QString& directory);
    void DriveComboBox1Change(const QString& root);

    TTextGrid* m_grid;
    std::function<void()> m_imported;
};

} // namespace veltry
