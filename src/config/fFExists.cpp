#include "config/fFExists.h"

#include "platform/DialogFrame.h"
#include "platform/WindowPlacement.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace veltry {

namespace {
const char* const kNoteLines[5] = {
    "\"Loading\" will overwrite the to-do list currently in",
    "memory, whereas \"saving\" will overwrite the to-do list",
    "currently stored at this location.",
    "If you don't wish to do either, please press \"Cancel\"",
    "and choose a new alternate file location.",
};
} // namespace

TfrmFileExists::TfrmFileExists(const QString& directory, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFileExists"));
    setWindowTitle(QStringLiteral("Warning: File Already Exists"));
    setUpDialogFrame(this);
    QFont bold = font();
    bold.setBold(true);

    constexpr int kWidth = 330;
    Label1 = new QLabel(QStringLiteral("A Veltry Pro data file already exists at:"), this);
    Label1->setGeometry(12, 10, kWidth - 24, 16);
    lblDirectory = new QLabel(directory, this);
    lblDirectory->setObjectName(QStringLiteral("lblDirectory"));
    lblDirectory->setFont(bold);
    lblDirectory->setTextFormat(Qt::PlainText);
    lblDirectory->setWordWrap(true);
    // A long folder name takes the lines it needs rather than being cut off.
    const int dirHeight = std::max(16, lblDirectory->heightForWidth(kWidth - 24));
    lblDirectory->setGeometry(12, 28, kWidth - 24, dirHeight);
    int y = 28 + dirHeight + 8;
    Label2 = new QLabel(QStringLiteral("Would you like to load the existing to-do list, or save over it?"), this);
    Label2->setWordWrap(true);
    const int askHeight = std::max(16, Label2->heightForWidth(kWidth - 24));
    Label2->setGeometry(12, y, kWidth - 24, askHeight);
    y += askHeight + 10;

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Label3 = new QLabel(QStringLiteral("Note:"), Panel1);
    Label3->setFont(bold);
    Label3->move(8, 6);
    Label3->adjustSize();
    QStringList lines;
    for (const char* line : kNoteLines)
        lines << QString::fromLatin1(line);
    Label4 = new QLabel(lines.join(QLatin1Char('\n')), Panel1);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setTextFormat(Qt::PlainText);
    Label4->move(8, 6 + Label3->height() + 2);
    Label4->adjustSize();
    const int panelWidth = std::max(kWidth - 24, Label4->width() + 16);
    const int panelHeight = Label4->y() + Label4->height() + 8;
    Panel1->setGeometry(12, y, panelWidth, panelHeight);
    y += panelHeight + 12;

    const int width = panelWidth + 24;
    btnSave = new QPushButton(QStringLiteral("&Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnLoad = new QPushButton(QStringLiteral("&Load"), this);
    btnLoad->setObjectName(QStringLiteral("btnLoad"));
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    int x = width - 12 - 3 * 75 - 2 * 6;
    for (QPushButton* b : {btnSave, btnLoad, btnCancel}) {
        b->setGeometry(x, y, 75, 25);
        b->setAutoDefault(false);
        x += 81;
    }
    // Enter must not overwrite anything by accident: it answers Cancel.
    btnCancel->setDefault(true);
    setFixedSize(width, y + 25 + 10);

    connect(btnSave, &QPushButton::clicked, this, [this] { m_answer = Save; accept(); });
    connect(btnLoad, &QPushButton::clicked, this, [this] { m_answer = Load; accept(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { m_answer = Cancel; reject(); });
}

TfrmFileExists::Answer TfrmFileExists::ask()
{
    m_answer = Cancel;
    centreOnScreen(this);
    return exec() == QDialog::Accepted ? m_answer : Cancel;
}

} // namespace veltry
