#pragma once

#include <QDialog>
#include <QPointer>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace veltry {

// The read-only list of the task window's keyboard shortcuts.
class TfrmHotKeys final : public QDialog
{
    Q_OBJECT

public:
    struct Row
    {
        const char* keys;
        const char* action;
    };
    static const Row kRows[14];

    // `alarmTimer` is the task window's timer, held still while the sheet is active.
    explicit TfrmHotKeys(QWidget* parent = nullptr, QTimer* alarmTimer = nullptr);

    QFrame* pnlKeys = nullptr;
    QPushButton* btnOK = nullptr;
    // The key and action texts of each row, top to bottom.
    QList<QLabel*> keyLabels;
    QList<QLabel*> actionLabels;

protected:
    bool event(QEvent* e) override;

private:
    void FormActivate();

    QPointer<QTimer> m_alarmTimer;
};

} // namespace veltry
