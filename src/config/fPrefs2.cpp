#include "config/fPrefs2.h"

#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

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
    // One sort instead of an insertion per name: a long list must not make the start quadratic.
    // Stable, so equal names keep the order they were added in, as one by one.
    QStringList sorted = categories;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    lstCategory->clear();
    lstCategory->addItems(sorted);
}

void TfrmPrefs::addCategory(const QString& category)
{
    // A sorted list box orders without regard to case.
    // After the equal names already there.
    int lo = 0;
    int hi = lstCategory->count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (lstCategory->item(mid)->text().compare(category, Qt::CaseInsensitive) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    lstCategory->insertItem(lo, category);
}

} // namespace veltry
