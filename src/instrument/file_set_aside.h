#pragma once

#include <string>
#include <thread>

namespace tickscope {

// Puts a regular file aside under a second name ("<name>.last") while its replacement is
// written. Renaming a new file over the old one makes the rename wait for the file system:
// it frees the old file's blocks (slow where freed blocks are discarded at once) and, on
// ext4, writes out the new file first; tens of milliseconds for a large program's
// information. Renamed onto a free name it waits for neither. Once the new file is in
// place the old one is removed on a second thread while the caller goes on; when the new
// file cannot be written, the old one gets its name back. A file found aside, with none
// under its name, was left by a process killed meanwhile and gets its name back first.
class FileSetAside {
  public:
    explicit FileSetAside(std::string path);
    ~FileSetAside(); // Finish, then Restore
    FileSetAside(const FileSetAside&) = delete;
    FileSetAside& operator=(const FileSetAside&) = delete;

    // The old file gets its name back (the new one could not be written).
    void Restore();
    // The new file is in place: the old one is removed, on a second thread when one starts.
    void Replaced();
    // Waits until the old file is removed.
    void Finish();

  private:
    std::string path_;
    std::string aside_;
    bool setAside_ = false;
    std::thread remover_;
};

} // namespace tickscope
