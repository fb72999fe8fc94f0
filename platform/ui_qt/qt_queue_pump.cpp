#include "ui_qt/qt_queue_pump.h"

#include "platform/message_queue.h"

namespace ui_qt {

QueuePump::QueuePump(QObject* parent)
    : QObject(parent), notifier_(platform::QueueFd(), QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, &QueuePump::Pump);
}

void QueuePump::Pump() {
  // A handler that opens a message box runs a nested loop; the queue is not pumped again
  // from inside it (the descriptor stays readable, so the notifier is switched off), and
  // one event's handler finishes before the next event starts.
  if (pumping_) return;
  pumping_ = true;
  notifier_.setEnabled(false);
  platform::PumpPendingMessages();
  notifier_.setEnabled(true);
  pumping_ = false;
}

}  // namespace ui_qt
