#pragma once

#include <string>

enum class FrameOutcome { Framed, ReadFailed, WriteFailed };

struct FrameResult {
    FrameOutcome outcome = FrameOutcome::Framed;
    std::string message;  // for a failure: the file and why, ready to print
};

// Loads `input`, applies the circular frame and saves it to `output` at the
// input's bit depth.
FrameResult FrameOne(const std::string& input, const std::string& output);
