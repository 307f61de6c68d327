#include "FrameOne.h"

#include <system_error>

#include "BMPImage.h"
#include "CircularFrame.h"

namespace {
// The library's reason, with the system's own words where a system call
// failed (generic_category, unlike strerror, is safe on worker threads).
std::string Reason(const char* message, int systemError) {
    std::string reason = message;
    if (systemError != 0) reason += " (" + std::generic_category().message(systemError) + ")";
    return reason;
}
}  // namespace

FrameResult FrameOne(BMPImage& image, const std::string& input, const std::string& output) {
    if (!image.LoadFile(input.c_str()))
        return {FrameOutcome::ReadFailed, input + ": " + Reason(Message(image.LastReadError()), image.LastSystemError())};
    ApplyCircularFrame(image);
    if (!image.SaveFile(output.c_str()))
        return {FrameOutcome::WriteFailed,
                "cannot write " + output + ": " + Reason(Message(image.LastWriteError()), image.LastSystemError())};
    return {};
}
