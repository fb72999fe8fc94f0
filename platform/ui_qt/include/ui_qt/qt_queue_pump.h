// Runs the GUI thread's platform message queue from Qt's event loop: the service objects'
// events (posted to their hidden windows on this thread) are delivered as soon as they
// are queued, without polling.
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace ui_qt {

class QueuePump : public QObject {
  Q_OBJECT
 public:
  // Must be created on the thread whose queue it pumps.
  explicit QueuePump(QObject* parent = nullptr);

 private:
  void Pump();

  QSocketNotifier notifier_;
  bool pumping_ = false;
};

}  // namespace ui_qt
