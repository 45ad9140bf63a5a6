#include "MapunitGrid.h"

#include "quillon/ado/Recordset.h"
#include "quillon/viewer/MapunitList.h"

#include <QHeaderView>
#include <QTableView>

namespace qln::viewer {
namespace {

constexpr const char* kFields[] = {"Selected", "Survey Area", "Map Unit", "Map Unit Name"};

bool isTicked(const Variant& value)
{
    return value.number().value_or(0) != 0;
}

} // namespace

MapunitListModel::MapunitListModel(QObject* parent)
    : QAbstractTableModel(parent), m_rows(std::make_unique<ado::Recordset>())
{
}

MapunitListModel::~MapunitListModel() = default;

void MapunitListModel::setList(const ado::Recordset& list)
{
    beginResetModel();
    *m_rows = list.isOpen() ? list.clone() : ado::Recordset();
    endResetModel();
}

void MapunitListModel::showTicked(bool only)
{
    if (!m_rows->isOpen()) return;
    beginResetModel();
    ShowSelectedRows(*m_rows, only);
    endResetModel();
}

void MapunitListModel::tickAll(bool tick)
{
    if (!m_rows->isOpen()) return;
    TickShownRows(*m_rows, tick);
    if (rowCount() > 0) emit dataChanged(index(0, Tick), index(rowCount() - 1, Tick), {Qt::CheckStateRole});
}

bool MapunitListModel::moveTo(int row) const
{
    if (!m_rows->isOpen() || row < 0 || row >= m_rows->recordCount()) return false;
    m_rows->setAbsolutePosition(row + 1);
    return true;
}

int MapunitListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_rows->isOpen() ? 0 : static_cast<int>(m_rows->recordCount());
}

int MapunitListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MapunitListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !moveTo(index.row())) return {};
    if (index.column() == Tick)
        return role == Qt::CheckStateRole ? QVariant(isTicked(m_rows->value("Selected")) ? Qt::Checked : Qt::Unchecked)
                                          : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return QString::fromStdString(m_rows->value(kFields[index.column()]).text());
}

QVariant MapunitListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
    return section == Tick ? QString() : QString(kFields[section]);
}

Qt::ItemFlags MapunitListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == Tick ? flags | Qt::ItemIsUserCheckable : flags;
}

bool MapunitListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != Tick || !moveTo(index.row())) return false;
    // Every grid over the list sees the tick.
    TickRow(*m_rows, value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void MapunitListModel::sort(int column, Qt::SortOrder order)
{
    if (!m_rows->isOpen() || column < 0 || column >= ColumnCount) return;
    emit layoutAboutToBeChanged();
    m_rows->setSort("[" + std::string(kFields[column]) + "]" + (order == Qt::AscendingOrder ? " ASC" : " DESC"));
    emit layoutChanged();
}

MapunitGrid::MapunitGrid(QTableView* view) : QObject(view), m_view(view)
{
    m_view->setModel(&m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSortingEnabled(true);
    // Until the user sorts, rows keep the survey's sort order.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
}

void MapunitGrid::bind(const ado::Recordset& list, std::vector<int>& widths)
{
    m_model.setList(list);
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    // The name column takes the rest of the grid's width.
    if (widths.empty()) {
        for (int column : {MapunitListModel::Tick, MapunitListModel::SurveyArea, MapunitListModel::MapUnit}) {
            m_view->resizeColumnToContents(column);
            widths.push_back(m_view->columnWidth(column));
        }
    }
    for (int i = 0; i < static_cast<int>(widths.size()) && i < 3; ++i)
        m_view->setColumnWidth(MapunitListModel::Tick + i, widths[static_cast<std::size_t>(i)]);
}

void MapunitGrid::SetAllRows(bool tick)
{
    m_view->hide();
    m_model.tickAll(tick);
    m_view->show();
}

void MapunitGrid::ShowSelectedRows(bool only)
{
    m_model.showTicked(only);
}

ado::Recordset MapunitGrid::GetSelectedRS() const
{
    return viewer::GetSelectedRS(m_model.rows());
}

} // namespace qln::viewer
