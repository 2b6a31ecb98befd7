#pragma once

#include <QDialog>
#include <functional>

namespace veltry {

class TTextGrid;

// The task history window; its grid is the history list, loaded at start and saved at the end.
class TfrmTaskHistory final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmTaskHistory(QWidget* parent = nullptr);

    // Where the data files live; asked at save time because the folder may change while running.
    void setDataDirectoryProvider(std::function<QString()> provider) { m_dataDirectory = std::move(provider); }
    // Saves the history file; throws AppError.
    void SaveHistory();
    // The end of the run: saves the history, reporting a failure.
    void FormDestroy();

    TTextGrid* TaskHistoryGrid = nullptr;

private:
    std::function<QString()> m_dataDirectory;
};

} // namespace veltry
