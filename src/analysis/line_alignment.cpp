#include "analysis/line_alignment.h"

#include "source/text_utils.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace tickscope {

// Why not a library: Debian's header-only dtl (Wu's O(NP) difference) was considered. It
// keeps the coordinates of every step of its search (up to two million of them, then it
// continues from where it stands without saying so), copies every element into its edit
// script, and has no bound on its time for files that differ throughout. Myers'
// linear-space algorithm with a bounded search per split keeps memory in proportion to the
// lines and time in check, in a hundred lines.

namespace {

using Symbol = std::uint32_t;
using Position = std::ptrdiff_t;

// Myers' algorithm ("An O(ND) Difference Algorithm and Its Variations", 1986) in its
// linear-space form: the middle snake of a box splits it into two smaller boxes, until every
// box is a common beginning and end around insertions or deletions only. Boxes wait on an
// explicit stack, so that no input deepens the call stack.
class Aligner {
  public:
    Aligner(const std::vector<Symbol>& a, const std::vector<Symbol>& b, std::size_t effort)
        : a_(a), b_(b), effort_(effort == 0 ? 1 : static_cast<Position>(effort)),
          offset_(static_cast<Position>(b.size()) + 1), forward_(a.size() + b.size() + 3),
          backward_(a.size() + b.size() + 3) {}

    // partners[x] becomes the position in b of a's element x, -1 for none.
    void Run(std::vector<Position>& partners) {
        partners.assign(a_.size(), -1);
        std::vector<Box> boxes = {
            {0, static_cast<Position>(a_.size()), 0, static_cast<Position>(b_.size())}};
        while (!boxes.empty()) {
            Box box = boxes.back();
            boxes.pop_back();
            while (box.XOff < box.XLim && box.YOff < box.YLim && a_[box.XOff] == b_[box.YOff]) {
                partners[static_cast<std::size_t>(box.XOff++)] = box.YOff++;
            }
            while (box.XOff < box.XLim && box.YOff < box.YLim &&
                   a_[box.XLim - 1] == b_[box.YLim - 1]) {
                partners[static_cast<std::size_t>(--box.XLim)] = --box.YLim;
            }
            if (box.XOff == box.XLim || box.YOff == box.YLim) {
                continue; // only insertions or only deletions are left
            }
            const auto [x, y] = Split(box);
            const Box before{box.XOff, x, box.YOff, y};
            const Box after{x, box.XLim, y, box.YLim};
            // Each part is smaller than the box; a split that is not would never end.
            if (x + y <= box.XOff + box.YOff || x + y >= box.XLim + box.YLim) {
                continue;
            }
            boxes.push_back(after);
            boxes.push_back(before);
        }
    }

  private:
    struct Box {
        Position XOff, XLim, YOff, YLim;
    };
    struct Point {
        Position X, Y;
    };

    Position& Forward(Position diagonal) {
        return forward_[static_cast<std::size_t>(diagonal + offset_)];
    }
    Position& Backward(Position diagonal) {
        return backward_[static_cast<std::size_t>(diagonal + offset_)];
    }

    // A point on a shortest edit path through the box (whose ends differ): where the paths
    // searched from both corners first meet, or, after `effort` steps, the furthest point
    // either search reached.
    Point Split(const Box& box) {
        constexpr Position kBeyond = std::numeric_limits<Position>::max();
        const Position lowest = box.XOff - box.YLim; // diagonals are x - y
        const Position highest = box.XLim - box.YOff;
        const Position forwardMid = box.XOff - box.YOff;
        const Position backwardMid = box.XLim - box.YLim;
        const bool odd = ((forwardMid - backwardMid) & 1) != 0;
        Position fmin = forwardMid, fmax = forwardMid;
        Position bmin = backwardMid, bmax = backwardMid;
        Forward(forwardMid) = box.XOff;
        Backward(backwardMid) = box.XLim;
        for (Position cost = 1;; ++cost) {
            // One more step forward: diagonals grow by one at each end while there is room.
            if (fmin > lowest) {
                Forward(--fmin - 1) = -1;
            } else {
                ++fmin;
            }
            if (fmax < highest) {
                Forward(++fmax + 1) = -1;
            } else {
                --fmax;
            }
            for (Position d = fmax; d >= fmin; d -= 2) {
                const Position below = Forward(d - 1);
                const Position above = Forward(d + 1);
                Position x = below >= above ? below + 1 : above;
                Position y = x - d;
                while (x < box.XLim && y < box.YLim && a_[x] == b_[y]) {
                    ++x;
                    ++y;
                }
                Forward(d) = x;
                if (odd && bmin <= d && d <= bmax && Backward(d) <= x) {
                    return {x, y};
                }
            }
            // One more step backward.
            if (bmin > lowest) {
                Backward(--bmin - 1) = kBeyond;
            } else {
                ++bmin;
            }
            if (bmax < highest) {
                Backward(++bmax + 1) = kBeyond;
            } else {
                --bmax;
            }
            for (Position d = bmax; d >= bmin; d -= 2) {
                const Position below = Backward(d - 1);
                const Position above = Backward(d + 1);
                Position x = below < above ? below : above - 1;
                Position y = x - d;
                while (x > box.XOff && y > box.YOff && a_[x - 1] == b_[y - 1]) {
                    --x;
                    --y;
                }
                Backward(d) = x;
                if (!odd && fmin <= d && d <= fmax && x <= Forward(d)) {
                    return {x, y};
                }
            }
            if (cost >= effort_) {
                return FurthestPoint(box, fmin, fmax, bmin, bmax);
            }
        }
    }

    // The point that got furthest from its corner, forward or backward, within the box.
    Point FurthestPoint(const Box& box, Position fmin, Position fmax, Position bmin,
                        Position bmax) {
        Point forward{box.XOff, box.YOff};
        for (Position d = fmax; d >= fmin; d -= 2) {
            Position x = std::min(Forward(d), box.XLim);
            Position y = x - d;
            if (y > box.YLim) {
                x = box.YLim + d;
                y = box.YLim;
            }
            if (x + y > forward.X + forward.Y) {
                forward = {x, y};
            }
        }
        Point backward{box.XLim, box.YLim};
        for (Position d = bmax; d >= bmin; d -= 2) {
            Position x = std::max(Backward(d), box.XOff);
            Position y = x - d;
            if (y < box.YOff) {
                x = box.YOff + d;
                y = box.YOff;
            }
            if (x + y < backward.X + backward.Y) {
                backward = {x, y};
            }
        }
        const Position forwardGain = forward.X + forward.Y - (box.XOff + box.YOff);
        const Position backwardGain = box.XLim + box.YLim - (backward.X + backward.Y);
        return forwardGain >= backwardGain ? forward : backward;
    }

    const std::vector<Symbol>& a_;
    const std::vector<Symbol>& b_;
    Position effort_;
    Position offset_;
    std::vector<Position> forward_;  // furthest x on each diagonal, searching from the start
    std::vector<Position> backward_; // nearest x on each diagonal, searching from the end
};

} // namespace

std::vector<AlignedPair> AlignSequences(const std::vector<std::string_view>& older,
                                        const std::vector<std::string_view>& newer,
                                        std::size_t effort) {
    // Every distinct text becomes a number; a text found in only one of the sequences can be
    // in no common subsequence, so it is left out before the search.
    std::unordered_map<std::string_view, std::pair<Symbol, bool>> symbols;
    symbols.reserve(older.size());
    for (const std::string_view text : older) {
        symbols.try_emplace(text, static_cast<Symbol>(symbols.size()), false);
    }
    std::vector<Symbol> b;
    std::vector<std::size_t> newerAt;
    for (std::size_t j = 0; j < newer.size(); ++j) {
        const auto found = symbols.find(newer[j]);
        if (found != symbols.end()) {
            found->second.second = true;
            b.push_back(found->second.first);
            newerAt.push_back(j);
        }
    }
    std::vector<Symbol> a;
    std::vector<std::size_t> olderAt;
    for (std::size_t i = 0; i < older.size(); ++i) {
        const auto& [symbol, inNewer] = symbols.find(older[i])->second;
        if (inNewer) {
            a.push_back(symbol);
            olderAt.push_back(i);
        }
    }
    symbols = {};

    std::vector<Position> partners;
    Aligner(a, b, effort).Run(partners);
    std::vector<AlignedPair> pairs;
    for (std::size_t x = 0; x < partners.size(); ++x) {
        if (partners[x] >= 0) {
            pairs.emplace_back(olderAt[x], newerAt[static_cast<std::size_t>(partners[x])]);
        }
    }
    return pairs;
}

std::vector<AlignedPair> AlignCodeLines(const std::vector<std::string_view>& older,
                                        const std::vector<std::string_view>& newer,
                                        std::size_t effort) {
    const auto trimmed = [](const std::vector<std::string_view>& lines) {
        std::vector<std::string_view> texts;
        texts.reserve(lines.size());
        for (const std::string_view line : lines) {
            texts.push_back(Trim(line, " \t"));
        }
        return texts;
    };
    return AlignSequences(trimmed(older), trimmed(newer), effort);
}

} // namespace tickscope
