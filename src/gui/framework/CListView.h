#pragma once
// A report-style list over the core's GameList. The core model is the only store of the
// rows; the view mirrors it through the model's observer and reports clicks.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>
#include <functional>
#include <vector>

#include "lobby/GameList.h"

namespace khub::gui {

class GameListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    GameListModel(GameList& list, QStringList headers, QObject* parent = nullptr);
    ~GameListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetHeaders(QStringList headers);
    // True while the mirror follows a change of the core list.
    bool Changing() const { return changing_; }

  private:
    void OnChange(GameList::Change change, int index);

    GameList& list_;
    QStringList headers_;
    std::vector<GameRow> rows_;  // what the view was last told
    bool changing_ = false;
};

class CListView : public QTreeView {
    Q_OBJECT
  public:
    enum class Notification { Click, DoubleClick };
    using NotifyHandler = std::function<void(Notification)>;

    explicit CListView(GameList& list, QWidget* parent = nullptr);
    ~CListView() override;

    // Called by the frame once the view's window exists.
    void InitialUpdate() { OnInitialUpdate(); }
    void SetNotifyHandler(NotifyHandler handler) { notify_ = std::move(handler); }

    GameList& List() const { return list_; }
    GameListModel* Model() const { return model_; }

  protected:
    virtual void OnInitialUpdate() {}

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

  private:
    // Shows the core list's selection: it decides which row a join goes to.
    void ShowListSelection();

    GameList& list_;
    GameListModel* model_;
    NotifyHandler notify_;
    bool suppressRelease_ = false;
};

}  // namespace khub::gui
