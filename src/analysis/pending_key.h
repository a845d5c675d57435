#pragma once

#include "runfiles/entry_record.h"

#include <cstdint>

namespace tickscope {

// What pairs a stop entry with its start within one thread: the line, the statement and the
// stack frame.
struct PendingKey {
    std::uint64_t LineAndInstruction = 0;
    std::uint64_t Stackframe = 0;
    bool operator==(const PendingKey&) const = default;

    static PendingKey Of(std::int32_t lineId, const EntryRecord& entry) {
        return {(static_cast<std::uint64_t>(static_cast<std::uint32_t>(lineId)) << 8) |
                    static_cast<std::uint8_t>(entry.InstructionNumber),
                static_cast<std::uint64_t>(entry.Stackframe)};
    }
};

struct PendingKeyHasher {
    std::uint64_t operator()(const PendingKey& key) const {
        return key.LineAndInstruction * 0xFF51AFD7ED558CCDULL ^ key.Stackframe;
    }
};

} // namespace tickscope
