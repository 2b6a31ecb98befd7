#pragma once

#include <QDialog>

class QLabel;
class QFrame;
class QPushButton;

namespace veltry {

// "Warning: File Already Exists": asked when the new data folder already holds a task list.
// Created for one question and freed afterwards.
class TfrmFileExists final : public QDialog
{
    Q_OBJECT

public:
    enum Answer { Cancel, Save, Load };

    explicit TfrmFileExists(const QString& directory, QWidget* parent = nullptr);

    // Shows the question; closing the window counts as Cancel.
    Answer ask();

    QLabel* Label1 = nullptr;
    QLabel* lblDirectory = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnLoad = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    Answer m_answer = Cancel;
};

} // namespace veltry
