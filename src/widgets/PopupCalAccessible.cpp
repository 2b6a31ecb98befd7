#include "widgets/PopupCalAccessible.h"

#include "widgets/AccessiblePart.h"
#include "widgets/Accessibility.h"
#include "widgets/PopupCal.h"

#include <QLocale>

namespace veltry {

namespace {

// One place of the calendar (a day name, a day, a month) by its child index; it shows what is at
// that place now.
class TCalPartAccessible final : public TAccessiblePart, public QAccessibleTableCellInterface
{
public:
    TCalPartAccessible(TCalForm* form, int index) : TAccessiblePart(form), m_index(index) {}

    bool isValid() const override { return TAccessiblePart::isValid() && table() && m_index < table()->childCount(); }
    QAccessible::Role role() const override { return isHeader() ? QAccessible::ColumnHeader : QAccessible::Cell; }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        if (isHeader())
            return form()->dayNameAt(m_index);
        if (form()->view() == TCalForm::View::Days)
            return QLocale().toString(date(), QLocale::LongFormat);
        return QLocale().monthName(month()) + QLatin1Char(' ') + QString::number(form()->selectedDate().year());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (isHeader())
            return s;
        s.selectable = s.focusable = true;
        s.selected = isSelected();
        s.focused = s.selected && form()->isVisible();
        return s;
    }
    QRect localRect() const override
    {
        if (!isValid())
            return {};
        const int w = form()->cellWidth();
        const int h = form()->cellHeight();
        QRect r;
        if (isHeader())
            r = QRect(m_index * w, TCalForm::HeaderHeight, w, h);
        else if (form()->view() == TCalForm::View::Days)
            r = QRect(columnIndex() * w, TCalForm::HeaderHeight + (rowIndex() + 1) * h, w, h);
        else
            r = QRect(columnIndex() * (TCalForm::ClientWidth / 4),
                      (rowIndex() + 1) * ((TCalForm::ClientHeight - TCalForm::HeaderHeight) / 4),
                      TCalForm::ClientWidth / 4, h);
        return r.translated(TCalForm::FrameWidth, TCalForm::FrameWidth);
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return TAccessiblePart::interface_cast(t);
    }
    QStringList actionNames() const override { return {}; }
    void doAction(const QString&) override {}

    bool isSelected() const override
    {
        if (!isValid() || isHeader())
            return false;
        return form()->view() == TCalForm::View::Days ? date() == form()->selectedDate()
                                                      : month() == form()->selectedDate().month();
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        if (isHeader() || form()->view() != TCalForm::View::Days || !table())
            return {};
        return {table()->child(columnIndex())};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return isHeader() ? m_index : cellIndex() % columns(); }
    int rowIndex() const override { return isHeader() ? -1 : cellIndex() / columns(); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    TCalForm* form() const { return static_cast<TCalForm*>(owner()); }
    bool days() const { return form()->view() == TCalForm::View::Days; }
    int columns() const { return days() ? 7 : 4; }
    bool isHeader() const { return days() && m_index < 7; }
    int cellIndex() const { return m_index - (days() ? 7 : 0); }
    QDate date() const { return form()->dateAt(columnIndex(), rowIndex()); }
    int month() const { return cellIndex() + 1; }

    int m_index;
};

} // namespace

TCalFormAccessible::TCalFormAccessible(TCalForm* form) : QAccessibleWidget(form, QAccessible::Table) {}

TCalFormAccessible::~TCalFormAccessible()
{
    for (QAccessible::Id id : std::as_const(m_parts))
        QAccessible::deleteAccessibleInterface(id);
}

TCalForm* TCalFormAccessible::form() const
{
    return static_cast<TCalForm*>(object());
}

bool TCalFormAccessible::days() const
{
    return form()->view() == TCalForm::View::Days;
}

void* TCalFormAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString TCalFormAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return form()->title();
    return QAccessibleWidget::text(t);
}

int TCalFormAccessible::rowCount() const
{
    return days() ? 6 : 3;
}

int TCalFormAccessible::columnCount() const
{
    return days() ? 7 : 4;
}

int TCalFormAccessible::childCount() const
{
    return headerCount() + rowCount() * columnCount();
}

QAccessibleInterface* TCalFormAccessible::part(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto it = m_parts.constFind(index);
    if (it != m_parts.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto* p = new TCalPartAccessible(form(), index);
    m_parts.insert(index, QAccessible::registerAccessibleInterface(p));
    return p;
}

QAccessibleInterface* TCalFormAccessible::child(int index) const
{
    return part(index);
}

int TCalFormAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (auto it = m_parts.cbegin(); it != m_parts.cend(); ++it)
        if (QAccessible::accessibleInterface(it.value()) == child)
            return it.key() < childCount() ? it.key() : -1;
    return -1;
}

QAccessibleInterface* TCalFormAccessible::childAt(int x, int y) const
{
    for (int i = 0; i < childCount(); ++i)
        if (QAccessibleInterface* c = part(i); c->rect().contains(x, y))
            return c;
    return nullptr;
}

QAccessibleInterface* TCalFormAccessible::cellAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    return part(headerCount() + row * columnCount() + column);
}

int TCalFormAccessible::selectedIndex() const
{
    const QDate selected = form()->selectedDate();
    if (!days())
        return selected.month() - 1;
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 7; ++column)
            if (form()->dateAt(column, row) == selected)
                return headerCount() + row * 7 + column;
    return -1;
}

QList<QAccessibleInterface*> TCalFormAccessible::selectedCells() const
{
    QAccessibleInterface* p = part(selectedIndex());
    return p ? QList<QAccessibleInterface*>{p} : QList<QAccessibleInterface*>();
}

QAccessibleInterface* TCalFormAccessible::focusChild() const
{
    return form()->isVisible() ? part(selectedIndex()) : nullptr;
}

QString TCalFormAccessible::columnDescription(int column) const
{
    return days() && column >= 0 && column < 7 ? form()->dayNameAt(column) : QString();
}

void popupCalendarMoved(TCalForm* form)
{
    if (!accessibleEventsHeard() || !form->isVisible())
        return;
    auto* iface = dynamic_cast<TCalFormAccessible*>(QAccessible::queryAccessibleInterface(form));
    const int index = iface ? iface->selectedIndex() : -1;
    if (index < 0)
        return;
    QAccessibleEvent focus(form, QAccessible::Focus);
    focus.setChild(index);
    sendAccessibleEvent(&focus);
    QAccessibleEvent selection(form, QAccessible::Selection);
    selection.setChild(index);
    sendAccessibleEvent(&selection);
}

} // namespace veltry
