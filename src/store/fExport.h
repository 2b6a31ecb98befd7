#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace veltry {

class TDirectoryListBox;
class TDriveComboBox;
class TTextGrid;

// "Export Data File": writes the task list to a file name and folder of the user's choosing.
// Created for one use and shown modally; the alarm timer keeps running meanwhile.
class TfrmExport final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 290;
    static constexpr int kClientHeight = 223;

    // `liveListPath` is the program's own task list file: writing the list over it changes
    // nothing, so it is replaced without asking. A calendar export gives the tasks without a UID
    // one, in `taskGrid`.
    TfrmExport(TTextGrid* taskGrid, QString liveListPath, QWidget* parent = nullptr);
    ~TfrmExport() override;

    // "Save": the file name checked, an existing file replaced only when the user agrees, the
    // list written safely (as a calendar when the name ends in ".ics"); the dialog closes only
    // after a complete write.
    void BitBtn1Click();
    // Where the list went; empty until it was saved.
    QString savedPath() const { return m_savedPath; }
    // Tasks were given UIDs, so the list is to be saved with them.
    bool uidsGiven() const { return m_uidsGiven; }

    QLabel* Label1 = nullptr;
    QLineEdit* edtFilename = nullptr;
    QLabel* Label2 = nullptr;
    TDirectoryListBox* DirectoryListBox1 = nullptr;
    TDriveComboBox* DriveComboBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool isLiveList(const QString& path) const;

    TTextGrid* m_grid;
    QString m_liveListPath;
    QString m_savedPath;
    bool m_uidsGiven = false;
};

} // namespace veltry
