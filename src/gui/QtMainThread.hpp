#pragma once

#include <QObject>
#include <QTimer>

namespace zd {
class MainThread;
}

namespace zd::gui {

// The main thread's work run by the Qt event loop: jobs handed over by
// other threads are run as queued calls (so they also run while a modal
// dialog has its own loop), and the periodic timer is served by a QTimer.
// Create it on the main thread after the application object.
class QtMainThread : public QObject {
public:
    // How often the periodic timer is looked at.
    static constexpr int kTimerGranularityMs = 50;

    explicit QtMainThread(MainThread& mainThread);
    ~QtMainThread() override;

private:
    MainThread& main_;
    QTimer timer_;
};

} // namespace zd::gui
