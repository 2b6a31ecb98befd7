#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace veltry {

// The about box: product name, version, and a link to the program's help.
class TfrmAbout final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    // Whether the box was closed by its link; the caller then opens the help. The help is a
    // window of its own, which this modal box would otherwise keep the user from reaching.
    bool helpRequested() const { return m_helpRequested; }

    QLabel* lblProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblWebsite = nullptr;
    QPushButton* btnOK = nullptr;

private:
    void lblWebsiteClick();

    bool m_helpRequested = false;
};

} // namespace veltry
