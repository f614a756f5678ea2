#include "CListView.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "GuiThread.h"

namespace khub::gui {

GameListModel::GameListModel(GameList& list, QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), list_(list), headers_(std::move(headers)), rows_(list.Rows()) {
    list_.SetObserver([this](GameList::Change change, int index) { OnChange(change, index); });
}

GameListModel::~GameListModel() {
    list_.SetObserver(nullptr);
}

void GameListModel::SetHeaders(QStringList headers) {
    beginResetModel();
    headers_ = std::move(headers);
    endResetModel();
}

void GameListModel::OnChange(GameList::Change change, int index) {
    AssertGuiThread("GameListModel::OnChange");
    const int size = static_cast<int>(rows_.size());
    switch (change) {
        case GameList::Change::Inserted:
            if (index < 0 || index > size) break;
            changing_ = true;
            beginInsertRows({}, index, index);
            rows_.insert(rows_.begin() + index, *list_.Row(index));
            endInsertRows();
            changing_ = false;
            return;
        case GameList::Change::Updated:
            if (index < 0 || index >= size || !list_.Row(index)) break;
            rows_[static_cast<std::size_t>(index)] = *list_.Row(index);
            emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
            return;
        case GameList::Change::Removed:
            if (index < 0 || index >= size) break;
            changing_ = true;
            beginRemoveRows({}, index, index);
            rows_.erase(rows_.begin() + index);
            endRemoveRows();
            changing_ = false;
            return;
        case GameList::Change::Cleared:
            break;
    }
    // Cleared, or a change the mirror cannot follow row by row: take the list as it is.
    changing_ = true;
    beginResetModel();
    rows_ = list_.Rows();
    endResetModel();
    changing_ = false;
}

int GameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant GameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const GameRow& row = rows_[static_cast<std::size_t>(index.row())];
    const std::string* cell = nullptr;
    switch (index.column()) {
        case 0:
            cell = &row.gameName;
            break;
        case 1:
            cell = &row.host;
            break;
        case 2:
            cell = &row.players;
            break;
        default:
            return {};
    }
    return QString::fromStdString(*cell);
}

QVariant GameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= headers_.size()) return {};
    return headers_[section];
}

CListView::CListView(GameList& list, QWidget* parent)
    : QTreeView(parent), list_(list), model_(new GameListModel(list, {}, this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    // A view in single selection selects the next row when the selected one goes; the
    // core list selects none then, and the view must show that.
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &CListView::ShowListSelection);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &CListView::ShowListSelection);
    connect(model_, &QAbstractItemModel::modelReset, this, &CListView::ShowListSelection);
}

CListView::~CListView() = default;

void CListView::mousePressEvent(QMouseEvent* event) {
    // A press on empty space drops the selection, as a report list does.
    if (!indexAt(event->position().toPoint()).isValid()) clearSelection();
    QTreeView::mousePressEvent(event);
}

void CListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    if (suppressRelease_) {
        suppressRelease_ = false;
        return;
    }
    if (notify_) notify_(Notification::Click);
}

void CListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid()) clearSelection();
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton) return;
    suppressRelease_ = true;
    if (notify_) notify_(Notification::DoubleClick);
}

void CListView::ShowListSelection() {
    QItemSelectionModel* selection = selectionModel();
    const int row = list_.SelectedIndex();
    if (row < 0) {
        selection->clearSelection();
        selection->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
        return;
    }
    const QModelIndexList shown = selection->selectedRows();
    if (shown.size() == 1 && shown.first().row() == row) return;
    selection->setCurrentIndex(model_->index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    // While rows come and go the view reports indexes of the old layout; the core list
    // has already moved its selection along with the rows.
    if (model_->Changing()) return;
    const QModelIndexList rows = selectionModel()->selectedRows();
    list_.Select(rows.isEmpty() ? -1 : rows.first().row());
}

}  // namespace khub::gui
