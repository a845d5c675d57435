#include "runfiles/read_ahead_file.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace tickscope {
namespace {

using testing::TempFolder;

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245 + 12345;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

ReadAheadFile Open(const std::string& path, std::uint64_t size, std::size_t pieceSize) {
    std::optional<platform::OpenedFile> opened = platform::OpenRegularFile(path);
    EXPECT_TRUE(opened.has_value()) << path;
    return ReadAheadFile(opened ? std::move(opened->File) : platform::FileHandle(), size, pieceSize,
                         16);
}

// Reads the whole file, carrying a varying number of the last bytes of each piece into the
// next; every piece must start with the carry, and the new bytes must be the file in order.
std::string ReadCarrying(ReadAheadFile& file) {
    std::string read;
    std::span<const unsigned char> carry;
    for (std::size_t step = 0;; ++step) {
        // The carry lives in the previous piece, which Next hands back for reading.
        const std::string carried(carry.begin(), carry.end());
        const std::span<unsigned char> piece = file.Next(carry);
        if (piece.empty()) {
            return read;
        }
        EXPECT_EQ(std::string(piece.begin(), piece.begin() + static_cast<long>(carried.size())),
                  carried)
            << "step " << step;
        read.append(reinterpret_cast<const char*>(piece.data()) + carry.size(),
                    piece.size() - carry.size());
        const std::size_t keep = std::min<std::size_t>(step % 17, piece.size());
        carry = piece.last(keep);
    }
}

TEST(ReadAheadFileTest, PiecesAfterTheCarryAreTheFileInOrderWithOrWithoutAThread) {
    TempFolder folder;
    for (const std::size_t fileSize : {0u, 1u, 99u, 100u, 1000u, 50000u}) {
        const std::string bytes = Pattern(fileSize);
        const std::string path = folder.Write("f" + std::to_string(fileSize), bytes);
        for (const std::size_t pieceSize : {1u, 3u, 100u, 4096u, 1u << 20}) {
            ReadAheadFile file = Open(path, fileSize, pieceSize);
            EXPECT_EQ(file.ReadsAhead(), fileSize / pieceSize >= 4)
                << fileSize << " bytes, pieces of " << pieceSize;
            EXPECT_EQ(ReadCarrying(file), bytes) << fileSize << " bytes, pieces of " << pieceSize;
            EXPECT_TRUE(file.Next({}).empty()) << "stays at its end";
        }
    }
}

TEST(ReadAheadFileTest, ReadsOnlyTheSizeGivenAndStopsWhenDroppedHalfway) {
    TempFolder folder;
    const std::string bytes = Pattern(100000);
    const std::string path = folder.Write("grown", bytes);
    ReadAheadFile part = Open(path, 30000, 1000); // the size when the log was opened
    EXPECT_EQ(ReadCarrying(part), bytes.substr(0, 30000));
    // A file that shrank after its size was taken: its bytes, then the end.
    ReadAheadFile shrunk = Open(path, bytes.size() + 50000, 1000);
    ASSERT_TRUE(shrunk.ReadsAhead());
    EXPECT_EQ(ReadCarrying(shrunk), bytes);

    // Dropped while its thread reads ahead: the destructor ends the thread, no wait for ever.
    for (int round = 0; round < 50; ++round) {
        ReadAheadFile dropped = Open(path, bytes.size(), 64);
        ASSERT_TRUE(dropped.ReadsAhead());
        EXPECT_EQ(dropped.Next({}).size(), 64u);
    }
}

} // namespace
} // namespace tickscope
