#include "app/TaskListView.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace kestrun {

namespace {

enum Column { kType = 0, kValue = 1, kEnabled = 2 };

}  // namespace

TaskListView::TaskListView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Value"), QStringLiteral("Enabled")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(kValue, QHeaderView::Stretch);
}

void TaskListView::SetRows(const std::vector<TaskRow>& rows)
{
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const TaskRow& row : rows)
        items.append(new QTreeWidgetItem({QString::fromStdString(row.type), QString::fromStdString(row.value),
                                          QString::fromStdString(row.enabled)}));
    addTopLevelItems(items);
}

TaskRow TaskListView::Row(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row - 1);
    if (!item)
        return {};
    return {item->text(kType).toStdString(), item->text(kValue).toStdString(), item->text(kEnabled).toStdString()};
}

std::vector<TaskRow> TaskListView::Rows() const
{
    std::vector<TaskRow> rows;
    for (int row = 1; row <= RowCount(); ++row)
        rows.push_back(Row(row));
    return rows;
}

int TaskListView::SelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? 0 : indexOfTopLevelItem(selected.constFirst()) + 1;
}

void TaskListView::SelectRow(int row)
{
    QTreeWidgetItem* item = topLevelItem(row - 1);
    if (!item) {
        clearSelection();
        return;
    }
    setCurrentItem(item);
    item->setSelected(true);
}

int TaskListView::RowAt(int y) const
{
    // Two pixels into the list, whatever the column, like a hit test at its edge.
    QTreeWidgetItem* item = itemAt(QPoint(2, y));
    return item ? indexOfTopLevelItem(item) + 1 : 0;
}

void TaskListView::SetEnabledText(int row, const std::string& text)
{
    if (QTreeWidgetItem* item = topLevelItem(row - 1))
        item->setText(kEnabled, QString::fromStdString(text));
}

void TaskListView::mousePressEvent(QMouseEvent* event)
{
    const int row = RowAt(event->position().toPoint().y());
    SelectRow(row);
    setFocus(Qt::MouseFocusReason);
    emit Pressed(event->button(), row, event->globalPosition().toPoint());
    event->accept();
}

}  // namespace kestrun
