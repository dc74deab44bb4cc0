// What the bot knows about the layer it plays: every placement the fit test
// accepts for every shape, which fragments touch which, and how likely a
// piece from the belts can still cover each free fragment. From that it
// ranks the placements of a piece the way a careful player does: snug
// against what is already filled, big pieces before small ones, and never
// so that a free fragment is left that no piece the belts send can cover.
//
// The planner only reads the level; it is rebuilt when the layer or the
// set of free fragments changes and is cheap to ask otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/OrvTypes.h"

class TPlayLevel;
class TShapeTables;

struct TBotPlacement {
    int32_t Shape = -1;
    TPoint Position;  // scene position of the piece's top-left
    TIntegers Cells;  // indexes in the layer's Frags, one per cell
    double Score = 0;
};

class TBotPlanner {
public:
    explicit TBotPlanner(const TShapeTables& tables);

    // Brings the planner up to date with the level's current layer. Cheap
    // when neither the layer nor its free fragments changed.
    void Update(const TPlayLevel& level);

    // The best placement for the shape or any turn of it, or none. Only
    // placements whose centre lies inside the play field's view count (the
    // mouse has to reach them).
    std::optional<TBotPlacement> Best(int32_t shape) const;
    bool Fits(int32_t shape) const { return Best(shape).has_value(); }

    // Turns of the held piece from shape from to shape to: positive counts
    // turns forward, negative backward (the shorter way); 0 when they are the
    // same or not of one cycle.
    int32_t TurnsBetween(int32_t from, int32_t to) const;
    // The rotation cycle a shape belongs to (an index of the planner's own).
    int32_t CycleOf(int32_t shape) const;

    // The share (0..1) of the belts' shape weight that can still cover the
    // fragment (an index in the layer's Frags); 0 for a fragment that is not
    // free.
    double Cover(int32_t frag) const;
    // Free fragments that need a piece and how many no piece can cover now.
    int32_t OpenFragments() const { return open_; }
    int32_t Stranded() const;

private:
    struct TPlacementRec {
        int32_t Shape;
        int32_t Cycle;
        TPoint Position;
        TIntegers Cells;
        bool Reachable;
    };

    void BuildCycles();
    void BuildLayer(const TPlayLevel& level);
    void BuildPlacements(const TPlayLevel& level);
    double Evaluate(const TPlacementRec& p) const;
    double CoverWithout(int32_t frag, const TIntegers& taken) const;
    bool Free(int32_t k) const { return k >= 0 && size_t(k) < free_.size() && free_[size_t(k)]; }

    const TShapeTables& tables_;
    // Cycles of the shape table.
    std::vector<int32_t> cycle_;                // per shape
    std::vector<std::vector<int32_t>> cycles_;  // shapes of each cycle, in turn order
    std::vector<double> cycleWeight_;           // share of the spawn weight, per cycle

    // The layer.
    uint64_t layerKey_ = 0;
    int32_t layer_ = -1;
    std::vector<TIntegers> neighbours_;  // per fragment: fragments sharing an edge
    TIntegers edges_;                    // per fragment: its edge count
    TIntegers borderEdges_;              // per fragment: edges with no fragment of the layer beyond

    // The free fragments and the placements on them.
    uint64_t signature_ = 0;
    std::vector<bool> free_;
    int32_t open_ = 0;
    std::vector<TPlacementRec> placements_;
    std::vector<TIntegers> byFragment_;  // placements covering a fragment, sorted by cycle
    std::vector<double> cover_;
    mutable std::vector<uint32_t> stamp_;
    mutable uint32_t stampValue_ = 0;
    mutable std::vector<std::optional<TBotPlacement>> bestByCycle_;
    mutable std::vector<bool> bestKnown_;
};
