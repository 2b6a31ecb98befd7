#pragma once

#include <QDialog>

namespace veltry {

// The add/edit task dialog, created once at start and kept for the whole run.
class TfrmAddTask final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAddTask(QWidget* parent = nullptr);
};

} // namespace veltry
