#pragma once
// The application object: owns the QApplication, runs the initialisation hook and the
// message loop, and translates accelerators before any widget sees the key.

#include <QApplication>
#include <QKeyCombination>
#include <QKeyEvent>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

namespace khub::gui {

class CFrame;

class CWinApp : public QObject {
    Q_OBJECT
  public:
    CWinApp(int& argc, char** argv);
    // For callers (tests) that made the QApplication themselves.
    CWinApp();
    ~CWinApp() override;

    // Runs InitInstance and, when it agrees, the message loop. Returns the exit code.
    int Run();

    // An accelerator table belongs to one frame: keys pressed in that frame's window are
    // turned into its commands, even when a child (a line edit) would take them itself.
    struct Accelerator {
        QKeyCombination keys;
        int commandId;
    };
    void SetAccelerators(CFrame* frame, std::vector<Accelerator> table);

  protected:
    // Decides whether the program runs; false ends it with exit code -1.
    virtual bool InitInstance() { return true; }
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int FindAccelerator(const QKeyEvent& key) const;

    std::unique_ptr<QApplication> ownedApp_;
    QPointer<CFrame> accelFrame_;
    std::vector<Accelerator> accelerators_;
};

}  // namespace khub::gui
