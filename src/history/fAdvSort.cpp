#include "history/fAdvSort.h"
#include "platform/WindowPlacement.h"

#include "history/fAdvSortHelp.h"
#include "widgets/TextGrid.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

namespace veltry {

namespace {

QComboBox* makeBox(QWidget* parent, const QString& caption, const char* name, const QStringList& items, int y)
{
    auto* label = new QLabel(caption, parent);
    label->setGeometry(8, y + 3, 56, 16);
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    // Pick-only: a typed text could name no key, and then there would be nothing to sort by.
    box->setEditable(false);
    box->addItems(items);
    box->setGeometry(66, y, 104, 22);
    label->setBuddy(box);
    return box;
}

} // namespace

TfrmAdvSort::TfrmAdvSort(const AdvancedSortChoice& stored, QWidget* owner) : QDialog(owner), m_stored(stored)
{
    setObjectName(QStringLiteral("frmAdvSort"));
    setWindowTitle(QStringLiteral("Advanced Sort"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(200, 238);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);

    Label1 = new QLabel(QStringLiteral("Please select how you would\nlike to sort your task list:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 158, 30);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("?"));
    QFont bold = f;
    bold.setBold(true);
    bold.setPixelSize(13);
    SpeedButton1->setFont(bold);
    SpeedButton1->setToolTip(QStringLiteral("Can you explain this a bit more?"));
    SpeedButton1->setAutoRaise(false);
    SpeedButton1->setAccessibleName(QStringLiteral("Explain the sorting"));
    SpeedButton1->setGeometry(169, 10, 23, 22);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmAdvSort::SpeedButton1Click);

    const QStringList keys{QStringLiteral("Status"),   QStringLiteral("Description"), QStringLiteral("Due Date"),
                           QStringLiteral("Due Time"), QStringLiteral("Category"),    QStringLiteral("Priority")};
    const QStringList directions{QStringLiteral("Ascending"), QStringLiteral("Descending")};

    auto group = [this](const char* name, const QString& title, int y) {
        auto* g = new QGroupBox(title, this);
        g->setObjectName(QLatin1String(name));
        g->setGeometry(8, y, 184, 76);
        return g;
    };
    GroupBox1 = group("GroupBox1", QStringLiteral("Primary Sort"), 42);
    const QString key = QStringLiteral("Key:");
    const QString direction = QStringLiteral("Direction:");
    cboPKey = makeBox(GroupBox1, key, "cboPKey", keys, 18);
    cboPDir = makeBox(GroupBox1, direction, "cboPDir", directions, 46);
    GroupBox2 = group("GroupBox2", QStringLiteral("Secondary Sub-sort"), 124);
    cboSKey = makeBox(GroupBox2, key, "cboSKey", keys, 18);
    cboSDir = makeBox(GroupBox2, direction, "cboSDir", directions, 46);

    BitBtn1 = new QPushButton(QStringLiteral("Sort!"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry(18, 207, 78, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(104, 207, 78, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(cboPKey, cboPDir);
    setTabOrder(cboPDir, cboSKey);
    setTabOrder(cboSKey, cboSDir);
    setTabOrder(cboSDir, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, SpeedButton1);
}

void TfrmAdvSort::FormActivate()
{
    const AdvancedSortChoice c = advancedSortOpening(m_stored);
    cboPKey->setCurrentIndex(c[0]);
    cboPDir->setCurrentIndex(c[1]);
    cboSKey->setCurrentIndex(c[2]);
    cboSDir->setCurrentIndex(c[3]);
}

void TfrmAdvSort::SpeedButton1Click()
{
    TfrmAdvSortHelp help(this);
    help.exec();
}

AdvancedSortChoice TfrmAdvSort::choice() const
{
    return {cboPKey->currentIndex(), cboPDir->currentIndex(), cboSKey->currentIndex(), cboSDir->currentIndex()};
}

void TfrmAdvSort::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once per opening; the window system showing it again (after minimising) keeps the picks.
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    FormActivate();
    cboPKey->setFocus();
}

void AdvancedSortTaskGrid(TTextGrid* grid, const AdvancedSortChoice& choice)
{
    grid->setSortColumn(choice[0]);
    grid->SortDirection = choice[1] == 0 ? sdAscendingValue : sdDescendingValue;
    grid->SortRows();
    int current = grid->Row();
    // Every run is ordered in one pass over the cells and the rows are put in place together.
    const int first = grid->FixedRows();
    const int last = grid->RowCount() - 1 - grid->FixedFooters();
    grid->editCells([&](CellStore& cells) { orderAdvancedSortRuns(cells, first, last, choice, current); });
    grid->setCurrentCell(grid->Col(), current);
    grid->viewport()->update();
}

} // namespace veltry
