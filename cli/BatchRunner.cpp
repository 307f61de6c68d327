#include "BatchRunner.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "BMPImage.h"
#include "FrameOne.h"
#include "Progress.h"

namespace fs = std::filesystem;

namespace {
struct Job {
    std::string input;
    std::string output;
    std::string refusal;  // why this output is not written, or empty
};

// The same file under any of its names (hard and symbolic links, "a/../b"):
// device and inode; empty for a file that does not exist.
std::string Identity(const std::string& path) {
#if defined(_WIN32)
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? std::string() : canonical.string();
#else
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return std::string();
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
#endif
}

// Why the job's output must not be written, or empty. An output may replace
// only its own input, and only when asked: any other input could be in the
// middle of being read by another thread.
std::string Refusal(const Job& job, size_t index, const std::vector<size_t>& inputsAtOutput,
                    const std::vector<std::string>& inputs, bool overwrite) {
    for (size_t other : inputsAtOutput)
        if (other != index) return "cannot write " + job.output + ": it is the input " + inputs[other];
    if (!inputsAtOutput.empty() && !overwrite)
        return "cannot write " + job.output + ": it is its own input (use --overwrite)";
    return std::string();
}

std::vector<Job> PlanJobs(const std::vector<std::string>& inputs, const BatchOptions& options) {
    std::map<std::string, std::vector<size_t>> inputsByIdentity;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string identity = Identity(inputs[i]);
        if (!identity.empty()) inputsByIdentity[identity].push_back(i);
    }
    std::vector<Job> jobs;
    std::map<std::string, std::string> firstInputByOutput;
    for (size_t i = 0; i < inputs.size(); ++i) {
        Job job{inputs[i], (fs::path(options.outputDirectory) / fs::path(inputs[i]).filename()).string(), {}};
        const auto taken = firstInputByOutput.emplace(job.output, job.input);
        const auto found = inputsByIdentity.find(Identity(job.output));
        if (!taken.second)
            job.refusal = "cannot write " + job.output + ": it is already the output of " + taken.first->second;
        else if (found != inputsByIdentity.end())
            job.refusal = Refusal(job, i, found->second, inputs, options.overwrite);
        jobs.push_back(job);
    }
    return jobs;
}
}  // namespace

BatchCounts RunBatch(const std::vector<std::string>& inputs, const BatchOptions& options) {
    const std::vector<Job> jobs = PlanJobs(inputs, options);
    Progress progress(int32_t(jobs.size()), options.progress);
    std::atomic<size_t> next{0};
    std::atomic<int32_t> framed{0}, readFailed{0}, writeFailed{0};
    auto work = [&] {
        BMPImage image;
        for (size_t i = next++; i < jobs.size(); i = next++) {
            const Job& job = jobs[i];
            if (!job.refusal.empty()) {
                progress.Error(job.refusal);
                ++writeFailed;
            } else {
                const FrameResult result = FrameOne(image, job.input, job.output);
                if (result.outcome == FrameOutcome::ReadFailed) ++readFailed;
                if (result.outcome == FrameOutcome::WriteFailed) ++writeFailed;
                if (result.outcome == FrameOutcome::Framed) ++framed;
                if (!result.message.empty()) progress.Error(result.message);
            }
            progress.FileDone();
        }
    };
    const size_t threadCount = std::min<size_t>(size_t(std::max(options.jobs, 1)), jobs.size());
    std::vector<std::thread> threads;
    for (size_t t = 1; t < threadCount; ++t) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    progress.Finish();
    return {framed, readFailed, writeFailed};
}
