// TSurfEngine: owner of every picture the game draws. Pictures are named
// surfaces in plain memory (16-bit with the display's channel masks, or
// 32-bit blue, green, red, unused), each with an optional opacity plane, plus
// named bump maps. All pixel work (copies, alpha blending with opacity and
// tint, solid rectangles, saturating addition, light mapping, mirroring,
// rotation) is done here on the surfaces' memory; Present hands the changed
// rectangles of the finished frame to the display.
//
// Every operation takes surface names; a name that is not registered makes
// the operation do nothing. Every operation clips against the surfaces it
// touches, whatever rectangles and positions it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/OrvTypes.h"
#include "platform/Display.h"

struct TLayout16;

// The copy flag the callers of DrawSurface pass ("wait for the blitter").
constexpr uint32_t DDBLTFAST_WAIT = 16;

// Which row routines the engine uses. Every path gives the same bytes; the
// scalar one is the reference. Tests force a path to compare them.
enum TSimdPath { spScalar, spSSE2, spAVX2 };

struct SurfaceRecord {
    std::string Name;          // the key; lookup is exact and case-sensitive
    std::string FileName;      // archive entry or file it came from; empty when created
    int32_t AlphaStride = -1;  // Width when there is an alpha map, -1 for none (drawn opaque)
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> AlphaMap;             // Width x Height, 0 transparent .. 255 opaque; empty when none
    std::unique_ptr<TDisplaySurface> Surface;  // owned pixel memory; none after ReleaseSurfaces
    uint8_t* Bits = nullptr;                   // first pixel, nullptr when there is no Surface
    int32_t Pitch = 0;                         // bytes from one row to the next

    bool HasAlpha() const { return AlphaStride != -1 && !AlphaMap.empty(); }
};

// One displacement of a bump map. -128 in either byte marks "no displacement"
// and such pairs are skipped when bump maps are copied.
struct TBumpPair {
    int8_t Dx = 0;
    int8_t Dy = 0;
};

struct BumpMapRecord {
    std::string Name;
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<std::vector<TBumpPair>> Rows;  // Height rows of Width pairs
};

class TSurfEngine {
public:
    using TProgressCallback = std::function<void(int32_t percent)>;

    // Reads the display's pixel format; display is not owned and must
    // outlive the engine (or the next Reinit). Surfaces come from the display.
    TSurfEngine(TDisplay* display, int32_t width, int32_t height);
    // An engine without a display, for tools and tests: surfaces are plain
    // memory in the given format; Present does nothing.
    TSurfEngine(const TPixelFormat& format, int32_t width, int32_t height);
    ~TSurfEngine();
    TSurfEngine(const TSurfEngine&) = delete;
    TSurfEngine& operator=(const TSurfEngine&) = delete;

    // Re-runs construction on a new display (after a display-mode change),
    // keeping the surface and bump-map lists.
    void Reinit(TDisplay* display);
    // Releases every record's pixel memory (Surface none, Bits nullptr);
    // records, names and alpha maps stay. Drawing skips such records.
    void ReleaseSurfaces();

    // --- surface list -------------------------------------------------------
    // Index of the first record with that name, or -1.
    int FindSurface(const std::string& name) const;
    // The first record of that name or nullptr; owned by the engine.
    SurfaceRecord* GetSurface(const std::string& name);
    const SurfaceRecord* GetSurface(const std::string& name) const;
    size_t SurfaceCount() const { return surfaces_.size(); }
    SurfaceRecord& SurfaceAt(size_t index) { return surfaces_.at(index); }
    // Appends the record (no duplicate check: the first match wins lookups).
    void AddSurface(SurfaceRecord record);
    // Releases the first record of that name; later records move down.
    void DeleteSurface(const std::string& name);
    // Moves the first record of that name out of the list into taken (later
    // records move down); the caller owns it then. False, taken untouched,
    // when there is none.
    bool TakeSurface(const std::string& name, SurfaceRecord& taken);
    // A zero-filled surface in the engine's format. False (nothing created)
    // when a side is not positive or too large. Raises OrvException
    // "Exception Error in TSurfEngine.CreateSurface." on an internal failure.
    bool CreateSurface(int32_t width, int32_t height, std::unique_ptr<TDisplaySurface>& surface, uint8_t*& bits,
                       int32_t& pitch);
    // CreateSurface + AddSurface with no alpha map; false when creation fails.
    bool CreateEmptySurface(const std::string& name, int32_t width, int32_t height);
    // Fills Height x Pitch bytes of pixel memory with value (0 = black).
    void ClearSurface(const std::string& name, uint8_t value);
    // Only when the surface has no alpha map: a new one filled with value.
    void CreateAlphaChannel(const std::string& name, uint8_t value);
    // Width and Height of the picture; 0, 0 when not registered.
    void GetPictureSize(const std::string& name, int32_t& width, int32_t& height) const;

    // --- drawing ------------------------------------------------------------
    // Opaque copy of the source rectangle (right/bottom exclusive, nullptr =
    // whole source) to (x, y). Raises OrvException "Exception Error in
    // TSurfEngine.DrawSurface.  naSource: ... naDest: ..." on internal failure.
    void DrawSurface(const std::string& source, const std::string& dest, int32_t x, int32_t y,
                     const TRect* sourceRect = nullptr, uint32_t flags = DDBLTFAST_WAIT);
    // The main primitive: the source rectangle (inclusive, nullptr = whole)
    // blended through the source's alpha map at opacity, tinted towards
    // tintColour (0x00BBGGRR) by tintLevel (0 = no tint, 1 = the colour only,
    // larger = more of the picture's own colours). A source without alpha map
    // is copied opaque whatever opacity and tint say.
    void DrawWithAlphaChannel(const std::string& source, const std::string& dest, int32_t x, int32_t y, uint8_t opacity,
                              const TRect* sourceRect = nullptr, uint32_t tintColour = 0, uint8_t tintLevel = 0);
    // Draws count glyph items of the source in array order, each in its own
    // colour (tint level 1) and opacity.
    void DrawGlyphs(const std::string& source, const std::string& dest, size_t count, const TGlyphItem* items);
    // Solid blend of a rectangle (right/bottom exclusive). 32-bit: towards
    // colour by opacity; 16-bit: darkens by opacity, colour unused.
    void DrawRect(const std::string& dest, const TRect& rect, uint32_t colour, uint8_t opacity);
    // Merges the source's opacity (rectangle inclusive, nullptr = whole)
    // times opacity into the destination's alpha map at (x, y), like
    // stacking translucent layers; creates a zero-filled map when missing.
    void AddAlphaChannel(const std::string& source, const std::string& dest, int32_t x, int32_t y,
                         const TRect* sourceRect, uint8_t opacity);
    // A := B + C per channel, saturating. rectB is read from B, rectAC
    // addresses A and C (both right/bottom exclusive, nullptr = whole of A).
    void AddBlend(const std::string& destA, const std::string& sourceB, const std::string& sourceC, const TRect* rectB,
                  const TRect* rectAC);
    // Mirrors pixels and alpha map left-right in place.
    void FlipSurfaceHorizontal(const std::string& name);
    // Replaces the surface by a copy rotated by angle (radians) about
    // (centreX, centreY), same size, bilinear; uncovered pixels black and
    // transparent. The record moves to the end of the list.
    void RotateSurface(const std::string& name, double centreX, double centreY, double angle);
    // Gives record a new zeroed surface of width x height in the engine's
    // format (Surface, Bits, Pitch; nothing else is touched) without adding
    // it to the list, so other threads may call it while this one draws.
    // False when no surface can be had.
    bool NewSurface(int32_t width, int32_t height, SurfaceRecord& record) const;
    // The rotation of RotateSurface into made (a new record with its own
    // surface, source's name and file name), leaving the list alone, so
    // several threads may rotate different pictures at once. False, made
    // empty, when source cannot be drawn or no surface can be had.
    bool RotatedCopy(const SurfaceRecord& source, double centreX, double centreY, double angle,
                     SurfaceRecord& made) const;
    // 8-bit red, green, blue of one pixel (0 for points outside).
    void GetPixelRGB(const SurfaceRecord& surface, int32_t x, int32_t y, uint8_t& red, uint8_t& green,
                     uint8_t& blue) const;
    // One pixel value in the engine's format from 8-bit channels (16-bit:
    // truncated to the channel widths).
    uint32_t ConvertRGB(uint8_t red, uint8_t green, uint8_t blue) const;
    // The smallest rectangle (inclusive) holding every pixel with a colour
    // or an opacity other than zero; Right < Left when there is none.
    TRect DrawnPart(const SurfaceRecord& surface) const;

    // --- bump maps ----------------------------------------------------------
    int FindBumpMap(const std::string& name) const;
    BumpMapRecord* GetBumpMap(const std::string& name);
    // Adds a bump map filled with fill; false when a side is not positive or
    // too large.
    bool CreateBumpMap(const std::string& name, int32_t width, int32_t height, TBumpPair fill = {});
    void AddBumpMap(BumpMapRecord record);
    // Builds a bump map named name from a height picture: each cell's pair is
    // the brightness slope across it (right minus left, below minus above)
    // times strength / 256, within -127..127; cells where the picture is fully
    // transparent get (-128, -128), so copies leave the target alone there.
    // False when the picture is not registered or has no pixels.
    bool CreateBumpMapFromPicture(const std::string& name, const std::string& picture, int32_t strength);
    void DeleteBumpMap(const std::string& name);
    // Copies the pairs of the source rectangle (inclusive, nullptr = whole)
    // to (x, y) of the destination, skipping pairs marked -128.
    void DrawBumpMap(const std::string& source, const std::string& dest, const TRect* sourceRect, int32_t x, int32_t y);
    // Writes pair into every cell of the rectangle (inclusive, nullptr = whole).
    void FillBumpMap(const std::string& name, TBumpPair pair, const TRect* rect);
    // Writes (0, 0) into the cells of rect (inclusive, bump-map coordinates)
    // where the picture's alpha, walked from its top-left, exceeds 10.
    void ClearBumpUnderPicture(const std::string& bumpMap, const std::string& picture, const TRect& rect);
    // Light mapping: each destination pixel of rect (inclusive, nullptr =
    // whole destination) takes the light picture's pixel displaced by the
    // bump map, the light centred at (lightX, lightY).
    void ApplyBump(const std::string& bumpMap, const std::string& light, const std::string& dest, const TRect* rect,
                   int32_t lightX, int32_t lightY);

    // --- presenting ---------------------------------------------------------
    // Copies redrawRects (right/bottom exclusive) of memorySurface to the
    // display. Window mode clips them to the clip list first (changing
    // redrawRects). False when there is no display or it is lost (logged as
    // "Dst " + reason) or the surface is missing ("Src " + reason).
    bool Present(const std::string& memorySurface, TRects& redrawRects);
    // The whole frame (the window's paint handler).
    bool PresentAll(const std::string& memorySurface);
    // Refreshes the clip list from the display when it changed.
    void CheckClipper();
    // Cuts redrawRects to the visible parts of the window.
    void ClipRedrawRects(TRects& redrawRects);
    const TRects& ClipList() const { return clipList_; }
    uint32_t ClipListSize() const { return clipListSize_; }

    // --- format and settings -------------------------------------------------
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    const TPixelFormat& Format() const { return format_; }
    int32_t RedShift() const { return redShift_; }
    int32_t GreenShift() const { return greenShift_; }
    int32_t BlueShift() const { return blueShift_; }
    uint8_t RedBits() const { return redBits_; }
    uint8_t GreenBits() const { return greenBits_; }
    uint8_t BlueBits() const { return blueBits_; }
    TDisplay* Display() const { return display_; }

    // The fastest path this processor supports (chosen at construction).
    static TSimdPath BestSimdPath();
    TSimdPath SimdPath() const { return simdPath_; }
    // Forces a path; one the processor lacks falls back to the best it has.
    void SetSimdPath(TSimdPath path);

    // Called by picture loading with the percentage done (0..100); empty
    // except during loading.
    TProgressCallback ProgressCallback;

private:
    void ReadFormat(const TPixelFormat& format);
    // Blends a clipped area (all inside both surfaces) row by row; alpha
    // rows come from the source's map, or alphaOverride for every row.
    void BlendArea(const SurfaceRecord& src, SurfaceRecord& dst, int srcX, int srcY, int dstX, int dstY, int width,
                   int height, uint8_t opacity, uint32_t tintColour, uint8_t tintLevel, const uint8_t* alphaOverride);
    TLayout16 Layout16() const;
    // Removes the record at index and indexes the names again.
    void EraseSurfaceAt(size_t index);

    TDisplay* display_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<SurfaceRecord> surfaces_;
    // Each name's first record in surfaces_: frames look pictures up by name
    // hundreds of times. Rebuilt whenever records move down.
    std::unordered_map<std::string, size_t> firstOf_;
    std::vector<BumpMapRecord> bumpMaps_;
    TPixelFormat format_;
    int32_t redShift_ = 0;
    int32_t greenShift_ = 0;
    int32_t blueShift_ = 0;
    uint8_t redBits_ = 0;
    uint8_t greenBits_ = 0;
    uint8_t blueBits_ = 0;
    TRects clipList_;
    uint32_t clipListSize_ = 0;
    TSimdPath simdPath_ = spScalar;
};
