#include "alarms/fRemind.h"

#include "alarms/core/Recurrence.h"
#include "platform/MessageBox.h"
#include "platform/core/Clock.h"
#include "platform/core/LocaleFormats.h"
#include "store/TaskListHost.h"
#include "store/core/Task.h"
#include "tray/TrayIcon.h"
#include "tray/TrayT1.h"
#include "widgets/TextGrid.h"
#include "widgets/Accessibility.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace veltry {

const int TfrmReminder::kSnoozeSeconds[6] = {5 * 60, 15 * 60, 30 * 60, 60 * 60, 24 * 3600, 7 * 24 * 3600};

namespace {
std::function<void(TfrmReminder*)>& showHook()
{
    static std::function<void(TfrmReminder*)> hook;
    return hook;
}

// The window was laid out for a narrow sans serif; where that is missing, one of like widths
// keeps the captions clear of their values.
QFont windowFont(int points)
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Nimbus Sans")});
    f.setPointSize(points);
    return f;
}

QFont valueFont(int points, bool bold)
{
    QFont f = windowFont(points);
    f.setBold(bold);
    return f;
}

// A caption that ends at a fixed right edge, so it meets its value whatever the font's widths.
QLabel* rightLabel(QWidget* parent, const QString& text, int left, int top, int designedWidth)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignTop);
    const int width = std::max(designedWidth, l->sizeHint().width());
    // Inside the frame's border even when the font is wider than the one it was laid out for.
    const int x = std::max(2, left + designedWidth - width);
    l->setGeometry(x, top, width, l->sizeHint().height());
    return l;
}

QLabel* valueLabel(QWidget* parent, int left, int top, int width, const QFont& font)
{
    auto* l = new QLabel(parent);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(pal);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(left, top, width, QFontMetrics(font).height());
    return l;
}

QFrame* sunkenFrame(QWidget* parent, const QRect& geometry)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(geometry);
    return f;
}

QPushButton* button(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* b = new QPushButton(text, parent);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}
} // namespace

TfrmReminder::TfrmReminder(TTextGrid* taskGrid, QWidget* parent) : QDialog(parent), m_grid(taskGrid)
{
    setObjectName(QStringLiteral("frmReminder"));
    setWindowTitle(QStringLiteral("Task Due Reminder"));
    // No title-bar buttons; it stays above other windows so a due task is not missed.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(true);
    setFont(windowFont(8));
    setFixedSize(329, 136);
    // Screen readers read an alert out as it opens, with its description: the task and when it is due.
    setAccessibleRole(this, QAccessible::AlertMessage);

    Panel1 = sunkenFrame(this, QRect(8, 8, 313, 65));
    Panel1->setObjectName(QStringLiteral("Panel1"));
    const QFont bold9 = valueFont(9, true);
    Label5 = rightLabel(Panel1, QStringLiteral("Task:"), 18, 8, 27);
    lblTaskName = valueLabel(Panel1, 49, 8, 260, bold9);
    Label7 = rightLabel(Panel1, QStringLiteral("Due on:"), 8, 24, 37);
    lblDate = valueLabel(Panel1, 49, 24, 64, bold9);
    Label9 = rightLabel(Panel1, QStringLiteral("Requested by:"), 116, 24, 69);
    lblOwner = valueLabel(Panel1, 189, 24, 120, bold9);
    Label8 = rightLabel(Panel1, QStringLiteral("Due at:"), 10, 40, 35);
    lblTime = valueLabel(Panel1, 49, 40, 64, bold9);
    Label10 = rightLabel(Panel1, QStringLiteral("Priority:"), 151, 40, 34);
    lblPriority = valueLabel(Panel1, 188, 40, 121, bold9);

    btnSnooze = button(this, QStringLiteral("&Snooze"), QRect(8, 80, 65, 21));
    cboSnooze = new QComboBox(this);
    cboSnooze->setEditable(false);
    cboSnooze->addItems({QStringLiteral("5 minutes"), QStringLiteral("15 minutes"), QStringLiteral("30 minutes"),
                         QStringLiteral("1 hour"), QStringLiteral("1 day"), QStringLiteral("1 week")});
    cboSnooze->setGeometry(72, 80, 81, 21);
    btnCancelAlarm = button(this, QStringLiteral("&Cancel Alarm"), QRect(162, 80, 75, 21));
    btnRemoveTask = button(this, QStringLiteral("&Remove Task"), QRect(246, 80, 75, 21));

    pnlTaskType = sunkenFrame(this, QRect(8, 107, 155, 21));
    pnlTaskType->setObjectName(QStringLiteral("pnlTaskType"));
    Label1 = rightLabel(pnlTaskType, QStringLiteral("The task is:"), 7, 4, 54);
    // A one-time task disables the panel for input only: its caption keeps its look, as the type
    // beside it does.
    QPalette captionLook = Label1->palette();
    captionLook.setColor(QPalette::Disabled, QPalette::WindowText, captionLook.color(QPalette::Active, QPalette::WindowText));
    Label1->setPalette(captionLook);
    const int typeLeft = std::max(64, Label1->geometry().right() + 4);
    lblTaskType = valueLabel(pnlTaskType, typeLeft, 4, 155 - typeLeft - 2, valueFont(8, true));
    btnRollover = button(this, QStringLiteral("Rollover to next due date"), QRect(162, 107, 159, 21));
    btnRollover->setFont(valueFont(9, false));

    const std::pair<QWidget*, const char*> names[] = {
        {Label5, "Label5"}, {lblTaskName, "lblTaskName"}, {Label7, "Label7"}, {lblDate, "lblDate"},
        {Label9, "Label9"}, {lblOwner, "lblOwner"}, {Label8, "Label8"}, {lblTime, "lblTime"},
        {Label10, "Label10"}, {lblPriority, "lblPriority"}, {btnSnooze, "btnSnooze"}, {cboSnooze, "cboSnooze"},
        {btnCancelAlarm, "btnCancelAlarm"}, {btnRemoveTask, "btnRemoveTask"}, {Label1, "Label1"},
        {lblTaskType, "lblTaskType"}, {btnRollover, "btnRollover"}};
    for (const auto& [w, name] : names)
        w->setObjectName(QLatin1String(name));

    setTabOrder(btnSnooze, btnCancelAlarm);
    setTabOrder(btnCancelAlarm, cboSnooze);
    setTabOrder(cboSnooze, btnRemoveTask);
    setTabOrder(btnRemoveTask, btnRollover);

    connect(btnSnooze, &QPushButton::clicked, this, &TfrmReminder::btnSnoozeClick);
    connect(btnCancelAlarm, &QPushButton::clicked, this, &TfrmReminder::btnCancelAlarmClick);
    connect(btnRemoveTask, &QPushButton::clicked, this, &TfrmReminder::btnRemoveTaskClick);
    connect(btnRollover, &QPushButton::clicked, this, &TfrmReminder::btnRolloverClick);
    FormActivate();
}

TfrmReminder::~TfrmReminder() = default;

void TfrmReminder::setShowHook(std::function<void(TfrmReminder*)> hook)
{
    showHook() = std::move(hook);
}

void TfrmReminder::RaiseFor(TaskListHost* owner, int row, int typeIndex)
{
    TfrmReminder dlg(owner->taskGrid(), owner->hostWindow());
    dlg.OnTaskRemoved = [owner] {
        owner->SaveTaskList();
        owner->UpdateTaskCount();
    };
    const TTextGrid* grid = owner->taskGrid();
    dlg.lblTaskName->setText(grid->Cells(TaskCol::Task, row));
    dlg.lblTaskName->setToolTip(dlg.lblTaskName->text());  // a long description is cut off
    dlg.lblDate->setText(grid->Cells(TaskCol::DueDate, row));
    dlg.lblTime->setText(grid->Cells(TaskCol::DueTime, row));
    dlg.lblOwner->setText(grid->Cells(TaskCol::Category, row));
    dlg.lblPriority->setText(grid->Cells(TaskCol::Priority, row));
    // A type cell that names no type is shown and handled as one-time.
    const QStringList& types = Recurrence::typeNames();
    dlg.lblTaskType->setText(types.at(typeIndex >= 0 && typeIndex < types.size() ? typeIndex : 0));
    const bool recurring = typeIndex > 0;
    dlg.pnlTaskType->setEnabled(recurring);
    dlg.btnRollover->setEnabled(recurring);
    dlg.setTaskRow(row);
    // Seen on another workspace or over a busy screen too; a click brings the reminder forward.
    if (TForm1* main = TForm1::mainForm(); main && main->TrayIcon1) {
        QString due = dlg.lblDate->text();
        if (!dlg.lblTime->text().isEmpty())
            due += QLatin1Char(' ') + dlg.lblTime->text();
        main->TrayIcon1->Notify(dlg.windowTitle(),
                                dlg.lblTaskName->text() + (due.isEmpty() ? QString() : QStringLiteral("\nDue ") + due),
                                &dlg, [dialog = &dlg] {
                                    dialog->raise();
                                    dialog->activateWindow();
                                });
    }
    if (showHook()) {
        dlg.show();
        showHook()(&dlg);
        return;
    }
    dlg.exec();
}

void TfrmReminder::showEvent(QShowEvent* event)
{
    QString due = lblDate->text();
    if (!lblTime->text().isEmpty())
        due += (due.isEmpty() ? QString() : QStringLiteral(" ")) + lblTime->text();
    setAccessibleDescription(due.isEmpty() ? lblTaskName->text() : lblTaskName->text() + QStringLiteral(", due ") + due);
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    FormActivate();
    // A due task has to be noticed even when the program sits in the tray.
    raise();
    activateWindow();
    QApplication::beep();
}

void TfrmReminder::keyPressEvent(QKeyEvent* event)
{
    // There is no cancel button: Escape must not dismiss the reminder by accident.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmReminder::FormActivate()
{
    cboSnooze->setCurrentIndex(0);
}

bool TfrmReminder::rowIsValid() const
{
    return m_grid && m_row >= 1 && m_row < m_grid->RowCount();
}

void TfrmReminder::btnSnoozeClick()
{
    if (rowIsValid()) {
        const int index = std::clamp(cboSnooze->currentIndex(), 0, 5);
        // Wall-clock arithmetic: "1 day" is the same time tomorrow even across a clock change.
        const QDateTime now = Clock::instance().now();
        const QDateTime moment = QDateTime(now.date(), now.time(), Qt::UTC).addSecs(kSnoozeSeconds[index]);
        const LocaleFormats& f = LocaleFormats::current();
        m_grid->setCells(TaskCol::DueDate, m_row, f.formatDate(moment.date()));
        // The time is written without seconds, so the alarm comes back at the whole minute.
        m_grid->setCells(TaskCol::DueTime, m_row, f.formatTime(moment.time()));
    }
    accept();
}

void TfrmReminder::btnCancelAlarmClick()
{
    if (rowIsValid())
        m_grid->setCells(TaskCol::Alarm, m_row, QString());
    accept();
}

void TfrmReminder::btnRemoveTaskClick()
{
    if (MessageBox::show(this, MessageBox::Kind::Information, QStringLiteral("Remove this task?"),
                         QMessageBox::Ok | QMessageBox::Cancel)
        != QMessageBox::Ok)
        return;
    if (rowIsValid()) {
        if (m_grid->RowCount() - 1 > 1)
            m_grid->RemoveRows(m_row, 1);
        else
            m_grid->ClearRows(m_row, 1);  // the last task leaves the placeholder row
        if (OnTaskRemoved)
            OnTaskRemoved();
    }
    accept();
}

void TfrmReminder::btnRolloverClick()
{
    const Recurrence::Step step = Recurrence::stepFor(lblTaskType->text().toUpper());
    const QDateTime now = Clock::instance().now();
    const LocaleFormats& f = LocaleFormats::current();
    const QDate due = f.parseDate(lblDate->text(), now.date());
    if (rowIsValid() && due.isValid() && !step.isNone()) {
        m_grid->setCells(TaskCol::DueDate, m_row, f.formatDate(Recurrence::advance(due, step, now)));
        m_grid->setCells(TaskCol::DueTime, m_row, lblTime->text());
    }
    accept();
}

} // namespace veltry
