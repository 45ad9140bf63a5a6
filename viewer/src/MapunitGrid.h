#pragma once

// A report tab's map unit grid: a table view over its own clone of the program's map unit
// list. Clones share rows, so a tick made in one tab's grid is a tick in the other's.

#include <QAbstractTableModel>
#include <QObject>

#include <memory>
#include <vector>

class QTableView;

// Kept out of this header: moc cannot read the C++20 of the record sets.
namespace qln::ado {
class Recordset;
}

namespace qln::viewer {

// The list's rows as the grid shows them: the tick (the list's Selected field), Survey
// Area, Map Unit and Map Unit Name. Sorting sets the clone's sort; rows stay in place while
// their ticks change.
class MapunitListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Tick, SurveyArea, MapUnit, MapUnitName, ColumnCount };

    explicit MapunitListModel(QObject* parent = nullptr);
    ~MapunitListModel() override;

    // Binds a clone of the list; a closed record set empties the grid.
    void setList(const ado::Recordset& list);
    // The grid's own record set, with the grid's sort and filter.
    const ado::Recordset& rows() const { return *m_rows; }
    // Shows only the ticked rows as they are now, or every row again.
    void showTicked(bool only);
    // Ticks or unticks every row shown.
    void tickAll(bool tick);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // Positions the grid's cursor on the row; false when there is none.
    bool moveTo(int row) const;

    // Closed while no list is bound.
    std::unique_ptr<ado::Recordset> m_rows;
};

// The grid of one report tab and its three list procedures.
class MapunitGrid : public QObject {
    Q_OBJECT
public:
    explicit MapunitGrid(QTableView* view);

    QTableView* view() const { return m_view; }
    MapunitListModel& model() { return m_model; }

    // Shows a clone of the list. widths holds the remembered widths of the tick, Survey Area
    // and Map Unit columns; empty, they are taken from this first fill.
    void bind(const ado::Recordset& list, std::vector<int>& widths);
    // Ticks or unticks every row the grid shows.
    void SetAllRows(bool tick);
    // Shows only the ticked rows, or (only false) every row again.
    void ShowSelectedRows(bool only = true);
    // The selected-map-units record set (musym, mukey) of the ticked rows in grid order.
    ado::Recordset GetSelectedRS() const;

private:
    QTableView* m_view;
    MapunitListModel m_model;
};

} // namespace qln::viewer
