#pragma once

#include <QWidget>

namespace veltry {

// The hidden placeholder created first: the application's main form, which lives for the whole
// run and owns the program-wide pieces that have no window of their own.
class TForm1 final : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
};

} // namespace veltry
