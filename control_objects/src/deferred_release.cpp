#include "deferred_release.h"

#include <memory>
#include <utility>

#include "platform/message_queue.h"
#include "platform/object_factory.h"

namespace opos::control {

namespace {

thread_local int callback_depth = 0;

struct Reaper {
  std::vector<platform::automation::DispatchPtr> pending;
  std::unique_ptr<platform::HiddenWindow> window;

  void ReleaseAll() {
    std::vector<platform::automation::DispatchPtr> doomed;
    doomed.swap(pending);
    for (auto& object : doomed) object.Reset();
    platform::automation::FreeUnusedLibraries();
  }
  ~Reaper() {
    window.reset();
    ReleaseAll();
  }
};

Reaper& ThreadReaper() {
  thread_local Reaper reaper;
  return reaper;
}

}  // namespace

CallbackDepth::CallbackDepth() { ++callback_depth; }
CallbackDepth::~CallbackDepth() { --callback_depth; }
bool InsideCallback() { return callback_depth > 0; }

void ReleaseAfterCallback(std::vector<platform::automation::DispatchPtr> objects) {
  Reaper& reaper = ThreadReaper();
  for (auto& object : objects) reaper.pending.push_back(std::move(object));
  if (!reaper.window) {
    reaper.window = std::make_unique<platform::HiddenWindow>("ControlObjectReaper", 0,
                                                             [&reaper](uint16_t, void*) {
                                                               reaper.ReleaseAll();
                                                               return true;
                                                             });
  }
  reaper.window->PostCommand(1, nullptr);
}

}  // namespace opos::control
