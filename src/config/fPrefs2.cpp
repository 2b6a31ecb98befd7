#include "config/fPrefs2.h"

#include "platform/core/Settings.h"
#include "platform/DialogFrame.h"
#include "platform/WindowPlacement.h"
#include "config/fAddCat.h"
#include "config/fChDir.h"
#include "config/fFExists.h"
#include "history/fHistory.h"
#include "platform/MessageBox.h"
#include "platform/core/AppError.h"
#include "platform/core/Autostart.h"
#include "store/core/Task.h"
#include "sync/Credentials.h"
#include "tray/TrayT1.h"
#include "widgets/TextGrid.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace veltry {

namespace {

constexpr int kPageWidth = 375;
constexpr int kLeft = 16;
constexpr int kBoxHeight = 17;
constexpr int kRowStep = 19;

// Places a page's controls top to bottom; notes take the lines their text needs in the font the
// system gives, so nothing below them is covered.
struct PageFlow
{
    QWidget* page;
    int y = 6;

    // A section title followed by a line to the page's right edge.
    void strip(const QString& caption)
    {
        auto* label = new QLabel(caption, page);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->adjustSize();
        label->move(6, y);
        auto* line = new QFrame(page);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        const int x = label->x() + label->width() + 4;
        line->setGeometry(x, y + label->height() / 2 - 1, kPageWidth - 6 - x, 2);
        y += label->height() + 3;
    }

    void note(const QString& text)
    {
        auto* label = new QLabel(text, page);
        label->setWordWrap(true);
        const int width = kPageWidth - kLeft - 8;
        const int height = label->heightForWidth(width);
        label->setGeometry(kLeft, y, width, height);
        y += height + 4;
    }

    QCheckBox* box(const char* name, const QString& caption, int x = kLeft, int width = kPageWidth - kLeft - 8)
    {
        auto* b = new QCheckBox(caption, page);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, width, kBoxHeight);
        return b;
    }

    // A box on a row of its own.
    QCheckBox* boxRow(const char* name, const QString& caption)
    {
        QCheckBox* b = box(name, caption);
        nextRow();
        return b;
    }

    // A caption to the right of a 16-pixel control at `x` on this row.
    void sideLabel(const QString& text, int x)
    {
        auto* label = new QLabel(text, page);
        label->adjustSize();
        label->move(x + 21, y + (16 - label->height()) / 2);
    }

    // Moves below a row of boxes.
    void nextRow(int step = kRowStep) { y += step; }
    void gap() { y += 8; }
};

QPushButton* addButton(QWidget* page, const char* name, const QString& caption, const QRect& rect)
{
    auto* b = new QPushButton(caption, page);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(rect);
    // Enter always means OK, whichever button has the focus.
    b->setAutoDefault(false);
    return b;
}

// Four small squares in the reset colours, the reset button's picture.
QIcon resetColorsIcon()
{
    QPixmap pm(10, 10);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    for (int i = 0; i < 4; ++i)
        p.fillRect((i % 2) * 5, (i / 2) * 5, 5, 5, TfrmPrefs::fromBgr(TfrmPrefs::kResetColors[i]));
    return QIcon(pm);
}

// Blanks and control characters off both ends, as typed paths are cleaned.
QString trimControls(const QString& text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from).unicode() < 33)
        ++from;
    while (to > from && text.at(to - 1).unicode() < 33)
        --to;
    return text.mid(from, to - from);
}

// Whether the data files can live in `dir`: it exists and a file can be created there (access
// bits alone lie on read-only mounts).
bool usableFolder(const QString& dir)
{
    if (!QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(dir + QStringLiteral(".veltry-probe-XXXXXX"));
    return probe.open();
}

} // namespace

// --- TColorSwatch --------------------------------------------------------------------------------

TColorSwatch::TColorSwatch(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void TColorSwatch::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void TColorSwatch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Button));
    p.setPen(isDown() ? palette().color(QPalette::Dark) : palette().color(QPalette::Shadow));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.fillRect(r.adjusted(2, 2, -2, -2), m_color);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

// --- TfrmPrefs -----------------------------------------------------------------------------------

TfrmPrefs::TfrmPrefs(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPrefs"));
    setWindowTitle(QStringLiteral("Preferences"));
    setFixedSize(397, 390);
    setUpDialogFrame(this);
}

TfrmPrefs::~TfrmPrefs() = default;

void TfrmPrefs::setVisible(bool visible)
{
    if (visible)
        buildControls();
    QDialog::setVisible(visible);
}

void TfrmPrefs::buildControls()
{
    // Built when first needed, not at start: most runs never open the dialog.
    if (PageControl1)
        return;
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(8, 8, 381, 340);
    // Each page is added before its controls are made, so Tab follows the order they are made.
    buildGeneralPage();
    buildEditingPage();
    buildCategoriesPage();
    PageControl1->setCurrentWidget(tabGeneral);

    BitBtn1 = addDialogButton(this, QStyle::SP_DialogOkButton, QStringLiteral("OK"), "BitBtn1", QRect(233, 356, 75, 25), true);
    btnCancel = addDialogButton(this, QStyle::SP_DialogCancelButton, QStringLiteral("Cancel"), "btnCancel", QRect(314, 356, 75, 25));

    connect(BitBtn1, &QPushButton::clicked, this, &TfrmPrefs::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(clOne, &QAbstractButton::clicked, this, &TfrmPrefs::clOneClick);
    connect(clTwo, &QAbstractButton::clicked, this, &TfrmPrefs::clTwoClick);
    connect(clThree, &QAbstractButton::clicked, this, &TfrmPrefs::clThreeClick);
    connect(clElse, &QAbstractButton::clicked, this, &TfrmPrefs::clElseClick);
    connect(BitBtn5, &QPushButton::clicked, this, &TfrmPrefs::BitBtn5Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmPrefs::BitBtn2Click);
    // Also when FormActivate sets the box: the path box follows the box's state either way.
    connect(chkUseAltDirPath, &QCheckBox::toggled, this, &TfrmPrefs::chkUseAltDirPathClick);
    connect(btnAltDirPath, &QPushButton::clicked, this, &TfrmPrefs::btnAltDirPathClick);
    connect(BitBtn3, &QPushButton::clicked, this, &TfrmPrefs::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TfrmPrefs::BitBtn4Click);
    connect(btnSyncServer, &QPushButton::clicked, this, &TfrmPrefs::btnSyncServerClick);

    enableAltDirPath();
    lstCategory->addItems(m_categories);
    m_categories.clear();
}

void TfrmPrefs::buildGeneralPage()
{
    tabGeneral = new QWidget;
    tabGeneral->setObjectName(QStringLiteral("tabGeneral"));
    PageControl1->addTab(tabGeneral, QStringLiteral("General"));
    PageFlow flow{tabGeneral};

    flow.strip(QStringLiteral("Startup Options"));
    chkStartMin = flow.boxRow("chkStartMin", QStringLiteral("Start program &minimized"));
    chkSavePos = flow.boxRow("chkSavePos", QStringLiteral("Save window &position"));
    chkSaveSize = flow.boxRow("chkSaveSize", QStringLiteral("Save window &size"));
    chkLogOnStartup = flow.boxRow("chkLogOnStartup", QStringLiteral("&Log tasks on startup"));
    chkAutostart = flow.boxRow("chkAutostart", QStringLiteral("Start with the &desktop session"));
    flow.gap();

    flow.strip(QStringLiteral("Calendar"));
    flow.note(QStringLiteral("This option only affects the display on the pop-up calendar."));
    rdoSunday = new QRadioButton(QStringLiteral("Week starts on S&unday"), tabGeneral);
    rdoSunday->setObjectName(QStringLiteral("rdoSunday"));
    rdoSunday->setGeometry(kLeft, flow.y, 170, kBoxHeight);
    rdoSunday->setChecked(true);
    rdoMonday = new QRadioButton(QStringLiteral("Week starts on M&onday"), tabGeneral);
    rdoMonday->setObjectName(QStringLiteral("rdoMonday"));
    rdoMonday->setGeometry(kLeft + 176, flow.y, 170, kBoxHeight);
    flow.nextRow();
    flow.gap();

    flow.strip(QStringLiteral("Task Coloring"));
    flow.note(QStringLiteral("Click on the colored buttons to change the color for each priority."));
    flow.y += 2;
    struct SwatchDef
    {
        TColorSwatch** swatch;
        const char* name;
        const char* label;
    };
    const SwatchDef swatches[4] = {{&clOne, "clOne", "Priority 1"},
                                   {&clTwo, "clTwo", "Priority 2"},
                                   {&clThree, "clThree", "Priority 3"},
                                   {&clElse, "clElse", "All others"}};
    int x = kLeft;
    for (const SwatchDef& def : swatches) {
        auto* swatch = new TColorSwatch(tabGeneral);
        swatch->setObjectName(QString::fromLatin1(def.name));
        swatch->setGeometry(x, flow.y, 16, 16);
        const QString text = QString::fromLatin1(def.label);
        swatch->setToolTip(text);
        swatch->setAccessibleName(text);
        flow.sideLabel(text, x);
        *def.swatch = swatch;
        x += 88;
    }
    flow.nextRow(26);

    BitBtn5 = new QPushButton(tabGeneral);
    BitBtn5->setObjectName(QStringLiteral("BitBtn5"));
    BitBtn5->setGeometry(kLeft, flow.y, 16, 16);
    BitBtn5->setIcon(resetColorsIcon());
    BitBtn5->setIconSize(QSize(10, 10));
    BitBtn5->setAutoDefault(false);
    BitBtn5->setAccessibleName(QStringLiteral("Reset to default colors"));
    flow.sideLabel(QStringLiteral("Reset to default colors"), kLeft);
}

void TfrmPrefs::buildEditingPage()
{
    tabEditing = new QWidget;
    tabEditing->setObjectName(QStringLiteral("tabEditing"));
    PageControl1->addTab(tabEditing, QStringLiteral("Editing"));
    PageFlow flow{tabEditing};

    flow.strip(QStringLiteral("Editing Options"));
    chkNoConfirmations = flow.boxRow("chkNoConfirmations", QStringLiteral("Turn off all &confirmations"));
    chkFloatEditedTask = flow.boxRow("chkFloatEditedTask", QStringLiteral("&Move task to top after edit"));
    chkTaskHints = flow.boxRow("chkTaskHints", QStringLiteral("&Flyover hints in task grid"));
    chkShowDayIcon = flow.boxRow("chkShowDayIcon", QStringLiteral("&Display \"day of month\" icon"));
    flow.gap();

    flow.strip(QStringLiteral("Network"));
    flow.note(QStringLiteral("Use these options to share a to-do list on a shared or network drive."));
    chkNetworkable = flow.boxRow("chkNetworkable", QStringLiteral("This to-do list will be &shared (i.e. it will auto-update)"));
    chkUseAltDirPath = flow.box("chkUseAltDirPath", QStringLiteral("&Use alternate file path"));
    flow.nextRow(21);
    edtAltDirPath = new QLineEdit(tabEditing);
    edtAltDirPath->setObjectName(QStringLiteral("edtAltDirPath"));
    edtAltDirPath->setGeometry(kLeft + 18, flow.y, 300, 23);
    edtAltDirPath->setReadOnly(true);
    edtAltDirPath->setAccessibleName(QStringLiteral("Alternate file path"));
    btnAltDirPath = addButton(tabEditing, "btnAltDirPath", QStringLiteral("..."), QRect(kLeft + 322, flow.y, 23, 23));
    btnAltDirPath->setAccessibleName(QStringLiteral("Choose the alternate file path"));
    flow.nextRow(27);
    // Alt+S belongs to the shared box above.
    btnSyncServer = addButton(tabEditing, "btnSyncServer", QStringLiteral("Calendar se&rver..."),
                              QRect(kLeft, flow.y, 130, 25));
    flow.nextRow(25);
    flow.gap();

    flow.strip(QStringLiteral("Fonts"));
    flow.y += 2;
    BitBtn2 = addButton(tabEditing, "BitBtn2", QStringLiteral("Change &Font"), QRect(kLeft, flow.y, 100, 25));
    edtGridFont = new QLineEdit(tabEditing);
    edtGridFont->setObjectName(QStringLiteral("edtGridFont"));
    edtGridFont->setGeometry(kLeft + 108, flow.y, 237, 25);
    edtGridFont->setReadOnly(true);
    edtGridFont->setAccessibleName(QStringLiteral("Grid font"));
}

void TfrmPrefs::buildCategoriesPage()
{
    tabCategories = new QWidget;
    tabCategories->setObjectName(QStringLiteral("tabCategories"));
    PageControl1->addTab(tabCategories, QStringLiteral("Categories"));
    PageFlow flow{tabCategories};

    flow.strip(QStringLiteral("Categories"));
    flow.y += 2;
    lstCategory = new QListWidget(tabCategories);
    lstCategory->setObjectName(QStringLiteral("lstCategory"));
    lstCategory->setGeometry(kLeft, flow.y, 200, 150);
    lstCategory->setAccessibleName(QStringLiteral("Categories"));
    BitBtn3 = addButton(tabCategories, "BitBtn3", QStringLiteral("&Add Category"), QRect(228, flow.y, 125, 25));
    BitBtn4 = addButton(tabCategories, "BitBtn4", QStringLiteral("&Remove Category"), QRect(228, flow.y + 32, 125, 25));
    flow.nextRow(150);
    flow.gap();

    flow.strip(QStringLiteral("Visible Columns"));
    flow.y += 2;
    chkDueDate = flow.box("chkDueDate", QStringLiteral("Due Date"), kLeft, 84);
    chkDueTime = flow.box("chkDueTime", QStringLiteral("Due Time"), kLeft + 86, 84);
    chkCategory = flow.box("chkCategory", QStringLiteral("Category"), kLeft + 172, 84);
    chkPriority = flow.box("chkPriority", QStringLiteral("Priority"), kLeft + 258, 84);
    for (QCheckBox* box : {chkDueDate, chkDueTime, chkCategory, chkPriority})
        box->setChecked(true);
    flow.nextRow(23);
    flow.note(QStringLiteral("Hiding/displaying columns does not disturb the actual data."));
}

void TfrmPrefs::setMainWindow(TaskListHost* toDo, TfrmTaskHistory* history)
{
    m_toDo = toDo;
    m_history = history;
}

// --- categories ----------------------------------------------------------------------------------

QStringList TfrmPrefs::categories() const
{
    QStringList out;
    QSet<QString> seen;
    for (const QString& name : categoryEntries()) {
        if (!name.isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            out << name;
        }
    }
    return out;
}

QStringList TfrmPrefs::categoryEntries() const
{
    // Until the dialog is built, the names wait in the same order the list box would show.
    if (!lstCategory)
        return m_categories;
    QStringList out;
    out.reserve(lstCategory->count());
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
    if (!lstCategory) {
        m_categories = std::move(sorted);
        return;
    }
    lstCategory->clear();
    lstCategory->addItems(sorted);
}

void TfrmPrefs::addCategory(const QString& category)
{
    // A sorted list box orders without regard to case; a name goes after the equal ones there.
    const int count = lstCategory ? lstCategory->count() : int(m_categories.size());
    const auto entry = [this](int i) { return lstCategory ? lstCategory->item(i)->text() : m_categories.at(i); };
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (entry(mid).compare(category, Qt::CaseInsensitive) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lstCategory)
        lstCategory->insertItem(lo, category);
    else
        m_categories.insert(lo, category);
}

void TfrmPrefs::BitBtn3Click()
{
    TfrmAddCategory dialog(this);
    centreOnScreen(&dialog);
    if (dialog.exec() == QDialog::Accepted)
        addCategory(dialog.category());
}

void TfrmPrefs::BitBtn4Click()
{
    const int row = lstCategory->currentRow();
    if (row < 0 || !lstCategory->item(row)->isSelected())
        return;
    delete lstCategory->takeItem(row);
    // The list would move on to the next entry, which the user never chose: a second press
    // must not remove it.
    lstCategory->setCurrentRow(-1);
    lstCategory->clearSelection();
}

// --- colours and font ----------------------------------------------------------------------------

QColor TfrmPrefs::fromBgr(qint32 value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

qint32 TfrmPrefs::toBgr(const QColor& color)
{
    return qint32(color.red()) | (qint32(color.green()) << 8) | (qint32(color.blue()) << 16);
}

void TfrmPrefs::chooseColor(TColorSwatch* swatch)
{
    if (!ColorDialog1) {
        ColorDialog1 = new QColorDialog(this);
        ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    }
    ColorDialog1->setCurrentColor(swatch->color());
    if (ColorDialog1->exec() == QDialog::Accepted)
        swatch->setColor(ColorDialog1->selectedColor());
}

void TfrmPrefs::clOneClick()
{
    chooseColor(clOne);
}

void TfrmPrefs::clTwoClick()
{
    chooseColor(clTwo);
}

void TfrmPrefs::clThreeClick()
{
    chooseColor(clThree);
}

void TfrmPrefs::clElseClick()
{
    chooseColor(clElse);
}

void TfrmPrefs::BitBtn5Click()
{
    TColorSwatch* swatches[4] = {clOne, clTwo, clThree, clElse};
    for (int i = 0; i < 4; ++i)
        swatches[i]->setColor(fromBgr(kResetColors[i]));
}

int TfrmPrefs::pointsOf(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return qRound(font.pointSizeF());
    return qRound(QFontInfo(font).pointSizeF());
}

QString TfrmPrefs::chosenFontText(const QFont& font)
{
    return font.family() + QString::number(pointsOf(font)) + QStringLiteral(" pt.");
}

void TfrmPrefs::BitBtn2Click()
{
    QFont shown = m_font;
    // The chooser lists sizes in points; a font given in pixels is offered at its point size.
    if (shown.pointSizeF() <= 0)
        shown.setPointSize(pointsOf(m_font));
    // The chooser reads every installed font when made: only when the user asks for it.
    if (!FontDialog1) {
        FontDialog1 = new QFontDialog(this);
        FontDialog1->setObjectName(QStringLiteral("FontDialog1"));
    }
    FontDialog1->setCurrentFont(shown);
    if (FontDialog1->exec() != QDialog::Accepted)
        return;
    m_font = FontDialog1->selectedFont();
    edtGridFont->setFont(m_font);
    edtGridFont->setText(chosenFontText(m_font));
}

// --- the alternate folder ------------------------------------------------------------------------

void TfrmPrefs::chkUseAltDirPathClick()
{
    enableAltDirPath();
    if (edtAltDirPath->text().isEmpty())
        edtAltDirPath->setText(QDir::currentPath());
}

void TfrmPrefs::enableAltDirPath()
{
    const bool on = chkUseAltDirPath->isChecked();
    edtAltDirPath->setEnabled(on);
    btnAltDirPath->setEnabled(on);
    QPalette pal = edtAltDirPath->palette();
    const QColor background = on ? palette().color(QPalette::Base) : palette().color(QPalette::Button);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Base, background);
    edtAltDirPath->setPalette(pal);
}

void TfrmPrefs::btnAltDirPathClick()
{
    TfrmChooseDir dialog(edtAltDirPath->text(), this);
    centreOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_chosenDir = dialog.currentDirectory();
    edtAltDirPath->setText(m_chosenDir);
}

// --- opening and OK ------------------------------------------------------------------------------

void TfrmPrefs::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(this);
        FormActivate();
    }
    QDialog::showEvent(event);
}

void TfrmPrefs::FormActivate()
{
    buildControls();
    if (!m_toDo)
        return;
    const Settings& s = m_toDo->settings();
    m_prevAltDir = s.UseAltDirPath ? s.AltDirPath : QString();
    m_toDo->stopTimerForModal();

    chkSavePos->setChecked(s.SavePosition);
    chkSaveSize->setChecked(s.SaveSize);
    chkStartMin->setChecked(s.StartMinimized);
    chkLogOnStartup->setChecked(s.LogOnStartup);
    chkAutostart->setChecked(Autostart::isEnabled());
    chkNoConfirmations->setChecked(s.NoConfirmations);
    chkShowDayIcon->setChecked(s.ShowDayIcon);
    chkTaskHints->setChecked(s.TaskHints);
    chkFloatEditedTask->setChecked(s.FloatEditedTask);
    clOne->setColor(fromBgr(s.clOne));
    clTwo->setColor(fromBgr(s.clTwo));
    clThree->setColor(fromBgr(s.clThree));
    clElse->setColor(fromBgr(s.clElse));
    chkNetworkable->setChecked(s.Networkable);
    chkUseAltDirPath->setChecked(s.UseAltDirPath);

    edtAltDirPath->setText(s.UseAltDirPath ? s.AltDirPath : QString());

    if (s.StartCalMonday)
        rdoMonday->setChecked(true);
    else
        rdoSunday->setChecked(true);

    const TTextGrid* grid = m_toDo->taskGrid();
    chkDueDate->setChecked(!grid->IsHiddenColumn(TaskCol::DueDate));
    chkDueTime->setChecked(!grid->IsHiddenColumn(TaskCol::DueTime));
    chkCategory->setChecked(!grid->IsHiddenColumn(TaskCol::Category));
    chkPriority->setChecked(!grid->IsHiddenColumn(TaskCol::Priority));

    m_font = grid->font();
    edtGridFont->setFont(m_font);
    edtGridFont->setText(m_font.family() + QLatin1Char(' ')
                         + QString::number(pointsOf(m_toDo->hostWindow()->font()))
                         + QStringLiteral(" pt."));

    ++m_syncRound;
    m_sync = SyncPending{};
    m_sync.url = s.SyncUrl;
    m_sync.user = s.SyncUser;
    m_sync.enabled = s.SyncEnabled;
    m_syncStoredPassword.clear();
}

void TfrmPrefs::btnOKClick()
{
    if (!m_toDo) {
        accept();
        return;
    }
    Settings& s = m_toDo->settings();
    s.SavePosition = chkSavePos->isChecked();
    s.SaveSize = chkSaveSize->isChecked();
    s.StartMinimized = chkStartMin->isChecked();
    s.LogOnStartup = chkLogOnStartup->isChecked();
    if (chkAutostart->isChecked() != Autostart::isEnabled()) {
        QString error;
        if (!Autostart::setEnabled(chkAutostart->isChecked(), QCoreApplication::applicationFilePath(), &error))
            MessageBox::show(this, MessageBox::Kind::Warning, error);
    }
    s.NoConfirmations = chkNoConfirmations->isChecked();
    s.ShowDayIcon = chkShowDayIcon->isChecked();
    s.TaskHints = chkTaskHints->isChecked();
    s.FloatEditedTask = chkFloatEditedTask->isChecked();
    s.StartCalMonday = rdoMonday->isChecked();

    TTextGrid* grid = m_toDo->taskGrid();
    const QCheckBox* shown[4] = {chkDueDate, chkDueTime, chkCategory, chkPriority};
    for (int c = TaskCol::DueDate; c <= TaskCol::Priority; ++c) {
        if (shown[c - TaskCol::DueDate]->isChecked())
            grid->UnhideColumn(c);
        else
            grid->HideColumn(c);
    }
    m_toDo->AutoFitColumnWidths();

    const bool moved = applyDataDirectory();

    s.Networkable = chkNetworkable->isChecked();
    s.clOne = toBgr(clOne->color());
    s.clTwo = toBgr(clTwo->color());
    s.clThree = toBgr(clThree->color());
    s.clElse = toBgr(clElse->color());
    grid->viewport()->update();

    if (TForm1* tray = TForm1::mainForm()) {
        if (s.ShowDayIcon)
            tray->ShowDayIcon();
        else
            tray->RestoreTrayPicture();
    }

    applyFont();
    if (m_sync.changed)
        applySyncServer();

    // A data folder that could not be taken keeps the dialog open, so another can be chosen.
    if (moved)
        accept();
}

void TfrmPrefs::applyFont()
{
    TTextGrid* grid = m_toDo->taskGrid();
    grid->setFont(m_font);
    m_toDo->hostWindow()->setFont(m_font);
    // The height of a line of letters in that font, as the window system reports it for
    // "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ": the font's line height.
    grid->setDefaultRowHeight(QFontMetrics(m_font).height() + 4);
}

bool TfrmPrefs::applyDataDirectory()
{
    Settings& s = m_toDo->settings();
    const bool previousUse = s.UseAltDirPath;
    const QString previousAlt = s.AltDirPath;
    const QString previousData = m_toDo->dataDirectory();
    auto restore = [&] {
        s.UseAltDirPath = previousUse;
        s.AltDirPath = previousAlt;
    };

    s.UseAltDirPath = chkUseAltDirPath->isChecked();
    QString dir = trimControls(edtAltDirPath->text());
    // With no folder to go to, the alternate path counts as switched off.
    if (!s.UseAltDirPath || dir.isEmpty()) {
        s.UseAltDirPath = false;
        s.AltDirPath.clear();
        if (m_toDo->dataDirectory() != previousData)
            m_toDo->RecordFileTimes();
        return true;
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    if (!usableFolder(dir)) {
        restore();
        MessageBox::show(this, MessageBox::Kind::Warning,
                         QStringLiteral("The folder \"%1\" does not exist or cannot be written to.\n\n"
                                        "The data files stay in \"%2\". Please choose another alternate file "
                                        "location.")
                             .arg(dir, previousData));
        return false;
    }
    s.AltDirPath = dir;
    if (!moveDataFilesTo(dir)) {
        // Nothing was written or read: the files stay where they were, and so does the folder.
        restore();
        return false;
    }
    // The shared-list check compares against the files of the folder now in use.
    m_toDo->RecordFileTimes();
    return true;
}

bool TfrmPrefs::moveDataFilesTo(const QString& dir)
{
    if (!QFile::exists(dir + kTaskListFileName) || dir == m_prevAltDir) {
        m_toDo->SaveTaskList();
        return true;
    }
    TfrmFileExists warning(dir, this);
    switch (warning.ask()) {
    case TfrmFileExists::Save:
        m_toDo->SaveTaskList();
        if (m_history) {
            try {
                m_history->SaveHistory();
            } catch (const AppError& e) {
                MessageBox::showError(this, e.message());
            }
        }
        return true;
    case TfrmFileExists::Load:
        m_toDo->LoadDataFiles();
        return true;
    case TfrmFileExists::Cancel:
        break;
    }
    return false;
}

// --- the calendar server --------------------------------------------------------------------------

void TfrmPrefs::btnSyncServerClick()
{
    if (m_sync.passwordKnown) {
        openSyncServer();
        return;
    }
    if (m_sync.reading)
        return;
    // The stored password and where it is kept come first; neither makes anything wait.
    m_sync.reading = true;
    const int round = m_syncRound;
    Credentials::probeKeyring(this, [this, round](bool available) {
        if (round != m_syncRound)
            return;
        m_sync.keyring = available;
        if (m_sync.url.isEmpty()) {
            m_sync.reading = false;
            m_sync.passwordKnown = true;
            openSyncServer();
            return;
        }
        Credentials::readPassword(m_sync.url, m_sync.user, this, [this, round](const QString& password) {
            if (round != m_syncRound)
                return;
            m_sync.reading = false;
            m_sync.passwordKnown = true;
            m_sync.password = password;
            m_syncStoredPassword = password;
            openSyncServer();
        });
    });
}

void TfrmPrefs::openSyncServer()
{
    // The preferences may have been closed while the password was read.
    if (!isVisible())
        return;
    TfrmSyncServer dialog(this);
    dialog.setValues(m_sync.url, m_sync.user, m_sync.enabled, m_sync.password);
    dialog.setKeyringAvailable(m_sync.keyring);
    dialog.setProber(m_syncProber);
    centreOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_sync.url = dialog.url();
    m_sync.user = dialog.user();
    m_sync.enabled = dialog.enabled();
    m_sync.password = dialog.password();
    m_sync.changed = true;
}

void TfrmPrefs::applySyncServer()
{
    Settings& s = m_toDo->settings();
    const QString oldUrl = s.SyncUrl;
    const QString oldUser = s.SyncUser;
    s.SyncUrl = m_sync.url;
    s.SyncUser = m_sync.user;
    s.SyncEnabled = m_sync.enabled;
    m_sync.changed = false;
    const bool moved = oldUrl != m_sync.url || oldUser != m_sync.user;
    if (!moved && m_sync.password == m_syncStoredPassword) {
        Q_EMIT syncServerChanged();
        return;
    }
    m_syncStoredPassword = m_sync.password;
    QPointer<QWidget> toDo = m_toDo->hostWindow();
    auto report = [this, toDo](bool, const QString& error) {
        if (!error.isEmpty())
            MessageBox::show(toDo ? toDo.data() : this, MessageBox::Kind::Warning,
                             QStringLiteral("The password of the calendar server could not be stored.\n\n%1").arg(error));
        Q_EMIT syncServerChanged();
    };
    const QString url = m_sync.url;
    const QString user = m_sync.user;
    const QString password = url.isEmpty() ? QString() : m_sync.password;
    if (!moved || oldUrl.isEmpty()) {
        Credentials::writePassword(url, user, password, this, report);
        return;
    }
    // The old server's entry goes first; one after the other, so the file keeps the new one.
    Credentials::writePassword(oldUrl, oldUser, {}, this, [this, url, user, password, report](bool, const QString&) {
        Credentials::writePassword(url, user, password, this, report);
    });
}

void TfrmPrefs::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab turns the pages wherever the focus is, not only inside the page control.
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        const int n = PageControl1->count();
        const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        PageControl1->setCurrentIndex((PageControl1->currentIndex() + (back ? n - 1 : 1)) % n);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace veltry
