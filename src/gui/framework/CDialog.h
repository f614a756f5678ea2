#pragma once
// A dialog with controls addressed by id, modal or modeless, and the hooks the program's
// windows override: initialisation, commands, notifications, OK and Cancel. Closing the
// window (close box, Escape, a close request) runs Cancel.

#include <QDialog>
#include <map>

class QAbstractButton;
class QLineEdit;

namespace khub::gui {

class CDialog : public QDialog {
    Q_OBJECT
  public:
    // The ids of a dialog's OK and Cancel buttons.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    explicit CDialog(QWidget* owner = nullptr);
    ~CDialog() override;

    // Application-modal: shown at once, the caller goes on; the result arrives through
    // OnOK/OnCancel. The lobby keeps running underneath (no nested event loop).
    void DoModal();
    // Modeless: shown and left to itself; the object deletes itself when the window closes.
    void DoModeless();

    // Ends the dialog without running any hook.
    void EndDialog(int result);
    // Closes the window for someone who already ran the Cancel steps (the core).
    void CloseWithoutCancel();

    QWidget* Control(int id) const;
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }
    int ControlId(const QWidget* control) const;

    // Buttons, check boxes and line edits report through OnCommand once registered.
    void AddControl(int id, QWidget* control);
    // Gives control the keyboard focus now if it is enabled, and again whenever it becomes
    // enabled: the line a person types into, not the first control in the tab order.
    void FocusWhenEnabled(QWidget* control);

  protected:
    // Runs once, before the window is shown. False keeps the default focus handling.
    virtual bool OnInitDialog() { return true; }
    // A button was clicked or an edit's text changed. True when handled.
    virtual bool OnCommand(int id) {
        (void)id;
        return false;
    }
    virtual bool OnNotify(int id, int code) {
        (void)id;
        (void)code;
        return false;
    }
    virtual void OnOK() { EndDialog(Accepted); }
    virtual void OnCancel() { EndDialog(Rejected); }

    // Qt's accept/reject (Enter on the default button, Escape, close box) go to the hooks.
    void accept() override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Init();

    std::map<int, QWidget*> controls_;
    QWidget* focusWhenEnabled_ = nullptr;
    bool initialised_ = false;
    bool ending_ = false;
};

}  // namespace khub::gui
