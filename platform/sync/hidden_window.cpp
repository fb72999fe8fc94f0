#include <utility>

#include "platform/message_queue.h"
#include "thread_queue.h"

namespace platform {

struct HiddenWindow::Impl : detail::WindowTarget {};

HiddenWindow::HiddenWindow(std::string name, int id, CommandHandler handler)
    : impl_(std::make_shared<Impl>()) {
  impl_->name = std::move(name);
  impl_->id = id;
  impl_->handler = std::move(handler);
  impl_->owner = std::this_thread::get_id();
  impl_->queue = detail::ThreadQueue::ForCurrentThread();
}

HiddenWindow::~HiddenWindow() {
  // Off the owner thread, wait for a handler call in progress so that whatever the handler
  // uses can be destroyed after us. On the owner thread a running handler is our caller.
  const bool foreign_thread = std::this_thread::get_id() != impl_->owner;
  impl_->queue->RemoveWindow(*impl_, foreign_thread);
}

bool HiddenWindow::PostCommand(uint16_t command_id, void* payload) {
  return impl_->queue->Post(impl_, command_id, payload);
}

const std::string& HiddenWindow::Name() const { return impl_->name; }
int HiddenWindow::Id() const { return impl_->id; }
std::thread::id HiddenWindow::OwnerThread() const { return impl_->owner; }

}  // namespace platform
