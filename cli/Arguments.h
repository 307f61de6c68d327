#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the command line asks for. With an output directory every input is
// framed into it under its own file name; without one there are exactly two
// paths, the input and the output.
struct Arguments {
    std::vector<std::string> inputs;
    std::string output;
    std::string outputDirectory;
    int32_t jobs = 0;  // 0: one per core
    bool quiet = false;
    bool overwrite = false;
    bool help = false;
    bool version = false;
};

// False with a message in `error` when the command line cannot be understood.
bool ParseArguments(int argc, const char* const* argv, Arguments& arguments, std::string& error);

const char* UsageText();
