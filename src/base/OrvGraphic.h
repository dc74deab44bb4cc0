// IOrvGraphic: the drawing and sound services of the main window, through
// which the interface engine and the bitmap fonts draw without touching
// pixels. The game engine implements it; callers hold a plain pointer (the
// engine outlives every control and font).
#pragma once

#include <cstdint>
#include <string>

#include "base/BlendingMode.h"
#include "base/OrvTypes.h"

class IOrvGraphic {
public:
    virtual ~IOrvGraphic() = default;
    // Draws the picture (or its source rectangle, inclusive, nullptr = all)
    // onto the scene buffer at (x, y) with the opacity. The bump-map picture
    // and the blending mode are accepted and not used: every picture blends
    // through its alpha map alike.
    virtual void Draw(const std::string& picture, const std::string& bumpPicture, TBlendingMode mode, int32_t x,
                      int32_t y, uint8_t alpha, const TRect* sourceRect) = 0;
    // Writes into the bump map "Bump": the bump picture at (x, y), or,
    // without one, clears the cells under the picture.
    virtual void DrawBumpMap(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y) = 0;
    // A solid rectangle (right/bottom exclusive) on the scene buffer; name
    // and mode are not used.
    virtual void DrawRect(const std::string& name, const TRect& rect, uint32_t colour, uint8_t alpha, int32_t mode) = 0;
    // Draws the first count glyph records of the font engine's batch from the
    // picture onto the scene buffer.
    virtual void ExtDraw(const std::string& picture, int32_t count) = 0;
    // The picture tinted fully with colour at the opacity, onto the finished
    // frame.
    virtual void DrawColoredAlpha(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y,
                                  uint32_t colour, uint8_t alpha) = 0;
    // Width and height of a picture; 0 and 0 when it is not registered.
    virtual void GetPictureSize(int32_t& width, int32_t& height, const std::string& picture) = 0;
    // The screen's size (800 x 600).
    virtual void GetScreenSize(int32_t& width, int32_t& height) = 0;
    virtual void PlaySound(const std::string& soundName) = 0;
    // Called after each visible form has been drawn.
    virtual void PostFormDraw(const std::string& formName) = 0;
    // As DrawColoredAlpha with a source rectangle (inclusive, nullptr = all).
    virtual void LowExtDraw(const std::string& picture, int32_t x, int32_t y, uint32_t colour, uint8_t alpha,
                            const TRect* sourceRect) = 0;
};
