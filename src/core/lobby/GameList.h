#pragma once
// The games the lobby knows: one row per host nick, in the order they were first seen.
// The Qt list view and the terminal front end observe it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace khub {

struct GameRow {
    std::string gameName;
    std::string host;     // the row's key
    std::string players;  // "1/2" or "2/2"
    // Both seats taken: nobody else may join.
    bool Full() const { return players == "2/2"; }
    friend bool operator==(const GameRow&, const GameRow&) = default;
};

class GameList {
  public:
    enum class Change { Inserted, Updated, Removed, Cleared };
    // index is the row's position (for Removed: where it was; for Cleared: -1).
    using Observer = std::function<void(Change, int index)>;
    // Called after the selected row changed: another row, none, or new cells of the same.
    using SelectionObserver = std::function<void()>;

    // Adds the row, or updates the row hosted by row.host in place. Returns its index.
    int PutGameRow(const GameRow& row);
    // Removes the row hosted by nick; true when there was one.
    bool RemoveGameRow(const std::string& hostNick);
    // The index of the row hosted by nick, or -1. Nicks compare byte for byte.
    int FindGameRow(const std::string& hostNick) const;
    // column 0 game name, 1 host, 2 players.
    bool SetGameRowCell(int index, int column, const std::string& text);
    void Clear();

    const std::vector<GameRow>& Rows() const { return rows_; }
    std::optional<GameRow> Row(int index) const;
    int Size() const { return static_cast<int>(rows_.size()); }

    // The row the player selected in the view, -1 for none. It is the only join target, so
    // it goes with its row: removing the selected row leaves nothing selected.
    void Select(int index);
    int SelectedIndex() const { return selected_; }
    std::optional<GameRow> ReadSelectedGameRow() const { return Row(selected_); }

    void SetObserver(Observer observer) { observer_ = std::move(observer); }
    void SetSelectionObserver(SelectionObserver observer) {
        selectionObserver_ = std::move(observer);
    }

  private:
    // The view hears first, so that it shows the selection the core ends with.
    void Notify(Change change, int index, bool selectionChanged) {
        if (observer_) observer_(change, index);
        if (selectionChanged) NotifySelection();
    }
    void NotifySelection() {
        if (selectionObserver_) selectionObserver_();
    }

    std::vector<GameRow> rows_;
    int selected_ = -1;
    Observer observer_;
    SelectionObserver selectionObserver_;
};

}  // namespace khub
