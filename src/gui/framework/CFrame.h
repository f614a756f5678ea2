#pragma once
// A frame window: a menu bar whose items carry command ids, one view filling the client
// area, optional toolbar and status bar, and a placement that survives a restart.

#include <QMainWindow>
#include <QString>
#include <functional>
#include <map>

class QAction;
class QMenu;

namespace khub::gui {

class CFrame : public QMainWindow {
    Q_OBJECT
  public:
    CFrame();
    ~CFrame() override;

    // Builds the window: OnCreate, the menu (BuildMenu), the view, the saved placement,
    // then shows it and runs OnInitialUpdate.
    void Create();

    // The placement lives in QSettings(organisation, application), group "Frame Settings".
    void LoadRegistrySettings(const QString& organisation, const QString& application);

    void SetView(QWidget* view);
    QWidget* View() const { return view_; }

    QMenu* AddPopup(const QString& title);
    QAction* AddMenuItem(QMenu* popup, int id, const QString& text, bool enabled,
                         const QString& shortcutText = {});
    QAction* MenuItem(int id) const;
    void SetMenuItemText(int id, const QString& text);
    void EnableMenuItem(int id, bool enabled);
    bool IsMenuItemEnabled(int id) const;

    // An accelerator counts only while its menu item (if it has one) is enabled.
    void RunAccelerator(int id);
    // Runs a command as a menu click does.
    bool SendCommand(int id) { return OnCommand(id); }
    // Runs f once the window system shows the frame where it placed it (at once if it does
    // already), so that a dialog opened by f centres on the frame as the person sees it.
    void CallWhenOnScreen(std::function<void()> f);

    void ShowToolbar(bool show);
    void ShowStatusbar(bool show);
    bool ToolbarShown() const { return toolbarShown_; }
    bool StatusbarShown() const { return statusbarShown_; }

  protected:
    // Switch off optional parts here (toolbar, status bar).
    virtual void OnCreate() {}
    virtual void BuildMenu() {}
    virtual void OnInitialUpdate() {}
    virtual bool OnCommand(int id) {
        (void)id;
        return false;
    }
    // The window is going away (after its placement was saved).
    virtual void OnDestroy() {}

    void closeEvent(QCloseEvent* event) override;
    void SavePlacement();

    bool useToolbar_ = true;
    bool useStatusbar_ = true;

  private:
    void RestorePlacement();

    QWidget* view_ = nullptr;
    QString organisation_, application_;
    std::map<int, QAction*> items_;
    class QToolBar* toolbar_ = nullptr;
    bool toolbarShown_ = false;
    bool statusbarShown_ = false;
    bool destroyed_ = false;
};

}  // namespace khub::gui
