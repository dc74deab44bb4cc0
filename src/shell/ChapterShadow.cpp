#include "shell/ChapterShadow.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "game/Main.h"
#include "game/PlayLevel.h"
#include "render/SurfEngine.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"

namespace {

// Whether p lies inside the convex polygon (either winding), edges included.
bool InsideConvex(const std::vector<TPoint>& poly, int32_t x, int32_t y) {
    int sign = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const TPoint& a = poly[i];
        const TPoint& b = poly[(i + 1) % poly.size()];
        const int64_t cross = int64_t(b.X - a.X) * (y - a.Y) - int64_t(b.Y - a.Y) * (x - a.X);
        if (cross == 0) continue;
        const int s = cross > 0 ? 1 : -1;
        if (sign != 0 && s != sign) return false;
        sign = s;
    }
    return true;
}

}  // namespace

void TChapterShadow::ShadePolygon(SurfaceRecord& veil, const std::vector<TPoint>& poly) {
    if (poly.size() < 3) return;
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const TPoint& p : poly) {
        left = std::min(left, p.X);
        top = std::min(top, p.Y);
        right = std::max(right, p.X);
        bottom = std::max(bottom, p.Y);
    }
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, veil.Width - 1);
    bottom = std::min(bottom, veil.Height - 1);
    for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x)
            if (InsideConvex(poly, x, y)) veil.AlphaMap[size_t(y) * size_t(veil.AlphaStride) + size_t(x)] = 190;
}

void TChapterShadow::Soften(SurfaceRecord& veil) {
    // One pass of a 3 x 3 box: the shade's edge fades over a few pixels
    // instead of showing the fragments' saw teeth.
    const std::vector<uint8_t> src = veil.AlphaMap;
    const size_t stride = size_t(veil.AlphaStride);
    for (int32_t y = 0; y < veil.Height; ++y)
        for (int32_t x = 0; x < veil.Width; ++x) {
            int32_t sum = 0;
            int32_t n = 0;
            for (int32_t dy = -1; dy <= 1; ++dy)
                for (int32_t dx = -1; dx <= 1; ++dx) {
                    const int32_t px = x + dx;
                    const int32_t py = y + dy;
                    if (px < 0 || py < 0 || px >= veil.Width || py >= veil.Height) continue;
                    sum += src[size_t(py) * stride + size_t(px)];
                    ++n;
                }
            veil.AlphaMap[size_t(y) * stride + size_t(x)] = static_cast<uint8_t>(sum / n);
        }
}

void TChapterShadow::Prepare(const TPlayLevel& level, const TShapeTables& tables) {
    ready_ = hasCursor_ = false;
    TSurfEngine* s = game_.SurfEngine.get();
    pictureControl_ = "WBetweenLevel_TChapter" + std::to_string(level.SceneInd) + "_LPicture";
    const TOrvInterfaceObject* control = ui_.FindInterfaceObject(pictureControl_);
    if (s == nullptr || control == nullptr || s->FindSurface(kShadow) < 0 || level.Scene.SceneWidth <= 0) return;
    const std::string picture = ui_.GetProp(pictureControl_, "Picture").ToString();
    int32_t pw = 0;
    int32_t ph = 0;
    s->GetPictureSize(picture, pw, ph);
    if (pw <= 0) return;
    // The veil starts clear; every fragment still to be restored is shaded
    // whole (its polygon scaled to the picture), then the edges softened.
    s->CreateAlphaChannel(kShadow, 0);
    SurfaceRecord* veil = s->GetSurface(kShadow);
    if (veil == nullptr || veil->AlphaMap.empty()) return;
    std::fill(veil->AlphaMap.begin(), veil->AlphaMap.end(), 0);
    const double scale = double(pw) / double(level.Scene.SceneWidth);
    const int32_t layers = static_cast<int32_t>(level.Scene.Layers.size());
    const TLayer* current = level.Layer();
    const int32_t next = level.CurrentLayer + (current && current->Complete ? 1 : 0);
    TRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t i = std::max(0, level.CurrentLayer); i < layers; ++i) {
        const TLayer& l = level.Scene.Layers[size_t(i)];
        if (l.Complete) continue;
        for (int32_t frag : l.Frags) {
            std::string why;
            if (!tables.FragmentUsable(frag, why)) continue;
            std::vector<TPoint> poly = tables.FragmentPolygon(frag);
            for (TPoint& p : poly)
                p = {static_cast<int32_t>(std::lround((l.X + p.X) * scale)),
                     static_cast<int32_t>(std::lround((l.Y + p.Y) * scale))};
            ShadePolygon(*veil, poly);
            if (i != next) continue;
            for (const TPoint& p : poly)
                box = {std::min(box.Left, p.X), std::min(box.Top, p.Y), std::max(box.Right, p.X),
                       std::max(box.Bottom, p.Y)};
        }
    }
    Soften(*veil);
    clip_ = {0, 0, std::min(pw, veil->Width) - 1, std::min(ph, veil->Height) - 1};
    ready_ = true;
    if (box.Left <= box.Right) {
        hasCursor_ = true;
        cursor_ = {control->AbsLeft + (box.Left + box.Right) / 2, control->AbsTop + (box.Top + box.Bottom) / 2};
    }
}

TRect TChapterShadow::CursorRect() const {
    int32_t w = 0;
    int32_t h = 0;
    if (game_.SurfEngine) game_.SurfEngine->GetPictureSize(kCursor, w, h);
    // The cursor's middle marks the layer.
    const int32_t x = cursor_.X - w / 2;
    const int32_t y = cursor_.Y - h / 2;
    return {x, y, x + w - 1, y + h - 1};
}

void TChapterShadow::PostFormDraw(const std::string& formName) {
    if (!ready_ || formName != "WBetweenLevel" || !game_.SurfEngine) return;
    const TOrvInterfaceObject* control = ui_.FindInterfaceObject(pictureControl_);
    if (control == nullptr || !ui_.IsShown(*control)) return;
    game_.SurfEngine->DrawWithAlphaChannel(kShadow, "MemoryBufer", control->AbsLeft, control->AbsTop, 255, &clip_);
    if (!hasCursor_ || game_.GameState != gsBetweenLevels) return;
    const TRect r = CursorRect();
    const int32_t tint = static_cast<int32_t>(std::lround(192.0 + 63.0 * std::sin(M_PI * game_.NowTime / 400.0)));
    game_.SurfEngine->DrawWithAlphaChannel(kCursor, "MemoryBufer", r.Left, r.Top, 255, nullptr, 0x8000,
                                           static_cast<uint8_t>(tint & 0xFF));
}

void TChapterShadow::Update() {
    if (!hasCursor_ || game_.GameState != gsBetweenLevels) return;
    const TOrvInterfaceObject* top = ui_.TopModal();
    if (top == nullptr || top->Name() != "WBetweenLevel") return;
    game_.DirtyRects.push_back(CursorRect());
}
