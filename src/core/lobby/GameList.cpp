#include "GameList.h"

namespace khub {

int GameList::PutGameRow(const GameRow& row) {
    int index = FindGameRow(row.host);
    if (index >= 0) {
        rows_[static_cast<std::size_t>(index)] = row;
        Notify(Change::Updated, index, index == selected_);
        return index;
    }
    rows_.push_back(row);
    index = Size() - 1;
    Notify(Change::Inserted, index, false);
    return index;
}

bool GameList::RemoveGameRow(const std::string& hostNick) {
    int index = FindGameRow(hostNick);
    if (index < 0) return false;
    rows_.erase(rows_.begin() + index);
    const bool wasSelected = selected_ == index;
    if (wasSelected) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    Notify(Change::Removed, index, wasSelected);
    return true;
}

int GameList::FindGameRow(const std::string& hostNick) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].host == hostNick) return static_cast<int>(i);
    }
    return -1;
}

bool GameList::SetGameRowCell(int index, int column, const std::string& text) {
    if (index < 0 || index >= Size()) return false;
    GameRow& row = rows_[static_cast<std::size_t>(index)];
    switch (column) {
        case 0:
            row.gameName = text;
            break;
        case 1:
            row.host = text;
            break;
        case 2:
            row.players = text;
            break;
        default:
            return false;
    }
    Notify(Change::Updated, index, index == selected_);
    return true;
}

void GameList::Clear() {
    rows_.clear();
    const bool wasSelected = selected_ >= 0;
    selected_ = -1;
    Notify(Change::Cleared, -1, wasSelected);
}

std::optional<GameRow> GameList::Row(int index) const {
    if (index < 0 || index >= Size()) return std::nullopt;
    return rows_[static_cast<std::size_t>(index)];
}

void GameList::Select(int index) {
    const int before = selected_;
    selected_ = (index >= 0 && index < Size()) ? index : -1;
    if (selected_ != before) NotifySelection();
}

}  // namespace khub
