#include "FrameOne.h"

#include <system_error>

#include "FrameStream.h"

namespace {
// The library's reason, with the system's own words where a system call
// failed (generic_category, unlike strerror, is safe on worker threads).
std::string Reason(const char* message, int systemError) {
    std::string reason = message;
    if (systemError != 0) reason += " (" + std::generic_category().message(systemError) + ")";
    return reason;
}
}  // namespace

FrameResult FrameOne(const std::string& input, const std::string& output) {
    const FrameFileResult result = FrameFile(input.c_str(), output.c_str());
    if (result.readError != ReadError::None)
        return {FrameOutcome::ReadFailed, input + ": " + Reason(Message(result.readError), result.systemError)};
    if (result.writeError != WriteError::None)
        return {FrameOutcome::WriteFailed,
                "cannot write " + output + ": " + Reason(Message(result.writeError), result.systemError)};
    return {};
}
