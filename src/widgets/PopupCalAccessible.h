#pragma once

#include <QAccessibleWidget>
#include <QHash>

namespace veltry {

class TCalForm;

// The pop-up calendar as a table named by the month it shows: six weeks of days under the day
// names, or the twelve months while it offers them; the selected date is the selected, focused
// cell.
class TCalFormAccessible final : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TCalFormAccessible(TCalForm* form);
    ~TCalFormAccessible() override;

    void* interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override { return 1; }
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    // The child index of the selected day or month.
    int selectedIndex() const;

private:
    TCalForm* form() const;
    bool days() const;
    int headerCount() const { return days() ? 7 : 0; }
    QAccessibleInterface* part(int index) const;

    mutable QHash<int, QAccessible::Id> m_parts;
};

// The selected date moved, or the calendar turned between days and months.
void popupCalendarMoved(TCalForm* form);

} // namespace veltry
