#include "Arguments.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int32_t MaxJobs = 1024;

bool ParseJobs(const std::string& text, int32_t& jobs) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 1 || value > MaxJobs) return false;
    jobs = int32_t(value);
    return true;
}

// An option that takes a value: "-o DIR", "-oDIR", "--output-dir DIR" or
// "--output-dir=DIR". Moves `index` past what it used.
bool TakeValue(int argc, const char* const* argv, int& index, const char* shortName,
               const char* longName, std::string& value, bool& matched, std::string& error) {
    const std::string word = argv[index];
    const std::string longEquals = std::string(longName) + "=";
    matched = true;
    if (word.compare(0, longEquals.size(), longEquals) == 0) {
        value = word.substr(longEquals.size());
        return true;
    }
    if (word.size() > 2 && word.compare(0, 2, shortName) == 0 && word[1] != '-') {
        value = word.substr(2);
        return true;
    }
    if (word != shortName && word != longName) {
        matched = false;
        return true;
    }
    if (index + 1 >= argc) {
        error = "option " + word + " needs a value";
        return false;
    }
    value = argv[++index];
    return true;
}

bool ParseOption(int argc, const char* const* argv, int& index, Arguments& arguments, std::string& error) {
    const std::string word = argv[index];
    if (word == "-h" || word == "--help") {
        arguments.help = true;
        return true;
    }
    if (word == "--version") {
        arguments.version = true;
        return true;
    }
    if (word == "-q" || word == "--quiet") {
        arguments.quiet = true;
        return true;
    }
    if (word == "--overwrite") {
        arguments.overwrite = true;
        return true;
    }
    bool matched = false;
    std::string value;
    if (!TakeValue(argc, argv, index, "-o", "--output-dir", value, matched, error)) return false;
    if (matched) {
        if (value.empty()) {
            error = "the output directory must not be empty";
            return false;
        }
        arguments.outputDirectory = value;
        return true;
    }
    if (!TakeValue(argc, argv, index, "-j", "--jobs", value, matched, error)) return false;
    if (matched) {
        if (ParseJobs(value, arguments.jobs)) return true;
        error = "the number of jobs must be a whole number from 1 to " + std::to_string(MaxJobs) + ": '" + value + "'";
        return false;
    }
    error = "unknown option '" + word + "'";
    return false;
}
}  // namespace

bool ParseArguments(int argc, const char* const* argv, Arguments& arguments, std::string& error) {
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const char* word = argv[index];
        if (optionsEnded || word[0] != '-' || std::strcmp(word, "-") == 0) {
            paths.push_back(word);
        } else if (std::strcmp(word, "--") == 0) {
            optionsEnded = true;
        } else if (!ParseOption(argc, argv, index, arguments, error)) {
            return false;
        }
    }
    if (arguments.help || arguments.version) return true;
    if (!arguments.outputDirectory.empty()) {
        if (paths.empty()) {
            error = "no input files";
            return false;
        }
        arguments.inputs = paths;
        return true;
    }
    if (paths.size() != 2) {
        error = paths.size() < 2 ? "expected an input and an output file"
                                 : "more than two files: use -o DIR to frame several files into a directory";
        return false;
    }
    arguments.inputs = {paths[0]};
    arguments.output = paths[1];
    return true;
}

const char* UsageText() {
    return "Usage: bmpframe [OPTIONS] INPUT OUTPUT\n"
           "       bmpframe [OPTIONS] -o DIR INPUT...\n"
           "\n"
           "Blacken every pixel of a BMP image outside the circle centred on the image\n"
           "whose radius is half its longer side, and write it at the input's bit depth.\n"
           "The first form frames INPUT into OUTPUT (they may be the same file); the\n"
           "second frames every INPUT into DIR under its own file name.\n"
           "\n"
           "Options:\n"
           "  -o, --output-dir DIR  write the framed files into DIR (created if missing)\n"
           "  -j, --jobs N          frame N files at once (default: one per core)\n"
           "  -q, --quiet           no progress bar and no summary line\n"
           "      --overwrite       let an output replace its own input in DIR\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "\n"
           "Exit status: 0 all files framed, 1 some input could not be read,\n"
           "2 usage error, 3 some output could not be written (3 wins over 1).\n";
}
