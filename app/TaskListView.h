#pragma once

#include "document/TaskDocument.h"

#include <QTreeWidget>

#include <vector>

namespace kestrun {

/// The task list: a report-mode list with the columns "Type", "Value" and
/// "Enabled". Rows count from 1; 0 means no row. A mouse press anywhere in a
/// row, in any column, selects that row; a press below the last row clears
/// the selection.
class TaskListView final : public QTreeWidget {
    Q_OBJECT
public:
    explicit TaskListView(QWidget* parent = nullptr);

    /// Replaces every row.
    void SetRows(const std::vector<TaskRow>& rows);
    std::vector<TaskRow> Rows() const;
    TaskRow Row(int row) const;
    int RowCount() const { return topLevelItemCount(); }

    /// The selected row, or 0.
    int SelectedRow() const;
    /// Selects a row (0: none).
    void SelectRow(int row);
    /// The row at a height in the list's viewport, or 0.
    int RowAt(int y) const;

    void SetEnabledText(int row, const std::string& text);

signals:
    /// A mouse button went down over the list: the row under it (0: none,
    /// already selected) and the pointer's global position.
    void Pressed(Qt::MouseButton button, int row, QPoint globalPosition);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace kestrun
