#pragma once

#include "platform/file_reading.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tickscope {

// Reads a file piece by piece into two buffers taken in turn. For a file of several pieces a
// worker thread reads the next piece while the caller works on the current one, so reading
// (mostly the copy out of the page cache) and decoding overlap; smaller files, or when no
// thread can be started, are read on the caller's thread. Either way the pieces and their
// bytes are the same.
class ReadAheadFile {
  public:
    // Reads at most `size` bytes of `file` (its size when opened) in pieces of `pieceSize`
    // bytes; `carryRoom` bytes before each piece take what the caller kept of the last one.
    ReadAheadFile(platform::FileHandle file, std::uint64_t size, std::size_t pieceSize,
                  std::size_t carryRoom);
    ~ReadAheadFile();
    ReadAheadFile(const ReadAheadFile&) = delete;
    ReadAheadFile& operator=(const ReadAheadFile&) = delete;

    // The next piece with `carry` (at most carryRoom bytes, usually the unread end of the
    // previous piece) copied in front of it; the previous piece goes back for reading. Empty
    // once the file has no more bytes (the carry is then dropped).
    std::span<unsigned char> Next(std::span<const unsigned char> carry);

    bool ReadsAhead() const { return worker_.joinable(); }

  private:
    struct Piece {
        std::vector<unsigned char> Bytes; // carry room, then the piece
        std::size_t Size = 0;             // bytes read into the piece
    };
    void Fill(Piece& piece); // reads the next bytes of the file into the piece
    void Work();

    platform::FileHandle file_;
    std::uint64_t unreadBytes_ = 0;
    std::size_t pieceSize_ = 0;
    std::size_t carryRoom_ = 0;
    Piece pieces_[2];
    int current_ = 1; // the piece the caller holds; the first Next takes piece 0
    bool ended_ = false;

    // Shared with the worker.
    std::mutex mutex_;
    std::condition_variable changed_;
    int toFill_ = -1;     // the piece the worker is to read next, -1 for none
    bool filled_ = false; // the piece asked for last is read
    bool stop_ = false;
    std::thread worker_;
};

} // namespace tickscope
