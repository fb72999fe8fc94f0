#include "flashwise_control.h"

#include <memory>

namespace flashwise {

using platform::automation::DispatchTable;

const DispatchTable<CFlashwise>& CFlashwise::AutomationTable() {
  static const DispatchTable<CFlashwise> table =
      DispatchTable<CFlashwise>()
          .Method(1, "Upload", &CFlashwise::Upload)
          .Method(2, "UploadNet", &CFlashwise::UploadNet)
          .Method(3, "SetProgressSink", &CFlashwise::SetProgressSink)
          .Property(4, "LastError", &CFlashwise::GetLastError, nullptr);
  return table;
}

int32_t CFlashwise::Upload(std::string* port, int32_t* baud_code, int32_t* bit_length,
                           int32_t* parity, int32_t* stop_bit, int32_t* handshake,
                           std::string* file) {
  SerialSettings settings;
  settings.baud_code = *baud_code;
  settings.bit_length_index = *bit_length;
  settings.parity_index = *parity;
  settings.stop_bit_index = *stop_bit;
  settings.handshake_index = *handshake;
  std::string error;
  std::unique_ptr<UploadLink> link = UploadLink::OpenPort(*port, settings, error);
  return Run(link.get(), *file, error);
}

int32_t CFlashwise::UploadNet(const std::string& address, const std::string& port,
                              std::string* file) {
  std::string error;
  std::unique_ptr<UploadLink> link = UploadLink::Connect(address, port, timeouts.answer_ms, error);
  return Run(link.get(), *file, error);
}

void CFlashwise::SetProgressSink(platform::automation::Dispatch* sink) {
  progress_sink_ = platform::automation::DispatchPtr(sink);
}

int32_t CFlashwise::Run(UploadLink* link, const std::string& file, const std::string& open_error) {
  last_error_.clear();
  if (!link) {
    last_error_ = open_error;
    return kLinkNotOpened;
  }
  std::vector<uint8_t> image;
  if (!ReadFirmwareFile(file, image, last_error_)) return kFileUnreadable;
  ProgressFn progress;
  if (progress_sink_) {
    progress = [this](uint32_t sent, uint32_t total) {
      platform::automation::CallMethod(progress_sink_.get(), "Progress",
                                       {static_cast<int32_t>(sent), static_cast<int32_t>(total)});
    };
  }
  return SendImage(*link, image, progress, timeouts, last_error_);
}

}  // namespace flashwise
