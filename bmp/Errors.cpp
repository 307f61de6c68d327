#include "Errors.h"

const char* Message(ReadError error) {
    switch (error) {
    case ReadError::None: return "ok";
    case ReadError::OpenFailed: return "cannot open the file";
    case ReadError::ReadFailed: return "cannot read the file";
    case ReadError::NotBmp: return "not a BMP file";
    case ReadError::TruncatedHeader: return "the file ends inside its headers";
    case ReadError::UnsupportedCompression: return "unsupported compression (only uncompressed files, and 16-bit colour masks, are read)";
    case ReadError::UnsupportedDepth: return "unsupported bit depth (1, 4, 8, 16, 24 and 32 are read)";
    case ReadError::BadSize: return "bad size (width and height must be positive; top-down files are not read)";
    case ReadError::TooLarge: return "image too large (at most 2^28 pixels, and depth x width below 2^31)";
    case ReadError::OutOfMemory: return "not enough memory for the image";
    }
    return "unknown error";
}

const char* Message(WriteError error) {
    switch (error) {
    case WriteError::None: return "ok";
    case WriteError::OpenFailed: return "cannot create the file";
    case WriteError::WriteFailed: return "write failed";
    case WriteError::CloseFailed: return "closing the file failed";
    case WriteError::UnsupportedDepth: return "the image's bit depth cannot be written";
    case WriteError::TooLarge: return "image too large for a BMP file";
    case WriteError::OutOfMemory: return "not enough memory to write the file";
    }
    return "unknown error";
}
