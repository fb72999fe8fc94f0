// The programs' conversation on standard input and output: one command a line in, one
// "ok" / "ok: <reply>" / "error: <message>" line out, until "quit", end of input or
// SIGINT/SIGTERM.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "program_options.h"
#include "virtual_devices/attachment.h"

namespace vdev {

// Blocks SIGINT and SIGTERM in the calling thread and every thread it starts afterwards, so
// the command loop receives them through a descriptor; ignores SIGPIPE. Call first in main.
void BlockTerminationSignals();

enum class LoopEnd { Quit, EndOfInput, Signal };

using CommandHandler = std::function<bool(const std::string& line, std::string& reply)>;

LoopEnd RunCommandLoop(int input_fd, const CommandHandler& handle, std::FILE* out);

std::unique_ptr<Attachment> MakeAttachment(const AttachmentChoice& choice, DeviceModel& model);

// Starts the attachment, prints "listening <where>", runs the command loop, stops the
// attachment. `extra_help` is printed after the attachment's commands for "help".
// Returns the program's exit status.
int ServeDevice(const char* program, Attachment& attachment, const std::string& extra_help);

}  // namespace vdev
