#include "tray/TrayT1.h"

#include "platform/AppIcons.h"
#include "platform/core/Settings.h"
#include "platform/core/Clock.h"
#include "tray/SingleInst.h"
#include "tray/TrayIcon.h"
#include "widgets/CalComp.h"
#include "widgets/PopupCal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>

namespace veltry {

namespace {
TForm1* g_mainForm = nullptr;

// A calendar leaf with the day number, drawn for the size the tray asks for.
QPixmap drawDayPicture(int day, int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal s = side / 16.0;
    const QRectF leaf(0.5 * s, 0.5 * s, 15 * s, 15 * s);
    p.setPen(QPen(QColor(64, 64, 64), s));
    p.setBrush(Qt::white);
    p.drawRoundedRect(leaf, 1.5 * s, 1.5 * s);
    const QRectF band(leaf.left(), leaf.top(), leaf.width(), 4 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawRoundedRect(band, 1.5 * s, 1.5 * s);
    p.drawRect(QRectF(band.left(), band.top() + 2 * s, band.width(), 2 * s));
    p.setPen(QPen(QColor(64, 64, 64), s));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(leaf, 1.5 * s, 1.5 * s);

    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setBold(true);
    font.setPixelSize(qRound(10 * s));
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.5 * s);
    p.setFont(font);
    p.setPen(Qt::black);
    const QRectF digits(leaf.left(), band.bottom() - 0.5 * s, leaf.width() + 0.5 * s, leaf.bottom() - band.bottom() + s);
    p.drawText(digits, Qt::AlignCenter, QString::number(day));
    return pm;
}
} // namespace

TForm1::TForm1(const TPreviousInstance* previous, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Placeholder Form"));
    setToolTip(QStringLiteral("Veltry"));
    g_mainForm = this;

    imgDay.add(QPixmap(16, 16));
    for (int d = 1; d <= 31; ++d)
        imgDay.add([d](QSize pixels) { return drawDayPicture(d, pixels.width()); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    mnuRestore = PopupMenu1->addAction(QStringLiteral("&Veltry"), this, &TForm1::mnuRestoreClick);
    mnuRestore->setObjectName(QStringLiteral("mnuRestore"));
    Calendar1 = PopupMenu1->addAction(QStringLiteral("&Calendar"), this, &TForm1::Calendar1Click);
    Calendar1->setObjectName(QStringLiteral("Calendar1"));
    N1 = PopupMenu1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    mnuEnableAlarms = PopupMenu1->addAction(QStringLiteral("Enable &Alarms"), this, &TForm1::mnuEnableAlarmsClick);
    mnuEnableAlarms->setObjectName(QStringLiteral("mnuEnableAlarms"));
    mnuEnableAlarms->setCheckable(true);
    mnuEnableAlarms->setChecked(true);
    N2 = PopupMenu1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    mnuExit = PopupMenu1->addAction(QStringLiteral("&Exit"), this, &TForm1::mnuExitClick);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));

    SingleInstance1 = new TSingleInstance(previous, this);
    SingleInstance1->setObjectName(QStringLiteral("SingleInstance1"));
    connect(SingleInstance1, &TSingleInstance::showRequested, this,
            [this](const QString& activationToken) { showTaskWindow(activationToken); });

    CalComp1 = new TCalComp(this);
    CalComp1->setObjectName(QStringLiteral("CalComp1"));
    const QPalette pal = QApplication::palette();
    CalComp1->setColor(pal.color(QPalette::Button));
    CalComp1->setTextColor(Qt::black);
    CalComp1->setSelectColor(pal.color(QPalette::Highlight));
    CalComp1->setInversColor(Qt::white);
    CalComp1->setWeekendColor(Qt::black);
    CalComp1->setShowMethod(TCalComp::smTop);
    CalComp1->setNameofDays({QStringLiteral("Mo"), QStringLiteral("Tu"), QStringLiteral("We"), QStringLiteral("Th"),
                             QStringLiteral("Fr"), QStringLiteral("Sa"), QStringLiteral("Su")});
    CalComp1->setNameofMonths({QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"), QStringLiteral("Apr"),
                               QStringLiteral("May"), QStringLiteral("Jun"), QStringLiteral("Jul"), QStringLiteral("Aug"),
                               QStringLiteral("Sep"), QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")});
    CalComp1->setFirstday(TCalComp::sdSunday);

    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->SetPicture(AppIcons::programIcon());
    TrayIcon1->SetPopupMenu(PopupMenu1);
    TrayIcon1->SetShowHint(true);
    TrayIcon1->SetHint(QStringLiteral("Veltry Professional"));
    TrayIcon1->OnClick = [this](TTrayIcon* sender) { TrayIcon1Click(sender); };
    TrayIcon1->OnDblClick = [this](TTrayIcon* sender) { TrayIcon1Click(sender); };
    TrayIcon1->SetVisible(true);

    FormCreate();
}

TForm1::~TForm1()
{
    // The tray entry goes before the menu it exports.
    delete TrayIcon1;
    TrayIcon1 = nullptr;
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

TForm1* TForm1::mainForm()
{
    return g_mainForm;
}

void TForm1::setTaskWindow(TaskListHost* window)
{
    disconnect(m_alarmsFollow);
    m_taskWindow = window;
    // The tray menu shows the switch as it is: a panel drawing the menu reads the check mark
    // from the action, so it must follow every change, not only those made from the menu.
    if (window) {
        mnuEnableAlarms->setChecked(window->alarmsEnabled());
        QAction* item = mnuEnableAlarms;
        m_alarmsFollow = window->onAlarmsEnabledChanged(item, [item](bool on) { item->setChecked(on); });
    }
}

TaskListHost* TForm1::taskWindow() const
{
    return m_taskWindow;
}

void TForm1::FormCreate()
{
    // Off screen as well as hidden: nothing may ever show the placeholder by accident.
    move(-5000, 0);
    hide();
}

void TForm1::TrayIcon1Click(TTrayIcon*)
{
    showTaskWindow();
}

void TForm1::mnuRestoreClick()
{
    showTaskWindow();
}

void TForm1::showTaskWindow(const QString& activationToken)
{
    QWidget* window = m_taskWindow ? m_taskWindow->hostWindow() : nullptr;
    if (!window)
        return;
    // Qt's Wayland shell takes the token from the environment when the window asks for the
    // focus, and the token is good for one use: it is set only for this one request.
    const bool withToken = !activationToken.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (withToken)
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toLatin1());
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    // A dialog the user still has to answer stays in front of the window it belongs to.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) {
        modal->raise();
        modal->activateWindow();
    }
    if (withToken)
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

void TForm1::putAwayTaskWindow(QWidget* window)
{
    if (TTrayIcon::isTrayAvailable())
        window->hide();
    else
        window->showMinimized();
}

void TForm1::Calendar1Click()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(1024, 768);
    CalComp1->setLeft(size.width() - 150);
    CalComp1->setTop(size.height() - 170);
    const bool monday = m_taskWindow && m_taskWindow->settings().StartCalMonday;
    CalComp1->setFirstday(monday ? TCalComp::sdMonday : TCalComp::sdSunday);
    CalComp1->setDate(Clock::instance().today());
    CalComp1->execute();  // only for looking: a picked date is not used
}

void TForm1::mnuEnableAlarmsClick()
{
    if (!m_taskWindow) {
        mnuEnableAlarms->setChecked(true);
        return;
    }
    // The check mark follows through alarmsEnabledChanged.
    m_taskWindow->setAlarmsEnabled(!m_taskWindow->alarmsEnabled());
}

void TForm1::mnuExitClick()
{
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // The placeholder is the main form: closing it is the end of the run.
    event->accept();
    QCoreApplication::exit(0);
}

void TForm1::SaveTrayPicture()
{
    savedTrayPicture = TrayIcon1->Picture();
}

void TForm1::RestoreTrayPicture()
{
    TrayIcon1->SetPicture(savedTrayPicture);
    TrayIcon1->ShowInTray();
}

QIcon TForm1::dayIcon(int day) const
{
    if (day < 1 || day > 31)
        return QIcon();
    // Drawn when the day is first shown: most runs never show the day icon at all.
    QIcon& icon = m_dayIcons[size_t(day)];
    if (icon.isNull()) {
        icon.addPixmap(imgDay.image(day));
        for (int side : {22, 24, 32, 48})
            icon.addPixmap(drawDayPicture(day, side));
    }
    return icon;
}

int TForm1::shownDay() const
{
    const qint64 shown = TrayIcon1->systemTrayIcon()->icon().cacheKey();
    for (int d = 1; d <= 31; ++d)
        if (!m_dayIcons[size_t(d)].isNull() && m_dayIcons[size_t(d)].cacheKey() == shown)
            return d;
    return 0;
}

void TForm1::ShowDayIcon()
{
    const QIcon icon = dayIcon(Clock::instance().today().day());
    // The timer asks every second; the tray only needs telling when the day has changed.
    if (TrayIcon1->Visible() && TrayIcon1->systemTrayIcon()->icon().cacheKey() == icon.cacheKey())
        return;
    TrayIcon1->SetPicture(icon);
    TrayIcon1->ShowInTray();
}

} // namespace veltry
