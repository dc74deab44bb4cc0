#include "RegionPlanner.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <queue>

#include "ShapeTables.h"

namespace forge {

namespace {

struct TRegion {
    int MinC = 1 << 20, MinR = 1 << 20, MaxC = -1, MaxR = -1;
    int Size = 0;
    TColor Mean;
    bool Fits(int c0, int r0, int c1, int r1, int slack = 0) const {
        return std::max(MaxC, c1) - std::min(MinC, c0) < kPlanMaxCols + slack &&
               std::max(MaxR, r1) - std::min(MinR, r0) < kPlanMaxRows + slack;
    }
};

float ColourDistance(const TColor& a, const TColor& b) {
    return std::sqrt((a.R - b.R) * (a.R - b.R) + (a.G - b.G) * (a.G - b.G) + (a.B - b.B) * (a.B - b.B));
}

}  // namespace

std::vector<std::string> PlanRegions(const TCanvas& painting, const std::vector<TProtected>& objects, int layers) {
    const int cols = painting.Width() / kCellSize, rows = painting.Height() / kCellSize;
    const int n = cols * rows;
    auto at = [&](int c, int r) { return r * cols + c; };
    // The mean colour of every cell.
    std::vector<TColor> mean(static_cast<size_t>(n));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            TColor sum{0, 0, 0, 0};
            for (int y = 0; y < kCellSize; y += 2)
                for (int x = 0; x < kCellSize; x += 2) {
                    const TColor& p = painting.At(c * kCellSize + x, r * kCellSize + y);
                    sum.R += p.R;
                    sum.G += p.G;
                    sum.B += p.B;
                }
            float k = 1.0f / float((kCellSize / 2) * (kCellSize / 2));
            mean[size_t(at(c, r))] = TColor{sum.R * k, sum.G * k, sum.B * k, 1};
        }
    // Cells under one object, or under objects that overlap, form a group
    // that a layer takes whole.
    std::vector<int> group(static_cast<size_t>(n));
    std::iota(group.begin(), group.end(), 0);
    auto find = [&](int i) {
        while (group[size_t(i)] != i) i = group[size_t(i)] = group[size_t(group[size_t(i)])];
        return i;
    };
    for (const TProtected& o : objects) {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (const TPointF& p : o.Outline) {
            x0 = std::min(x0, p.X);
            y0 = std::min(y0, p.Y);
            x1 = std::max(x1, p.X);
            y1 = std::max(y1, p.Y);
        }
        int c0 = std::clamp(int(x0) / kCellSize, 0, cols - 1),
            c1 = std::clamp(int(x1 - 0.01f) / kCellSize, 0, cols - 1);
        int r0 = std::clamp(int(y0) / kCellSize, 0, rows - 1),
            r1 = std::clamp(int(y1 - 0.01f) / kCellSize, 0, rows - 1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) group[size_t(find(at(c, r)))] = find(at(c0, r0));
    }
    std::vector<std::vector<int>> members(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) members[size_t(find(i))].push_back(i);
    // Seeds spread by farthest-point sampling, starting at the top left.
    std::vector<int> seeds{0};
    std::vector<float> far(static_cast<size_t>(n), 1e9f);
    while (int(seeds.size()) < layers) {
        int s = seeds.back(), best = 0;
        for (int i = 0; i < n; ++i) {
            far[size_t(i)] =
                std::min(far[size_t(i)], std::hypot(float(i % cols - s % cols), float(i / cols - s / cols) * 1.2f));
            if (far[size_t(i)] > far[size_t(best)]) best = i;
        }
        seeds.push_back(best);
    }
    std::vector<int> owner(static_cast<size_t>(n), -1);
    std::vector<TRegion> regions(seeds.size());
    using TItem = std::pair<float, std::pair<int, int>>;  // cost, (cell, region)
    std::priority_queue<TItem, std::vector<TItem>, std::greater<TItem>> open;
    auto claim = [&](int cell, int region) {
        // The cell's whole group goes, or none of it.
        const std::vector<int>& g = members[size_t(find(cell))];
        int c0 = cols, r0 = rows, c1 = -1, r1 = -1;
        for (int m : g) {
            if (owner[size_t(m)] >= 0) return false;
            c0 = std::min(c0, m % cols);
            c1 = std::max(c1, m % cols);
            r0 = std::min(r0, m / cols);
            r1 = std::max(r1, m / cols);
        }
        TRegion& reg = regions[size_t(region)];
        // An object larger than the box limit still gets a layer of its own.
        if (reg.Size > 0 && !reg.Fits(c0, r0, c1, r1)) return false;
        for (int m : g) {
            owner[size_t(m)] = region;
            reg.Mean = Mix(reg.Mean, mean[size_t(m)], reg.Size == 0 ? 1.0f : 1.0f / float(reg.Size + 1));
            ++reg.Size;
        }
        reg.MinC = std::min(reg.MinC, c0);
        reg.MaxC = std::max(reg.MaxC, c1);
        reg.MinR = std::min(reg.MinR, r0);
        reg.MaxR = std::max(reg.MaxR, r1);
        return true;
    };
    const float target = float(n) / float(layers);
    auto push = [&](int cell, int region, float base) {
        static const int kStep[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (const auto& s : kStep) {
            int c = cell % cols + s[0], r = cell / cols + s[1];
            if (c < 0 || r < 0 || c >= cols || r >= rows || owner[size_t(at(c, r))] >= 0) continue;
            const TRegion& reg = regions[size_t(region)];
            float colour = ColourDistance(mean[size_t(at(c, r))], reg.Mean) * 6.0f +
                           ColourDistance(mean[size_t(at(c, r))], mean[size_t(cell)]) * 10.0f;
            float crowd = float(reg.Size) / target;
            open.push({base + 1.0f + colour + crowd * crowd * 2.0f, {at(c, r), region}});
        }
    };
    auto grow = [&]() {
        while (!open.empty()) {
            auto [cost, item] = open.top();
            open.pop();
            auto [cell, region] = item;
            if (owner[size_t(cell)] < 0 && !claim(cell, region)) continue;
            if (owner[size_t(cell)] != region) continue;
            for (int m : members[size_t(find(cell))]) push(m, region, cost);
        }
    };
    for (size_t i = 0; i < seeds.size(); ++i)
        if (claim(seeds[i], int(i))) open.push({0.0f, {seeds[i], int(i)}});
    grow();
    // What the box limits left over grows into layers of its own, from the
    // first free cell on; a seed whose object was taken already is dropped.
    for (int i = 0; i < n; ++i) {
        if (owner[size_t(i)] >= 0) continue;
        regions.push_back(TRegion{});
        if (claim(i, int(regions.size()) - 1)) {
            open.push({0.0f, {i, int(regions.size()) - 1}});
            grow();
        }
    }
    // Scraps and slivers join a neighbour whose box takes them, a little
    // beyond the limit if need be: a strip a cell or two wide is no level.
    for (size_t g = 0; g < regions.size(); ++g) {
        const TRegion& me = regions[g];
        bool thin = me.MaxC - me.MinC < 2 || me.MaxR - me.MinR < 2;
        if (me.Size == 0 || (me.Size >= 24 && !thin)) continue;
        for (int i = 0; i < n && regions[g].Size > 0; ++i) {
            if (owner[size_t(i)] != int(g)) continue;
            static const int kStep[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& st : kStep) {
                int c = i % cols + st[0], r = i / cols + st[1];
                if (c < 0 || r < 0 || c >= cols || r >= rows) continue;
                int o = owner[size_t(at(c, r))];
                if (o < 0 || o == int(g)) continue;
                TRegion& to = regions[size_t(o)];
                const TRegion& from = regions[g];
                if (!to.Fits(from.MinC, from.MinR, from.MaxC, from.MaxR, 2)) continue;
                for (int k = 0; k < n; ++k)
                    if (owner[size_t(k)] == int(g)) owner[size_t(k)] = o;
                to.MinC = std::min(to.MinC, from.MinC);
                to.MaxC = std::max(to.MaxC, from.MaxC);
                to.MinR = std::min(to.MinR, from.MinR);
                to.MaxR = std::max(to.MaxR, from.MaxR);
                to.Size += from.Size;
                regions[g].Size = 0;
                break;
            }
        }
    }
    // Layers still too small to be a level hand their cells, object group
    // by object group, to neighbours whose box takes them.
    for (size_t g = 0; g < regions.size(); ++g) {
        if (regions[g].Size == 0 || regions[g].Size >= 36) continue;
        for (bool moved = true; moved && regions[g].Size > 0;) {
            moved = false;
            for (int i = 0; i < n; ++i) {
                if (owner[size_t(i)] != int(g)) continue;
                const std::vector<int>& grp = members[size_t(find(i))];
                int c0 = cols, r0 = rows, c1 = -1, r1 = -1;
                for (int m : grp) {
                    c0 = std::min(c0, m % cols);
                    c1 = std::max(c1, m % cols);
                    r0 = std::min(r0, m / cols);
                    r1 = std::max(r1, m / cols);
                }
                static const int kStep[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
                int to = -1;
                for (int m : grp)
                    for (const auto& st : kStep) {
                        int c = m % cols + st[0], r = m / cols + st[1];
                        if (c < 0 || r < 0 || c >= cols || r >= rows) continue;
                        int o = owner[size_t(at(c, r))];
                        if (o >= 0 && o != int(g) && regions[size_t(o)].Fits(c0, r0, c1, r1, 2)) to = o;
                    }
                if (to < 0) continue;
                TRegion& t = regions[size_t(to)];
                for (int m : grp) owner[size_t(m)] = to;
                t.MinC = std::min(t.MinC, c0);
                t.MaxC = std::max(t.MaxC, c1);
                t.MinR = std::min(t.MinR, r0);
                t.MaxR = std::max(t.MaxR, r1);
                t.Size += int(grp.size());
                regions[g].Size -= int(grp.size());
                moved = true;
            }
        }
    }
    // Order the layers top to bottom, left to right, by their centres.
    std::vector<int> order(regions.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<float> cy(regions.size(), 0), cx(regions.size(), 0);
    for (int i = 0; i < n; ++i)
        if (owner[size_t(i)] >= 0) {
            cy[size_t(owner[size_t(i)])] += float(i / cols);
            cx[size_t(owner[size_t(i)])] += float(i % cols);
        }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        float ka = cy[size_t(a)] / std::max(1, regions[size_t(a)].Size) * 100 +
                   cx[size_t(a)] / std::max(1, regions[size_t(a)].Size);
        float kb = cy[size_t(b)] / std::max(1, regions[size_t(b)].Size) * 100 +
                   cx[size_t(b)] / std::max(1, regions[size_t(b)].Size);
        return ka < kb;
    });
    std::vector<char> letter(regions.size(), '.');
    char next = 'A';
    for (int k : order)
        if (regions[size_t(k)].Size > 0 && next <= 'Z') letter[size_t(k)] = next++;
    std::vector<std::string> map(size_t(rows), std::string(size_t(cols), '.'));
    for (int i = 0; i < n; ++i)
        if (owner[size_t(i)] >= 0) map[size_t(i / cols)][size_t(i % cols)] = letter[size_t(owner[size_t(i)])];
    return map;
}

}  // namespace forge
