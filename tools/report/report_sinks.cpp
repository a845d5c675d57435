#include "report/report_sinks.h"

#include "platform/file_writer.h"
#include "report/report_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tickscope::report {

namespace {

class StandardOutput final : public ExportSink {
  public:
    void Write(std::string_view text) override {
        if (failed_) {
            return;
        }
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
            Fail();
        }
    }
    bool Failed() const override { return failed_; }

    // Flushes; the reason of a failure, empty when all was written.
    std::string Finish(const std::string& unfinished) {
        errno = 0;
        if (!failed_ && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
            Fail();
        }
        if (!failed_) {
            return unfinished;
        }
        return error_ != 0 ? std::strerror(error_) : "write error";
    }

  private:
    void Fail() {
        failed_ = true;
        error_ = errno;
    }
    bool failed_ = false;
    int error_ = 0;
};

class OutputFile final : public ExportSink {
  public:
    explicit OutputFile(const std::string& path) { opened_ = writer_.Open(path, {}); }
    void Write(std::string_view text) override {
        if (opened_ && !failed_) {
            failed_ = !writer_.Write(text);
        }
    }
    bool Failed() const override { return !opened_ || failed_; }

    std::string Finish(const std::string& unfinished) {
        if (opened_ && !failed_ && unfinished.empty() && writer_.Commit()) {
            return {};
        }
        writer_.Abandon();
        if (opened_ && !failed_ && !unfinished.empty()) {
            return unfinished;
        }
        return writer_.Error().empty() ? "write error" : writer_.Error();
    }

  private:
    platform::FileWriter writer_;
    bool opened_ = false;
    bool failed_ = false;
};

int Report(const std::string& what, const std::string& reason) {
    if (reason.empty()) {
        return kExitOk;
    }
    std::fprintf(stderr, "tickscope-report: cannot write %s: %s\n", what.c_str(), reason.c_str());
    return kExitWriteFailed;
}

} // namespace

int WriteOutput(const std::optional<std::string>& file,
                const std::function<std::string(ExportSink&)>& write) {
    if (!file) {
        StandardOutput out;
        const std::string unfinished = write(out);
        return Report("the output", out.Finish(unfinished));
    }
    OutputFile out(*file);
    std::string unfinished;
    if (!out.Failed()) {
        unfinished = write(out);
    }
    return Report(*file, out.Finish(unfinished));
}

} // namespace tickscope::report
