#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "Arguments.h"
#include "BatchRunner.h"
#include "BMPImage.h"
#include "FrameOne.h"
#include "Progress.h"

namespace {
constexpr int ExitFramed = 0;
constexpr int ExitReadFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitWriteFailed = 3;

int RunSingle(const Arguments& arguments) {
    BMPImage image;
    const FrameResult result = FrameOne(image, arguments.inputs[0], arguments.output);
    if (!result.message.empty()) std::fprintf(stderr, "bmpframe: %s\n", result.message.c_str());
    switch (result.outcome) {
    case FrameOutcome::Framed: return ExitFramed;
    case FrameOutcome::ReadFailed: return ExitReadFailed;
    case FrameOutcome::WriteFailed: return ExitWriteFailed;
    }
    return ExitWriteFailed;
}

int32_t DefaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int32_t(cores);
}

int RunMany(const Arguments& arguments) {
    std::error_code error;
    std::filesystem::create_directories(arguments.outputDirectory, error);
    if (error || !std::filesystem::is_directory(arguments.outputDirectory)) {
        std::fprintf(stderr, "bmpframe: cannot create the directory %s: %s\n", arguments.outputDirectory.c_str(),
                     error ? error.message().c_str() : "a file of that name is in the way");
        return ExitWriteFailed;
    }
    BatchOptions options;
    options.outputDirectory = arguments.outputDirectory;
    options.jobs = arguments.jobs > 0 ? arguments.jobs : DefaultJobs();
    options.overwrite = arguments.overwrite;
    options.progress = !arguments.quiet && StderrIsTerminal();
    const BatchCounts counts = RunBatch(arguments.inputs, options);
    if (!arguments.quiet)
        std::printf("framed %d of %zu files; %d could not be read, %d could not be written\n", counts.framed,
                    arguments.inputs.size(), counts.readFailed, counts.writeFailed);
    if (counts.writeFailed > 0) return ExitWriteFailed;
    if (counts.readFailed > 0) return ExitReadFailed;
    return ExitFramed;
}
}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    std::string error;
    if (!ParseArguments(argc, argv, arguments, error)) {
        std::fprintf(stderr, "bmpframe: %s\nTry 'bmpframe --help' for more information.\n", error.c_str());
        return ExitUsage;
    }
    if (arguments.help) {
        std::fputs(UsageText(), stdout);
        return ExitFramed;
    }
    if (arguments.version) {
        std::printf("bmpframe %s\n", VELMORA_VERSION);
        return ExitFramed;
    }
    return arguments.outputDirectory.empty() ? RunSingle(arguments) : RunMany(arguments);
}
