#pragma once

#include <QAccessibleWidget>
#include <QHash>

namespace veltry {

class TCaptionFrame;

// The painted caption bar as a title bar named by the window's title, with its frame buttons
// (close, maximise, minimise, help) as push buttons.
class TCaptionFrameAccessible final : public QAccessibleWidget
{
public:
    explicit TCaptionFrameAccessible(TCaptionFrame* frame);
    ~TCaptionFrameAccessible() override;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    TCaptionFrame* frame() const;
    mutable QHash<int, QAccessible::Id> m_buttons;
};

} // namespace veltry
