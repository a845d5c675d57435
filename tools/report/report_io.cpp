#include "report/report_io.h"

#include "analysis/progress.h"
#include "analysis/run_loading.h"
#include "platform/file_reading.h"
#include "report/report_options.h"
#include "report/report_sinks.h"
#include "runfiles/run_information.h"

#include <cstdio>
#include <filesystem>

namespace tickscope::report {

int Fail(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: %s\n", message.c_str());
    return kExitBadInput;
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: warning: %s\n", message.c_str());
}

int Write(const std::string& text, const std::optional<std::string>& file) {
    return WriteOutput(file, [&text](ExportSink& sink) {
        sink.Write(text);
        return std::string();
    });
}

int WriteStreamed(const std::function<void(TextSink&)>& write,
                  const std::optional<std::string>& file) {
    return WriteOutput(file, [&write](ExportSink& sink) {
        write(sink);
        return std::string();
    });
}

bool OutputWouldReplaceRun(const std::optional<std::string>& file, const std::string& runFile) {
    const auto same = [](const std::string& a, const std::string& b) {
        std::error_code error;
        return std::filesystem::equivalent(a, b, error) && !error;
    };
    if (file && (same(*file, runFile) || same(*file, EntryLogPath(runFile)))) {
        Fail("the output would replace the run's own file: " + *file);
        return true;
    }
    return false;
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
