#include "runfiles/read_ahead_file.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace tickscope {

namespace {

// Below this many pieces a thread costs more than it saves.
constexpr std::uint64_t kPiecesWorthAThread = 4;

} // namespace

ReadAheadFile::ReadAheadFile(platform::FileHandle file, std::uint64_t size, std::size_t pieceSize,
                             std::size_t carryRoom)
    : file_(std::move(file)), unreadBytes_(size), carryRoom_(carryRoom) {
    pieceSize = std::max<std::size_t>(pieceSize, 1);
    // A small file takes no more room than its bytes.
    pieceSize_ = static_cast<std::size_t>(std::clamp<std::uint64_t>(size, 1, pieceSize));
    for (Piece& piece : pieces_) {
        piece.Bytes.resize(carryRoom_ + pieceSize_);
    }
    if (size / pieceSize < kPiecesWorthAThread) {
        return;
    }
    toFill_ = 0;
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::exception&) { // std::system_error, std::bad_alloc
        toFill_ = -1;                 // no thread: the caller reads
    }
}

ReadAheadFile::~ReadAheadFile() {
    if (worker_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
}

void ReadAheadFile::Fill(Piece& piece) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(unreadBytes_, pieceSize_));
    piece.Size = wanted == 0 || !file_
                     ? 0
                     : std::fread(piece.Bytes.data() + carryRoom_, 1, wanted, file_.get());
    unreadBytes_ -= piece.Size;
    if (piece.Size == 0) {
        unreadBytes_ = 0; // end of file, or a read error: no more bytes either way
    }
}

void ReadAheadFile::Work() {
    for (;;) {
        int piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || toFill_ >= 0; });
            if (stop_) {
                return;
            }
            piece = toFill_;
        }
        Fill(pieces_[piece]);
        {
            const std::lock_guard lock(mutex_);
            toFill_ = -1;
            filled_ = true;
        }
        changed_.notify_all();
    }
}

std::span<unsigned char> ReadAheadFile::Next(std::span<const unsigned char> carry) {
    if (ended_) {
        return {};
    }
    const int next = 1 - current_;
    Piece& piece = pieces_[next];
    if (worker_.joinable()) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return filled_; });
        filled_ = false;
    } else {
        Fill(piece);
    }
    if (piece.Size == 0) {
        ended_ = true;
        return {};
    }
    const std::size_t kept = std::min(carry.size(), carryRoom_);
    unsigned char* start = piece.Bytes.data() + carryRoom_ - kept;
    if (kept > 0) {
        std::memcpy(start, carry.data() + carry.size() - kept, kept);
    }
    current_ = next;
    if (worker_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            toFill_ = 1 - next; // the previous piece, now that its carry is copied
        }
        changed_.notify_all();
    }
    return {start, kept + piece.Size};
}

} // namespace tickscope
