#include "history/fAdvSortHelp.h"
#include "platform/WindowPlacement.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace veltry {

TfrmAdvSortHelp::TfrmAdvSortHelp(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAdvSortHelp"));
    setWindowTitle(QStringLiteral("Advanced Sorting Explained"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(301, 230);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);
    QFont bold = f;
    bold.setBold(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(6, 6, 289, 184);

    // Line breaks where the text always had them; nothing is wrapped anew.
    auto label = [this](const char* name, const QString& text, const QFont& font, int y, int height) {
        auto* l = new QLabel(text, Panel1);
        l->setObjectName(QLatin1String(name));
        l->setFont(font);
        l->setWordWrap(false);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setGeometry(8, y, 275, height);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Primary and Secondary Keys"), bold, 8, 16);
    Label2 = label("Label2",
                   QStringLiteral("Your task list will first be sorted by the primary key. If\n"
                                  "two or more tasks have an identical primary key, the\n"
                                  "secondary key will also be used to help correctly\n"
                                  "order the tasks."),
                   f, 24, 60);
    Label3 = label("Label3", QStringLiteral("Example"), bold, 88, 16);
    Label4 = label("Label4",
                   QStringLiteral("You may choose \"priority\" as the primary key, and\n"
                                  "\"due date\" as the secondary key. Your tasks will\n"
                                  "first be sorted according to priority. However, within\n"
                                  "the same priority level, the tasks will be sub-sorted\n"
                                  "according to their due date."),
                   f, 104, 74);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry(113, 198, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAdvSortHelp::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    BitBtn1->setFocus();
}

} // namespace veltry
