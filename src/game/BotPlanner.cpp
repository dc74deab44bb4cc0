#include "game/BotPlanner.h"

#include <algorithm>
#include <map>

#include "game/PlayLevel.h"
#include "game/ShapeTables.h"

namespace {

// How much each part of a placement's judgement weighs. Contact is the
// share of the piece's outline that lies against filled fragments or the
// layer's edge (0..1); every cell covered adds a little, so of two snug
// placements the bigger piece goes first; a free fragment that no piece can
// cover any more costs about as much as two perfect contacts, since only the
// game's rescue piece can fill it; a fragment that only rare pieces can
// cover costs in proportion to how many pieces the player waits for it.
constexpr double kCellBonus = 0.04;
constexpr double kStrandPenalty = 2.0;
constexpr double kWaitPenalty = 0.05;
constexpr double kMaxWait = 25.0;
// Shape 0 also comes from the Chameleon and for a last free fragment.
constexpr double kShapeZeroShare = 0.02;

double Wait(double cover) {
    return cover <= 0 ? kMaxWait : std::min(kMaxWait, 1.0 / cover);
}

uint64_t Mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h;
}

}  // namespace

TBotPlanner::TBotPlanner(const TShapeTables& tables) : tables_(tables) {
    BuildCycles();
}

void TBotPlanner::BuildCycles() {
    const int32_t n = tables_.ShapeCount();
    cycle_.assign(size_t(n), -1);
    cycles_.clear();
    for (int32_t s = 0; s < n; ++s) {
        if (cycle_[size_t(s)] >= 0) continue;
        // Follow the turns; only a walk that comes back to s is a cycle the
        // player can turn through. A broken chain leaves s on its own.
        std::vector<int32_t> walk{s};
        int32_t t = tables_.FindShape(tables_.NextName(s));
        while (t >= 0 && t != s && walk.size() <= size_t(n) && cycle_[size_t(t)] < 0 &&
               std::find(walk.begin(), walk.end(), t) == walk.end()) {
            walk.push_back(t);
            t = tables_.FindShape(tables_.NextName(t));
        }
        if (t != s) walk.resize(1);
        const int32_t id = static_cast<int32_t>(cycles_.size());
        for (int32_t m : walk) cycle_[size_t(m)] = id;
        cycles_.push_back(std::move(walk));
    }
}

int32_t TBotPlanner::CycleOf(int32_t shape) const {
    if (shape < 0 || size_t(shape) >= cycle_.size()) return -1;
    return cycle_[size_t(shape)];
}

int32_t TBotPlanner::TurnsBetween(int32_t from, int32_t to) const {
    const int32_t c = CycleOf(from);
    if (c < 0 || c != CycleOf(to) || from == to) return 0;
    const auto& shapes = cycles_[size_t(c)];
    const int32_t n = static_cast<int32_t>(shapes.size());
    const int32_t pf = static_cast<int32_t>(std::find(shapes.begin(), shapes.end(), from) - shapes.begin());
    const int32_t pt = static_cast<int32_t>(std::find(shapes.begin(), shapes.end(), to) - shapes.begin());
    const int32_t forward = ((pt - pf) % n + n) % n;
    return forward <= n - forward ? forward : forward - n;
}

// ---------------------------------------------------------------------------
// The layer

void TBotPlanner::Update(const TPlayLevel& level) {
    const TLayer* l = level.Layer();
    if (!l) {
        layer_ = -1;
        placements_.clear();
        free_.clear();
        open_ = 0;
        return;
    }
    // The layer is known by its place and fragments (a scene loaded again
    // may reuse the same memory).
    uint64_t layerKey = Mix(1469598103934665603ull, uint64_t(uint32_t(level.CurrentLayer)));
    layerKey = Mix(layerKey, uint64_t(uint32_t(l->X)) << 32 | uint32_t(l->Y));
    for (int32_t f : l->Frags) layerKey = Mix(layerKey, uint64_t(uint32_t(f)));
    for (int32_t w : level.Scene.FishkaWeights) layerKey = Mix(layerKey, uint64_t(uint32_t(w)));
    if (layerKey != layerKey_ || layer_ != level.CurrentLayer) {
        layerKey_ = layerKey;
        layer_ = level.CurrentLayer;
        BuildLayer(level);
        signature_ = 0;
    }
    uint64_t h = Mix(layerKey, uint64_t(layer_));
    h = Mix(h, uint64_t(level.ScrollX) << 20 ^ uint64_t(uint32_t(level.ScrollY)));
    for (size_t k = 0; k < l->Frags.size(); ++k)
        h = Mix(h, uint64_t(uint32_t(l->FragsLevel[k])) << 1 | uint64_t(l->FragsBusy[k] == -1));
    if (h == signature_ && !placements_.empty()) return;
    signature_ = h;
    BuildPlacements(level);
}

void TBotPlanner::BuildLayer(const TPlayLevel& level) {
    const TLayer& l = *level.Layer();
    const size_t n = l.Frags.size();
    neighbours_.assign(n, {});
    edges_.assign(n, 0);
    borderEdges_.assign(n, 0);
    // Two fragments touch when they share an edge: the same two corners.
    std::map<std::pair<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>>, TIntegers> byEdge;
    for (size_t k = 0; k < n; ++k) {
        const std::vector<TPoint> poly = tables_.FragmentPolygon(l.Frags[k]);
        edges_[k] = static_cast<int32_t>(poly.size());
        for (size_t i = 0; i < poly.size(); ++i) {
            std::pair<int32_t, int32_t> a{poly[i].X, poly[i].Y};
            std::pair<int32_t, int32_t> b{poly[(i + 1) % poly.size()].X, poly[(i + 1) % poly.size()].Y};
            if (b < a) std::swap(a, b);
            byEdge[{a, b}].push_back(static_cast<int32_t>(k));
        }
    }
    for (const auto& [edge, frags] : byEdge) {
        if (frags.size() == 1) {
            ++borderEdges_[size_t(frags[0])];
            continue;
        }
        for (int32_t a : frags)
            for (int32_t b : frags)
                if (a != b) neighbours_[size_t(a)].push_back(b);
    }
    // The share of the belts' weight per cycle; shape 0 always has a little.
    cycleWeight_.assign(cycles_.size(), 0.0);
    double total = 0;
    const TIntegers& w = level.Scene.FishkaWeights;
    for (size_t s = 0; s < cycle_.size() && s < w.size(); ++s) {
        if (w[s] <= 0) continue;
        cycleWeight_[size_t(cycle_[s])] += w[s];
        total += w[s];
    }
    for (double& c : cycleWeight_) c = total > 0 ? c / total : 0.0;
    if (!cycle_.empty()) {
        double& zero = cycleWeight_[size_t(cycle_[0])];
        zero = std::max(zero, kShapeZeroShare);
    }
}

void TBotPlanner::BuildPlacements(const TPlayLevel& level) {
    const TLayer& l = *level.Layer();
    const size_t n = l.Frags.size();
    free_.assign(n, false);
    open_ = 0;
    for (size_t k = 0; k < n; ++k) {
        free_[k] = l.FragsBusy[k] == -1 && l.FragsLevel[k] > 0;
        open_ += free_[k] ? 1 : 0;
    }
    placements_.clear();
    for (int32_t s = 0; s < tables_.ShapeCount(); ++s) {
        const TPoint c = tables_.Shape(s).Center;
        for (TFitResult& r : level.Placements(s, 4096)) {
            const TPoint at = level.ToScreen(r.Position.X + c.X, r.Position.Y + c.Y);
            const bool reachable = at.X >= 0 && at.X < 800 && at.Y >= 0 && at.Y < 600;
            placements_.push_back({s, cycle_[size_t(s)], r.Position, std::move(r.Cells), reachable});
        }
    }
    byFragment_.assign(n, {});
    for (size_t i = 0; i < placements_.size(); ++i)
        for (int32_t k : placements_[i].Cells) byFragment_[size_t(k)].push_back(static_cast<int32_t>(i));
    for (TIntegers& list : byFragment_)
        std::stable_sort(list.begin(), list.end(), [this](int32_t a, int32_t b) {
            return placements_[size_t(a)].Cycle < placements_[size_t(b)].Cycle;
        });
    stamp_.assign(n, 0);
    stampValue_ = 0;
    cover_.assign(n, 0.0);
    for (size_t k = 0; k < n; ++k) cover_[k] = free_[k] ? CoverWithout(static_cast<int32_t>(k), {}) : 0.0;
    bestByCycle_.assign(cycles_.size(), std::nullopt);
    bestKnown_.assign(cycles_.size(), false);
}

// ---------------------------------------------------------------------------
// Judging placements

double TBotPlanner::CoverWithout(int32_t frag, const TIntegers& taken) const {
    // The taken fragments are stamped by the caller (or none are taken).
    double cover = 0;
    int32_t counted = -1;
    for (int32_t i : byFragment_[size_t(frag)]) {
        const TPlacementRec& q = placements_[size_t(i)];
        if (q.Cycle == counted) continue;
        bool blocked = false;
        if (!taken.empty())
            for (int32_t k : q.Cells) blocked = blocked || stamp_[size_t(k)] == stampValue_;
        if (blocked) continue;
        counted = q.Cycle;
        cover += cycleWeight_[size_t(q.Cycle)];
    }
    return std::min(1.0, cover);
}

double TBotPlanner::Evaluate(const TPlacementRec& p) const {
    if (++stampValue_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        stampValue_ = 1;
    }
    for (int32_t k : p.Cells) stamp_[size_t(k)] = stampValue_;
    int32_t contact = 0;
    int32_t open = 0;
    TIntegers around;
    for (int32_t k : p.Cells) {
        contact += borderEdges_[size_t(k)];
        for (int32_t m : neighbours_[size_t(k)]) {
            if (stamp_[size_t(m)] == stampValue_) continue;
            if (!Free(m)) {
                ++contact;
                continue;
            }
            ++open;
            if (std::find(around.begin(), around.end(), m) == around.end()) around.push_back(m);
        }
    }
    double score = contact + open > 0 ? double(contact) / double(contact + open) : 1.0;
    score += kCellBonus * double(p.Cells.size());
    for (int32_t m : around) {
        const double before = cover_[size_t(m)];
        const double after = CoverWithout(m, p.Cells);
        if (before > 0 && after <= 0)
            score -= kStrandPenalty;
        else if (after < before)
            score -= kWaitPenalty * (Wait(after) - Wait(before));
    }
    return score;
}

std::optional<TBotPlacement> TBotPlanner::Best(int32_t shape) const {
    const int32_t c = CycleOf(shape);
    if (c < 0 || layer_ < 0) return std::nullopt;
    if (bestKnown_[size_t(c)]) return bestByCycle_[size_t(c)];
    std::optional<TBotPlacement> best;
    for (const TPlacementRec& p : placements_) {
        if (p.Cycle != c || !p.Reachable) continue;
        const double score = Evaluate(p);
        if (best && score <= best->Score) continue;
        best = TBotPlacement{p.Shape, p.Position, p.Cells, score};
    }
    bestKnown_[size_t(c)] = true;
    bestByCycle_[size_t(c)] = best;
    return best;
}

double TBotPlanner::Cover(int32_t frag) const {
    if (frag < 0 || size_t(frag) >= cover_.size()) return 0.0;
    return cover_[size_t(frag)];
}

int32_t TBotPlanner::Stranded() const {
    int32_t n = 0;
    for (size_t k = 0; k < free_.size(); ++k) n += free_[k] && cover_[k] <= 0 ? 1 : 0;
    return n;
}
