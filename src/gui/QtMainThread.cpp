#include "gui/QtMainThread.hpp"

#include "server/MainThread.hpp"

#include <QMetaObject>

namespace zd::gui {

QtMainThread::QtMainThread(MainThread& mainThread) : main_(mainThread)
{
    main_.SetWakeHandler([this] {
        QMetaObject::invokeMethod(this, [this] { main_.RunPending(); }, Qt::QueuedConnection);
    });
    // The timer also runs jobs queued before the wake handler was set.
    connect(&timer_, &QTimer::timeout, this, [this] {
        main_.RunPending();
        main_.RunDueTimer();
    });
    timer_.start(kTimerGranularityMs);
}

QtMainThread::~QtMainThread()
{
    main_.SetWakeHandler(nullptr);
}

} // namespace zd::gui
