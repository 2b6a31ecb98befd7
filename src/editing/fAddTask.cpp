#include "editing/fAddTask.h"

namespace veltry {

TfrmAddTask::TfrmAddTask(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddTask"));
    setWindowTitle(QStringLiteral("Add New Task"));
}

} // namespace veltry
