#pragma once

#include <QAccessibleWidget>

namespace veltry {

class TFlatButton;

// A flat button as a push button: named by its caption, or by its hint where it shows none; its
// press action clicks it.
class TFlatButtonAccessible final : public QAccessibleWidget
{
public:
    explicit TFlatButtonAccessible(TFlatButton* button);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    TFlatButton* button() const;
};

} // namespace veltry
