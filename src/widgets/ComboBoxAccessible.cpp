#include "widgets/ComboBoxAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace veltry {

TComboBoxAccessible::TComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox)
{
}

QComboBox* TComboBoxAccessible::comboBox() const
{
    return static_cast<QComboBox*>(object());
}

void* TComboBoxAccessible::interface_cast(QAccessible::InterfaceType t)
{
    // An editable box has a line edit of its own to read.
    if (t == QAccessible::TextInterface && !comboBox()->isEditable())
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString TComboBoxAccessible::value() const
{
    return comboBox()->isEditable() && comboBox()->lineEdit() ? comboBox()->lineEdit()->text()
                                                               : comboBox()->currentText();
}

QString TComboBoxAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return value();
    if (t != QAccessible::Name)
        return QAccessibleWidget::text(t);
    if (!widget()->accessibleName().isEmpty())
        return widget()->accessibleName();
    // The caption of the label that names the box, without its access key and colon.
    const auto labels = relations(QAccessible::Label);
    for (const auto& [label, relation] : labels) {
        QString s = label->text(QAccessible::Name);
        s.remove(QLatin1Char('&'));
        if (s.endsWith(QLatin1Char(':')))
            s.chop(1);
        if (!s.trimmed().isEmpty())
            return s.trimmed();
    }
    return value();
}

QAccessible::State TComboBoxAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    const bool open = comboBox()->view() && comboBox()->view()->isVisible();
    s.expandable = true;
    s.expanded = open;
    s.collapsed = !open;
    s.hasPopup = true;
    s.editable = comboBox()->isEditable();
    s.readOnly = !comboBox()->isEditable();
    return s;
}

// The list, then the line edit of an editable box, as the toolkit's own boxes have them.
QList<QWidget*> TComboBoxAccessible::parts() const
{
    QList<QWidget*> out;
    if (comboBox()->view())
        out << comboBox()->view();
    if (comboBox()->isEditable() && comboBox()->lineEdit())
        out << comboBox()->lineEdit();
    return out;
}

int TComboBoxAccessible::childCount() const
{
    return int(parts().size());
}

QAccessibleInterface* TComboBoxAccessible::child(int index) const
{
    const QList<QWidget*> all = parts();
    return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all.at(index)) : nullptr;
}

int TComboBoxAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return child ? int(parts().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
}

QStringList TComboBoxAccessible::actionNames() const
{
    return {showMenuAction(), pressAction()};
}

void TComboBoxAccessible::doAction(const QString& name)
{
    if (name != showMenuAction() && name != pressAction())
        return;
    if (comboBox()->view() && comboBox()->view()->isVisible())
        comboBox()->hidePopup();
    else
        comboBox()->showPopup();
}

QString TComboBoxAccessible::text(int startOffset, int endOffset) const
{
    const QString v = value();
    startOffset = std::clamp(startOffset, 0, int(v.size()));
    endOffset = endOffset < 0 ? int(v.size()) : std::clamp(endOffset, startOffset, int(v.size()));
    return v.mid(startOffset, endOffset - startOffset);
}

int TComboBoxAccessible::characterCount() const
{
    return int(value().size());
}

} // namespace veltry
