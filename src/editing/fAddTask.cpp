#include "editing/fAddTask.h"

#include "platform/core/Settings.h"
#include "editing/TimeEdit.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/TaskListHost.h"
#include "store/core/Task.h"
#include "widgets/CalComp.h"
#include "widgets/PanelMgr.h"
#include "widgets/PopupCal.h"
#include "widgets/TextGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMoveEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <stdexcept>

namespace veltry {

namespace {

const QString kNoDescription = QStringLiteral("Please enter a description for this task.");
const QString kBadDate = QStringLiteral(
    "The \"due date\" specified cannot be recognized.\n\r\n\rPlease enter a proper date  or a blank "
    "date\n\rto continue.");
const QString kBadTime = QStringLiteral(
    "The \"due at\" time that was entered cannot be recognized.\n\r\n\rPlease enter a proper time "
    "or a blank time to continue.\n\r");
const QString kAddFailed = QStringLiteral("Error during add task:");
const QString kListFull = QStringLiteral("Your list holds as many tasks as it can take (%1). Log or remove some "
                                         "tasks before adding another.");

const QColor kNotesTabWithNotes(255, 0, 0);  // red
const QColor kNotesTabEmpty(0, 0, 255);      // blue

constexpr int kUpperHeight = 75;
constexpr int kAdvHeight = 43;
constexpr int kNotesHeight = 125;
constexpr int kTabHeight = 15;

// Notes larger than this wait until the notes panel is open: a memo lays out every line it
// holds, which for megabytes of text takes seconds and many times the text's size.
constexpr qsizetype kHeldNotesSize = 256 * 1024;

// The cell keeps line breaks as CR LF; the memo works with LF alone. One pass each way: a
// replace() of every line break moves the rest of the text again and again.
QString memoText(const QString& cell)
{
    QString out(cell.size(), Qt::Uninitialized);
    QChar* w = out.data();
    const QChar* p = cell.constData();
    const QChar* const end = p + cell.size();
    for (; p < end; ++p) {
        if (*p == u'\r') {
            *w++ = u'\n';
            if (p + 1 < end && p[1] == u'\n')
                ++p;
        } else {
            *w++ = *p;
        }
    }
    out.truncate(w - out.constData());
    return out;
}

QString cellText(const QString& memo)
{
    QString out;
    out.reserve(memo.size() + memo.count(u'\n'));
    const QChar* p = memo.constData();
    const QChar* const end = p + memo.size();
    while (p < end) {
        const QChar* lf = p;
        while (lf < end && *lf != u'\n')
            ++lf;
        out.append(p, lf - p);
        if (lf < end)
            out.append(u"\r\n");
        p = lf + 1;
    }
    return out;
}

QLabel* makeLabel(const QString& text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->adjustSize();
    label->move(x, y);
    return label;
}

QIcon calendarIcon()
{
    QPixmap pm(13, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(0, 1, 12, 11);
    p.fillRect(1, 2, 11, 3, QColor(176, 0, 0));
    p.setPen(QColor(96, 96, 96));
    for (int y = 6; y <= 10; y += 2)
        for (int x = 2; x <= 10; x += 2)
            p.drawPoint(x, y);
    p.setPen(Qt::black);
    p.drawLine(3, 0, 3, 2);
    p.drawLine(9, 0, 9, 2);
    return QIcon(pm);
}

// The framework's integer reading: leading blanks, an optional sign, digits, nothing after.
int strToInt(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool ok = false;
    const int value = text.mid(i).toInt(&ok, 10);
    if (!ok || text.mid(i).contains(QLatin1Char(' ')))
        throw std::invalid_argument(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}

int digitCount(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        if (c.isDigit())
            ++n;
    return n;
}

} // namespace

TfrmAddTask::TfrmAddTask(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddTask"));
    setWindowTitle(QStringLiteral("Add New Task"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    setFont(f);

    buildUpperPart();
    buildLowerPart();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(Panel2);
    layout->addWidget(PanelManager1);
    layout->addStretch(1);

    setTabOrder(edtTask, edtDate);
    setTabOrder(edtDate, btnShowCal);
    setTabOrder(btnShowCal, cboCategory);
    setTabOrder(cboCategory, edtPriority);
    setTabOrder(edtPriority, PanelManager1);  // the panel tabs, then what they hold
    setTabOrder(PanelManager1, edtTime);
    setTabOrder(edtTime, cboTaskType);
    setTabOrder(cboTaskType, chkEnableAlarm);
    setTabOrder(chkEnableAlarm, mmoNotes);
    setTabOrder(mmoNotes, btnOK);
    setTabOrder(btnOK, btnCancel);

    CalComp1 = new TCalComp(this);
    CalComp1->setObjectName(QStringLiteral("CalComp1"));
    CalComp1->setAlignControl(edtDate);
    CalComp1->setShowMethod(TCalComp::smBottom);

    connect(btnOK, &QPushButton::clicked, this, &TfrmAddTask::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnShowCal, &QPushButton::clicked, this, &TfrmAddTask::btnShowCalClick);
    connect(edtDate, &QLineEdit::textChanged, this, &TfrmAddTask::edtDateChange);
    auto* openCalendar = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), edtDate);
    openCalendar->setContext(Qt::WidgetShortcut);
    connect(openCalendar, &QShortcut::activated, this, &TfrmAddTask::btnShowCalClick);
    connect(mmoNotes, &QPlainTextEdit::textChanged, this, &TfrmAddTask::mmoNotesChange);
    PanelManager1->setOnPanelChange(
        [this](TPanelManager* sender, QWidget* panel) { PanelManager1PanelChange(sender, panel); });

    colourNotesTab();
    applyHeight();
}

TfrmAddTask::~TfrmAddTask() = default;

void TfrmAddTask::buildUpperPart()
{
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedSize(kClientWidth, kUpperHeight);

    Label1 = makeLabel(QStringLiteral("Task:"), Panel2, 8, 5);
    edtTask = new QLineEdit(Panel2);
    edtTask->setObjectName(QStringLiteral("edtTask"));
    edtTask->setGeometry(8, 20, 205, 21);
    Label1->setBuddy(edtTask);

    Label7 = makeLabel(QStringLiteral("Due on:"), Panel2, 220, 5);
    edtDate = new QLineEdit(Panel2);
    edtDate->setObjectName(QStringLiteral("edtDate"));
    edtDate->setGeometry(220, 20, 66, 21);
    btnShowCal = new QPushButton(Panel2);
    btnShowCal->setObjectName(QStringLiteral("btnShowCal"));
    btnShowCal->setGeometry(287, 20, 21, 21);
    btnShowCal->setIcon(calendarIcon());
    // Reachable by Tab, so a keyboard user can open the calendar (Space, or Alt+Down in the date).
    btnShowCal->setFocusPolicy(Qt::TabFocus);
    btnShowCal->setAutoDefault(false);
    // Captions beside a field name it for screen readers; the picture button has none.
    Label7->setBuddy(edtDate);
    btnShowCal->setAccessibleName(QStringLiteral("Show calendar"));

    Label9 = makeLabel(QStringLiteral("Category:"), Panel2, 6, 51);
    cboCategory = new QComboBox(Panel2);
    cboCategory->setObjectName(QStringLiteral("cboCategory"));
    cboCategory->setEditable(true);
    cboCategory->setInsertPolicy(QComboBox::NoInsert);
    cboCategory->setGeometry(Label9->geometry().right() + 3, 48, 88, 21);
    Label9->setBuddy(cboCategory);

    Label10 = makeLabel(QStringLiteral("Priority:"), Panel2, cboCategory->geometry().right() + 6, 51);
    edtPriority = new QComboBox(Panel2);
    edtPriority->setObjectName(QStringLiteral("edtPriority"));
    edtPriority->setEditable(true);
    edtPriority->setInsertPolicy(QComboBox::NoInsert);
    edtPriority->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    edtPriority->setGeometry(Label10->geometry().right() + 3, 48, 39, 21);
    Label10->setBuddy(edtPriority);

    btnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), Panel2);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Cancel"), Panel2);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    const int buttonWidth = 58;
    btnOK->setIconSize(QSize(12, 12));
    btnCancel->setIconSize(QSize(12, 12));
    btnCancel->setGeometry(kClientWidth - 5 - buttonWidth, 46, buttonWidth, 25);
    btnOK->setGeometry(btnCancel->x() - 3 - buttonWidth, 46, buttonWidth, 25);
}

void TfrmAddTask::buildLowerPart()
{
    PanelManager1 = new TPanelManager(this);
    PanelManager1->setObjectName(QStringLiteral("PanelManager1"));
    PanelManager1->setTabHeight(kTabHeight);
    PanelManager1->setFixedWidth(kClientWidth);

    AdvPanel = new TMPanel(PanelManager1);
    AdvPanel->setObjectName(QStringLiteral("AdvPanel"));
    AdvPanel->setTabCaption(QStringLiteral("Advanced Options"));
    AdvPanel->resize(kClientWidth - PanelManager1->tabWidth(), kAdvHeight);

    Label8 = makeLabel(QStringLiteral("Due at:"), AdvPanel, 4, 2);
    edtTime = new TTimeEdit(AdvPanel);
    edtTime->setObjectName(QStringLiteral("edtTime"));
    edtTime->setGeometry(4, 17, 62, 21);
    Label8->setBuddy(edtTime);

    Label3 = makeLabel(QStringLiteral("Type of task:"), AdvPanel, 74, 2);
    cboTaskType = new QComboBox(AdvPanel);
    cboTaskType->setObjectName(QStringLiteral("cboTaskType"));
    cboTaskType->addItems({QStringLiteral("one-time"), QStringLiteral("daily"), QStringLiteral("weekly"),
                           QStringLiteral("bi-weekly"), QStringLiteral("monthly")});
    cboTaskType->setGeometry(74, 17, 88, 21);
    Label3->setBuddy(cboTaskType);

    Panel5 = new QFrame(AdvPanel);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel5->setGeometry(170, 13, 184, 27);
    chkEnableAlarm = new QCheckBox(QStringLiteral("Enable &alarm for this task"), Panel5);
    chkEnableAlarm->setObjectName(QStringLiteral("chkEnableAlarm"));
    chkEnableAlarm->setGeometry(6, 3, 174, 21);

    NotesPanel = new TMPanel(PanelManager1);
    NotesPanel->setObjectName(QStringLiteral("NotesPanel"));
    NotesPanel->setTabCaption(QStringLiteral("Notes"));
    NotesPanel->setParentTabColor(false);
    NotesPanel->resize(kClientWidth - PanelManager1->tabWidth(), kNotesHeight);

    Label2 = makeLabel(QStringLiteral("Notes:"), NotesPanel, 4, 2);
    Label4 = makeLabel(QStringLiteral("Task Created:"), NotesPanel, 212, 2);
    Label4->setEnabled(false);
    lblCreateDate = makeLabel(QString(), NotesPanel, Label4->geometry().right() + 6, 2);
    lblCreateDate->setObjectName(QStringLiteral("lblCreateDate"));
    lblCreateDate->setMinimumWidth(60);
    lblCreateDate->setEnabled(false);
    mmoNotes = new QPlainTextEdit(NotesPanel);
    mmoNotes->setObjectName(QStringLiteral("mmoNotes"));
    mmoNotes->setGeometry(2, 19, 354, 101);
    mmoNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoNotes->setTabChangesFocus(true);
    Label2->setBuddy(mmoNotes);

    // The notes start folded away; the "ShowNotes" setting opens them each time.
    NotesPanel->hide();
    PanelManager1->arrange();
}

void TfrmAddTask::setHost(TaskListHost* host)
{
    m_host = host;
}

QStringList TfrmAddTask::taskTypeNames() const
{
    QStringList names;
    for (int i = 0; i < cboTaskType->count(); ++i)
        names << cboTaskType->itemText(i);
    return names;
}

bool TfrmAddTask::execute(bool editing)
{
    if (!m_host)
        return false;
    m_editing = editing;
    if (editing)
        openForEditing();
    else
        openForAdding();
    commonOpeningSteps();
    centreOnScreen();
    return exec() == QDialog::Accepted;
}

void TfrmAddTask::fillCategories()
{
    cboCategory->clear();
    if (m_host)
        cboCategory->addItems(m_host->categories());
    cboCategory->setCurrentIndex(-1);
    cboCategory->setEditText(QString());
}

void TfrmAddTask::openForAdding()
{
    setWindowTitle(QStringLiteral("Add New Task"));
    const QString today = LocaleFormats::current().formatDate(Clock::instance().today());
    edtTask->clear();
    edtDate->setText(today);
    edtTime->blank();
    chkEnableAlarm->setChecked(false);
    fillCategories();
    edtPriority->setCurrentIndex(-1);
    edtPriority->setEditText(QString());
    cboTaskType->setCurrentIndex(0);
    setNotes(QString());
    lblCreateDate->setText(today);
}

void TfrmAddTask::openForEditing()
{
    setWindowTitle(QStringLiteral("Edit Task"));
    const TTextGrid* grid = m_host->taskGrid();
    const int row = std::max(1, grid->Selection().top());
    auto cell = [grid, row](int col) { return grid->Cells(col, row); };

    edtTask->setText(cell(TaskCol::Task));
    edtDate->setText(cell(TaskCol::DueDate));
    edtTime->setStoredText(cell(TaskCol::DueTime));
    chkEnableAlarm->setChecked(cell(TaskCol::Alarm) == kAlarmOn);

    fillCategories();
    // The task's own category, picked from the list when it is there (exactly; the last of
    // equal items). One no longer in the list is still shown as written: OK writes the field
    // back, and an empty field would wipe the category.
    const QString category = cell(TaskCol::Category);
    int match = cboCategory->count() - 1;
    while (match >= 0 && cboCategory->itemText(match) != category)
        --match;
    cboCategory->setCurrentIndex(match);
    cboCategory->setEditText(category);

    edtPriority->setCurrentIndex(-1);
    edtPriority->setEditText(cell(TaskCol::Priority));
    setNotes(cell(TaskCol::Notes));
    lblCreateDate->setText(cell(TaskCol::CreateDate));

    // A damaged or foreign type number falls back to one-time rather than to no selection.
    bool ok = false;
    const int type = cell(TaskCol::Type).toInt(&ok);
    cboTaskType->setCurrentIndex(ok && type >= 0 && type < cboTaskType->count() ? type : 0);
}

void TfrmAddTask::commonOpeningSteps()
{
    colourNotesTab();
    if (m_host->settings().ShowNotes)
        NotesPanel->show();
    PanelManager1->arrange();
    if (PanelManager1->isExpanded(NotesPanel))
        showHeldNotes();
    applyHeight();

    const bool hasDate = !edtDate->text().isEmpty();
    if (!hasDate) {
        edtTime->blank();
        chkEnableAlarm->setChecked(false);
    }
    setFieldEnabled(edtTime, hasDate);
    chkEnableAlarm->setEnabled(hasDate);
    // Without a date there is no recurrence either; keep the type field in step with the date.
    setFieldEnabled(cboTaskType, hasDate);
}

void TfrmAddTask::setFieldEnabled(QWidget* field, bool enabled)
{
    field->setEnabled(enabled);
    const QPalette app = QApplication::palette();
    const QColor colour = enabled ? app.color(QPalette::Base) : app.color(QPalette::Button);
    QPalette pal = field->palette();
    pal.setColor(QPalette::All, QPalette::Base, colour);
    if (qobject_cast<QComboBox*>(field))
        pal.setColor(QPalette::All, QPalette::Button, colour);
    field->setPalette(pal);
}

void TfrmAddTask::colourNotesTab()
{
    NotesPanel->setTabColor(hasNotes() ? kNotesTabWithNotes : kNotesTabEmpty);
}

void TfrmAddTask::setNotes(const QString& cellText)
{
    m_notesHeld = cellText.size() > kHeldNotesSize;
    m_heldNotes = m_notesHeld ? cellText : QString();
    mmoNotes->setPlainText(m_notesHeld ? QString() : memoText(cellText));
    colourNotesTab();
}

void TfrmAddTask::showHeldNotes()
{
    if (!m_notesHeld)
        return;
    const QString notes = memoText(m_heldNotes);
    m_notesHeld = false;
    m_heldNotes.clear();
    mmoNotes->setPlainText(notes);
}

bool TfrmAddTask::hasNotes() const
{
    return m_notesHeld || !mmoNotes->document()->isEmpty();
}

void TfrmAddTask::FormActivate()
{
    if (m_host)
        m_host->stopTimerForModal();
    edtTask->setFocus(Qt::ActiveWindowFocusReason);
}

void TfrmAddTask::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The first showing is when the window system first tells us its frame.
    const int extra = m_frameExtraHeight;
    applyHeight();
    if (extra != m_frameExtraHeight)
        centreOnScreen();
    FormActivate();
}

void TfrmAddTask::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    // The window system reports its frame late; follow it so the whole window keeps its height.
    if (isVisible() && !m_applyingHeight
        && frameGeometry().height() - height() != m_frameExtraHeight)
        applyHeight();
}

int TfrmAddTask::heightFor(bool advExpanded, bool notesExpanded, qreal dotsPerInch)
{
    int h = 119;
    if (advExpanded && notesExpanded)
        h = 270;
    else if (advExpanded)
        h = 163;
    else if (notesExpanded)
        h = 246;
    // Rounded to the nearest pixel, halves to the even one (the default rounding mode).
    return int(std::lrint(h * dotsPerInch / 96.0));
}

qreal TfrmAddTask::screenDotsPerInch() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInch() : 96.0;
}

void TfrmAddTask::applyHeight()
{
    m_applyingHeight = true;
    if (isVisible()) {
        const int extraH = frameGeometry().height() - height();
        const int extraW = frameGeometry().width() - width();
        if (extraH >= 0)
            m_frameExtraHeight = extraH;
        if (extraW >= 0)
            m_frameExtraWidth = extraW;
    }
    PanelManager1->arrange();
    const int windowHeight = heightFor(PanelManager1->isExpanded(AdvPanel),
                                       PanelManager1->isExpanded(NotesPanel), screenDotsPerInch());
    // A tall window frame must not cut off the fields.
    const int content = kUpperHeight + PanelManager1->height();
    const int client = std::max(windowHeight - m_frameExtraHeight, content);
    if (minimumSize() != QSize(kClientWidth, client) || maximumSize() != QSize(kClientWidth, client))
        setFixedSize(kClientWidth, client);
    m_applyingHeight = false;
}

void TfrmAddTask::centreOnScreen()
{
    const QScreen* s = m_host ? m_host->hostWindow()->screen() : nullptr;
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect frame(0, 0, width() + m_frameExtraWidth, height() + m_frameExtraHeight);
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
}

void TfrmAddTask::PanelManager1PanelChange(TPanelManager*, QWidget*)
{
    if (PanelManager1->isExpanded(NotesPanel))
        showHeldNotes();
    applyHeight();
}

void TfrmAddTask::edtDateChange()
{
    if (!edtDate->text().isEmpty()) {
        setFieldEnabled(edtTime, true);
        setFieldEnabled(cboTaskType, true);
        chkEnableAlarm->setEnabled(true);
        return;
    }
    edtTime->blank();
    setFieldEnabled(edtTime, false);
    setFieldEnabled(cboTaskType, false);
    cboTaskType->setCurrentIndex(0);
    chkEnableAlarm->setChecked(false);
    chkEnableAlarm->setEnabled(false);
}

void TfrmAddTask::mmoNotesChange()
{
    colourNotesTab();
}

void TfrmAddTask::btnShowCalClick()
{
    const bool monday = m_host && m_host->settings().StartCalMonday;
    CalComp1->setFirstday(monday ? TCalComp::sdMonday : TCalComp::sdSunday);
    ShowCalendar();
}

bool TfrmAddTask::calendarStart(int& day, int& month, int& year)
{
    const LocaleFormats& formats = LocaleFormats::current();
    const QDate today = Clock::instance().today();
    QString text = edtDate->text().left(10);
    if (text.isEmpty())
        text = formats.formatDate(today);

    // Three parts at the date separator; the last one takes whatever follows.
    const QChar sep = formats.dateSeparator();
    QString parts[3];
    const qsizetype first = text.indexOf(sep);
    const qsizetype second = first < 0 ? -1 : text.indexOf(sep, first + 1);
    parts[0] = first < 0 ? text : text.left(first);
    if (first >= 0)
        parts[1] = second < 0 ? text.mid(first + 1) : text.mid(first + 1, second - first - 1);
    if (second >= 0)
        parts[2] = text.mid(second + 1);

    const bool dayFirst = m_host ? m_host->dayFirst() : formats.dayFirst();
    int numbers[3];
    try {
        for (int i = 0; i < 3; ++i)
            numbers[i] = strToInt(parts[i]);
    } catch (const std::invalid_argument& e) {
        MessageBox::showError(this, QString::fromStdString(e.what()));
        return false;
    }
    day = dayFirst ? numbers[0] : numbers[1];
    month = dayFirst ? numbers[1] : numbers[0];
    year = numbers[2];
    // Four-digit years are meant as written; short ones fall within 50 years of today.
    if (digitCount(parts[2]) <= 2)
        year = windowTwoDigitYear(year, today.year());
    if (day > 31 || month > 12) {
        day = today.day();
        month = today.month();
    }
    return true;
}

void TfrmAddTask::ShowCalendar()
{
    int day = 0;
    int month = 0;
    int year = 0;
    if (!calendarStart(day, month, year))
        return;
    QDate start(year, month, day);
    if (!start.isValid() || year < 1 || year > 9999)
        start = Clock::instance().today();
    CalComp1->setDate(start);
    if (!CalComp1->execute())
        return;

    const QString sep(LocaleFormats::current().dateSeparator());
    const QString d = QString::number(CalComp1->day());
    const QString m = QString::number(CalComp1->month());
    const QString yy = QStringLiteral("%1").arg(CalComp1->year() % 100, 2, 10, QLatin1Char('0'));
    const bool dayFirst = m_host ? m_host->dayFirst() : LocaleFormats::current().dayFirst();
    edtDate->setText(dayFirst ? d + sep + m + sep + yy : m + sep + d + sep + yy);
}

void TfrmAddTask::btnOKClick()
{
    if (!m_host)
        return;
    if (edtTask->text().isEmpty()) {
        MessageBox::show(this, MessageBox::Kind::Warning, kNoDescription);
        edtTask->setFocus(Qt::OtherFocusReason);
        return;
    }
    const LocaleFormats& formats = LocaleFormats::current();
    if (!edtDate->text().isEmpty()
        && !formats.parseDate(edtDate->text(), Clock::instance().today()).isValid()) {
        MessageBox::show(this, MessageBox::Kind::Error, kBadDate);
        edtDate->clear();
        return;
    }
    if (!edtTime->isBlankDisplay() && !formats.parseTime(edtTime->displayText())) {
        MessageBox::show(this, MessageBox::Kind::Error, kBadTime);
        edtTime->blank();
        return;
    }

    TTextGrid* grid = m_host->taskGrid();
    // A full grid takes no row at the top: the new task would overwrite the first one.
    if (!m_editing && grid->RowCount() >= CellStore::kMaxRows) {
        MessageBox::show(this, MessageBox::Kind::Warning, kListFull.arg(CellStore::kMaxRows - 1));
        return;
    }
    int row = 1;
    if (m_editing) {
        row = std::max(1, grid->Selection().top());
    } else if (grid->RowCount() <= 2 && grid->Cells(TaskCol::Task, 1).isEmpty()) {
        if (grid->RowCount() < 2)
            grid->setRowCount(2);
        // The placeholder row becomes the task; nothing of an earlier task may linger in it.
        grid->ClearRows(1, 1);
    } else {
        grid->InsertRows(1, 1);
    }

    try {
        writeRow(row);
    } catch (const std::exception&) {
        MessageBox::show(this, MessageBox::Kind::Plain, kAddFailed);
    }

    if (!grid->Cells(TaskCol::Notes, row).isEmpty())
        grid->SetCellImage(TaskCol::Task, row, 1, 1, 0);
    else
        grid->RemoveCellImage(TaskCol::Task, row);

    accept();

    if (m_editing && m_host->settings().FloatEditedTask && row > 1) {
        // Step by step, so that the rows in between keep their order.
        for (int r = row; r > 1; --r)
            grid->SwapRows(r, r - 1);
        grid->setRow(1);
    }

    m_host->SaveTaskList();
    m_host->RecordFileTimes();
    m_host->UpdateTaskCount();
}

void TfrmAddTask::writeRow(int row)
{
    TTextGrid* grid = m_host->taskGrid();
    const LocaleFormats& formats = LocaleFormats::current();

    grid->setCells(TaskCol::Task, row, edtTask->text());

    QString date;
    if (!edtDate->text().isEmpty()) {
        const QDate due = formats.parseDate(edtDate->text(), Clock::instance().today());
        if (!due.isValid())
            throw std::runtime_error("due date");
        date = formats.formatDate(due);
    }
    grid->setCells(TaskCol::DueDate, row, date);

    const std::optional<QString> time = edtTime->storedText();
    if (!time)
        throw std::runtime_error("due time");
    grid->setCells(TaskCol::DueTime, row, *time);

    grid->setCells(TaskCol::Category, row, cboCategory->currentText());

    const QString priority = edtPriority->currentText();
    grid->setCells(TaskCol::Priority, row,
                   (priority.isEmpty() || priority == QLatin1String(" ")) ? kEmptyPriority : priority);

    // Notes still held were not shown, so not changed: they go back exactly as they came.
    grid->setCells(TaskCol::Notes, row, m_notesHeld ? m_heldNotes : cellText(mmoNotes->toPlainText()));
    grid->setCells(TaskCol::CreateDate, row, lblCreateDate->text());
    grid->setCells(TaskCol::Alarm, row, chkEnableAlarm->isChecked() ? kAlarmOn : QString());
    grid->setCells(TaskCol::Type, row, QString::number(std::max(0, cboTaskType->currentIndex())));
}

} // namespace veltry
