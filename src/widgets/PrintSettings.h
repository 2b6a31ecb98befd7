#pragma once

#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QString>

namespace veltry {

// Where a header or footer text goes on every printed page.
enum TPrintPosition : quint8 {
    ppNone = 0,
    ppTopLeft = 1,
    ppTopRight = 2,
    ppTopCenter = 3,
    ppBottomLeft = 4,
    ppBottomRight = 5,
    ppBottomCenter = 6,
};

enum TPrintBorders : quint8 { pbNoborder = 0, pbSingle = 1, pbDouble = 2 };

// How a grid prints. Lengths are in 0.1 mm, the unit of the printed page.
struct TPrintsettings
{
    TPrintPosition Time = ppNone;
    TPrintPosition Date = ppNone;
    TPrintPosition PageNr = ppNone;
    TPrintPosition Title = ppNone;
    QFont Font;
    QColor FontColor{0, 0, 0};  // a QFont carries no colour
    TPrintBorders Borders = pbNoborder;
    QString TitleText;
    bool Centered = false;
    bool RepeatHeaders = false;
    int FooterSize = 0;
    int HeaderSize = 0;
    int LeftSize = 0;
    int RightSize = 0;
    int ColumnSpacing = 0;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    QString PagePrefix = QStringLiteral("page");
    int FixedHeight = 0;
    bool UseFixedHeight = false;
    int FixedWidth = 0;
    bool UseFixedWidth = false;
};

} // namespace veltry
