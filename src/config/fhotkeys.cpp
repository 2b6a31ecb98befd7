#include "config/fhotkeys.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace veltry {

const TfrmHotKeys::Row TfrmHotKeys::kRows[14] = {
    {"ALT+X", "exit application"},
    {"ALT+M", "minimize to system tray"},
    {"ALT+C, SPACE", "check/uncheck task"},
    {"ALT+A, INS, +", "add new task"},
    {"ALT+R, DEL, -", "remove selected task"},
    {"ALT+E", "edit selected task"},
    {"ALT+W", "auto-fit column widths"},
    {"ALT+F", "find text"},
    {"F3, SHIFT+F3", "find next, find previous"},
    {"ALT+S", "advanced sort"},
    {"ALT+L", "log completed tasks"},
    {"ALT+V", "view task history"},
    {"CTRL+Z", "undo"},
    {"CTRL+Y", "redo (also CTRL+SHIFT+Z)"},
};

TfrmHotKeys::TfrmHotKeys(QWidget* parent, QTimer* alarmTimer) : QDialog(parent), m_alarmTimer(alarmTimer)
{
    setObjectName(QStringLiteral("frmHotKeys"));
    setWindowTitle(QStringLiteral("Veltry Hotkeys"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(269, 294);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(12);
    setFont(f);

    pnlKeys = new QFrame(this);
    pnlKeys->setObjectName(QStringLiteral("pnlKeys"));
    pnlKeys->setFrameShape(QFrame::Panel);
    pnlKeys->setFrameShadow(QFrame::Sunken);
    pnlKeys->setGeometry(8, 8, 253, 247);

    constexpr int kTop = 6;
    constexpr int kRowHeight = 16;
    constexpr int kKeysLeft = 8;
    constexpr int kKeysWidth = 86;
    constexpr int kActionRight = 245;
    int y = kTop;
    for (const Row& row : kRows) {
        auto* keys = new QLabel(QString::fromLatin1(row.keys), pnlKeys);
        QFont bold = f;
        bold.setBold(true);
        keys->setFont(bold);
        keys->setGeometry(kKeysLeft, y, kKeysWidth, kRowHeight);

        auto* action = new QLabel(QString::fromLatin1(row.action), pnlKeys);
        const int actionWidth = action->fontMetrics().horizontalAdvance(action->text()) + 2;
        const int actionLeft = kActionRight - actionWidth;
        action->setGeometry(actionLeft, y, actionWidth, kRowHeight);

        // The leader fills whatever room is left between the two texts.
        auto* leader = new QLabel(QStringLiteral(". . . . . . . . . . . . ."), pnlKeys);
        leader->setForegroundRole(QPalette::Mid);
        leader->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const int leaderLeft = kKeysLeft + kKeysWidth;
        leader->setGeometry(leaderLeft, y, std::max(0, actionLeft - 4 - leaderLeft), kRowHeight);

        keyLabels.append(keys);
        actionLabels.append(action);
        y += 17;
    }

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnOK->setGeometry(97, 263, 75, 23);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TfrmHotKeys::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TfrmHotKeys::FormActivate()
{
    if (m_alarmTimer)
        m_alarmTimer->stop();
}

} // namespace veltry
