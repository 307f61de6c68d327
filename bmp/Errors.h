#pragma once

// Why the last LoadFile refused a file. LoadFile itself answers only true or false.
enum class ReadError {
    None,
    OpenFailed,
    ReadFailed,
    NotBmp,
    TruncatedHeader,
    UnsupportedCompression,
    UnsupportedDepth,
    BadSize,
    TooLarge,
    OutOfMemory,
};

// Why the last SaveFile failed.
enum class WriteError {
    None,
    OpenFailed,
    WriteFailed,
    CloseFailed,
    UnsupportedDepth,
    TooLarge,
    OutOfMemory,
};

const char* Message(ReadError error);
const char* Message(WriteError error);
