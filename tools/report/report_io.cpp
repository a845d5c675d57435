#include "report/report_io.h"

#include "analysis/progress.h"
#include "analysis/run_loading.h"
#include "platform/file_reading.h"
#include "report/report_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tickscope::report {

int Fail(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: %s\n", message.c_str());
    return kExitBadInput;
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: warning: %s\n", message.c_str());
}

int Write(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (written && std::fflush(stdout) == 0 && !std::ferror(stdout)) {
        return kExitOk;
    }
    const int error = errno;
    std::fprintf(stderr, "tickscope-report: cannot write the output: %s\n",
                 error != 0 ? std::strerror(error) : "write error");
    return kExitWriteFailed;
}

namespace {

// Standard output as a sink; after a failed write the rest is dropped.
class StdoutSink final : public TextSink {
  public:
    void Write(std::string_view text) override {
        if (!failed_ && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
            failed_ = true;
            error_ = errno;
        }
    }
    // kExitOk, or kExitWriteFailed with a line on stderr.
    int Finish() {
        if (!failed_ && std::fflush(stdout) == 0 && !std::ferror(stdout)) {
            return kExitOk;
        }
        const int error = failed_ ? error_ : errno;
        std::fprintf(stderr, "tickscope-report: cannot write the output: %s\n",
                     error != 0 ? std::strerror(error) : "write error");
        return kExitWriteFailed;
    }

  private:
    bool failed_ = false;
    int error_ = 0;
};

} // namespace

int WriteStreamed(const std::function<void(TextSink&)>& write) {
    errno = 0;
    StdoutSink sink;
    write(sink);
    return sink.Finish();
}

std::unique_ptr<LoadedRun> LoadNamedRun(const std::string& runFile) {
    // A regular file that can be opened, without waiting on it (a pipe named like a run).
    if (!platform::OpenRegularFile(runFile).has_value()) {
        Fail("cannot read run file: " + runFile);
        return nullptr;
    }
    SilentProgress progress;
    auto run = std::make_unique<LoadedRun>(LoadRun(CatalogueRunFile(runFile), progress));
    if (!run->Failure.empty()) {
        Fail("cannot load run " + runFile + ": " + run->Failure);
        return nullptr;
    }
    if (!run->Analysis.InvocationsComplete()) {
        Warn(IncompleteInvocationsMessage(*run));
    }
    return run;
}

ThreadChecks ChosenThreads(const LoadedRun& run,
                           const std::optional<std::vector<std::int32_t>>& ids,
                           const std::string& which) {
    ThreadChecks checks(run.Threads.size(), true);
    if (!ids) {
        return checks;
    }
    std::vector<bool> matched(ids->size(), false);
    for (std::size_t p = 0; p < run.Threads.size(); ++p) {
        checks[p] = false;
        for (std::size_t i = 0; i < ids->size(); ++i) {
            if ((*ids)[i] == run.Threads[p].ThreadId) {
                checks[p] = true;
                matched[i] = true;
            }
        }
    }
    for (std::size_t i = 0; i < matched.size(); ++i) {
        if (!matched[i]) {
            Warn("the " + which + " has no thread " + std::to_string((*ids)[i]));
        }
    }
    return checks;
}

} // namespace tickscope::report
