#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace veltry {

// The preferences dialog. Its category list is the program's category store: filled from the
// settings at start, saved with them at the end, copied by the add/edit dialog.
class TfrmPrefs final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPrefs(QWidget* parent = nullptr);

    QStringList categories() const;
    void setCategories(const QStringList& categories);
    // Adds at the sorted place, as typed (also when empty or already present).
    void addCategory(const QString& category);

    QListWidget* lstCategory = nullptr;
};

} // namespace veltry
