#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace tickscope {

// The lines two versions of a file have in common, found as a longest common subsequence of
// their texts, so that lines inserted or deleted between the versions do not shift the rest.

// A pair of positions (older, newer) whose texts are equal.
using AlignedPair = std::pair<std::size_t, std::size_t>;

// How much work one split of the alignment may take before it settles for a good split
// instead of the best one (see AlignSequences).
inline constexpr std::size_t kDefaultAlignmentEffort = 4096;

// The pairs of a longest common subsequence of the two texts' sequences, ascending in both
// positions. Texts are equal when their bytes are. Lines that occur in one sequence only are
// set aside first, then the common beginning and end are matched, then Myers' linear-space
// algorithm aligns what remains: memory in proportion to the number of lines, time in
// proportion to lines times differences. When a split would need more than `effort` steps
// (files that differ in many thousand places), the furthest-reaching path is taken instead
// of the best one: the pairs are still common lines in order, but perhaps not the most.
std::vector<AlignedPair> AlignSequences(const std::vector<std::string_view>& older,
                                        const std::vector<std::string_view>& newer,
                                        std::size_t effort = kDefaultAlignmentEffort);

// AlignSequences of lines of code, each with its leading and trailing blanks and tabs
// ignored.
std::vector<AlignedPair> AlignCodeLines(const std::vector<std::string_view>& older,
                                        const std::vector<std::string_view>& newer,
                                        std::size_t effort = kDefaultAlignmentEffort);

} // namespace tickscope
