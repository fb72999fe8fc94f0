#include "test_hooks.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "pos_printer.h"

namespace service_core {
namespace {

std::mutex& ListMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<CPOSPrinter*>& List() {
  static std::vector<CPOSPrinter*> printers;
  return printers;
}

CPOSPrinter* Find(const char* name) {
  if (!name) return nullptr;
  auto& list = List();
  auto it = std::find_if(list.begin(), list.end(),
                         [&](CPOSPrinter* p) { return p->OpenedName() == name; });
  return it == list.end() ? nullptr : *it;
}

}  // namespace

void OpenPrinters::Add(CPOSPrinter* printer) {
  std::lock_guard lock(ListMutex());
  if (std::find(List().begin(), List().end(), printer) == List().end()) List().push_back(printer);
}

void OpenPrinters::Remove(CPOSPrinter* printer) {
  std::lock_guard lock(ListMutex());
  std::erase(List(), printer);
}

}  // namespace service_core

int32_t TandorPrinterTestQueueEvent(const char* name, int32_t kind, int32_t v0, int32_t v1,
                                    int32_t v2, int32_t v3) {
  using namespace service_core;
  std::lock_guard lock(ListMutex());
  CPOSPrinter* printer = Find(name);
  if (!printer || kind < 2 || kind > 5) return -1;
  printer->QueueEvent({static_cast<EventKind>(kind), {v0, v1, v2, v3}});
  return 0;
}

int32_t TandorPrinterTestErrorResponse(const char* name) {
  using namespace service_core;
  std::lock_guard lock(ListMutex());
  CPOSPrinter* printer = Find(name);
  if (!printer) return -1;
  return printer->AnsweredErrorResponse().value_or(-1);
}
