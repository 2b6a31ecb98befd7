#include "config/fPrefs2.h"

#include <QListWidget>
#include <QVBoxLayout>

namespace veltry {

TfrmPrefs::TfrmPrefs(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPrefs"));
    setWindowTitle(QStringLiteral("Preferences"));
    lstCategory = new QListWidget(this);
    lstCategory->setObjectName(QStringLiteral("lstCategory"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstCategory);
}

QStringList TfrmPrefs::categories() const
{
    QStringList out;
    for (int i = 0; i < lstCategory->count(); ++i)
        out << lstCategory->item(i)->text();
    return out;
}

void TfrmPrefs::setCategories(const QStringList& categories)
{
    lstCategory->clear();
    for (const QString& c : categories)
        addCategory(c);
}

void TfrmPrefs::addCategory(const QString& category)
{
    // A sorted list box orders without regard to case.
    int at = 0;
    while (at < lstCategory->count() && lstCategory->item(at)->text().compare(category, Qt::CaseInsensitive) <= 0)
        ++at;
    lstCategory->insertItem(at, category);
}

} // namespace veltry
