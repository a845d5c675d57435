#include "instrument/file_set_aside.h"

#include <exception>
#include <filesystem>
#include <system_error>

namespace tickscope {

namespace {

namespace fs = std::filesystem;

fs::file_type TypeOf(const std::string& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type();
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

} // namespace

FileSetAside::FileSetAside(std::string path) : path_(std::move(path)), aside_(path_ + ".last") {
    std::error_code error;
    if (TypeOf(aside_) == fs::file_type::regular) {
        if (TypeOf(path_) == fs::file_type::not_found) {
            fs::rename(aside_, path_, error);
        } else {
            RemoveFile(aside_);
        }
    }
    // Only a regular file: anything else is left where it is for the writer to refuse.
    if (TypeOf(path_) == fs::file_type::regular && TypeOf(aside_) == fs::file_type::not_found) {
        fs::rename(path_, aside_, error);
        setAside_ = !error;
    }
}

FileSetAside::~FileSetAside() {
    Finish();
    Restore();
}

void FileSetAside::Restore() {
    if (setAside_) {
        setAside_ = false;
        std::error_code ignored;
        fs::rename(aside_, path_, ignored);
    }
}

void FileSetAside::Replaced() {
    if (!setAside_) {
        return;
    }
    setAside_ = false;
    try {
        remover_ = std::thread([aside = aside_] { RemoveFile(aside); });
    } catch (const std::exception&) {
        RemoveFile(aside_);
    }
}

void FileSetAside::Finish() {
    if (remover_.joinable()) {
        remover_.join();
    }
}

} // namespace tickscope
