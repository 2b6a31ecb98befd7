#include "app/fAbout.h"

#include "platform/AppIcons.h"
#include "platform/core/Version.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace veltry {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Veltry Professional"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(300, 178);

    auto* picture = new QLabel(this);
    picture->setPixmap(AppIcons::pixmap(QStringLiteral("veltry"), QSize(48, 48)));
    picture->setGeometry(16, 16, 48, 48);

    lblProduct = new QLabel(QStringLiteral("Veltry Professional"), this);
    lblProduct->setObjectName(QStringLiteral("lblProduct"));
    QFont big = font();
    big.setPixelSize(18);
    big.setBold(true);
    lblProduct->setFont(big);
    lblProduct->setGeometry(80, 16, 210, 26);

    lblVersion = new QLabel(QString::fromLatin1(kVersionText), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(80, 44, 210, 18);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(16, 76, 268, 2);

    auto* lblSiteCaption = new QLabel(QStringLiteral("Official Veltry website"), this);
    lblSiteCaption->setObjectName(QStringLiteral("lblSiteCaption"));
    lblSiteCaption->setGeometry(16, 88, 268, 18);

    // There is no public site to send anyone to: the link leads to the help that comes with
    // the program instead.
    lblWebsite = new QLabel(this);
    lblWebsite->setObjectName(QStringLiteral("lblWebsite"));
    lblWebsite->setText(QStringLiteral("<a href=\"help:contents\">Veltry Professional Help</a>"));
    lblWebsite->setTextFormat(Qt::RichText);
    lblWebsite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblWebsite->setCursor(Qt::PointingHandCursor);
    lblWebsite->setGeometry(16, 106, 268, 18);
    connect(lblWebsite, &QLabel::linkActivated, this, [this](const QString&) { lblWebsiteClick(); });

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnOK->setGeometry(112, 140, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    btnOK->setFocus();
}

void TfrmAbout::lblWebsiteClick()
{
    m_helpRequested = true;
    accept();
}

} // namespace veltry
