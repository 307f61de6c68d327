#pragma once

#include <string>

class BMPImage;

enum class FrameOutcome { Framed, ReadFailed, WriteFailed };

struct FrameResult {
    FrameOutcome outcome = FrameOutcome::Framed;
    std::string message;  // for a failure: the file and why, ready to print
};

// Loads `input` into `image`, applies the circular frame and saves it to
// `output` at the input's bit depth. One image serves many files in turn, so
// its pixel memory is reused instead of faulted in afresh for each.
FrameResult FrameOne(BMPImage& image, const std::string& input, const std::string& output);
