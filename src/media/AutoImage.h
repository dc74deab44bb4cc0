// AutoImage scripts: small text recipes in the resource archive that compose
// a picture from other pictures of the archive (placing, tinting, flipping,
// rotating, scaling, cropping, shifting hue) instead of shipping it.
//
// A script is text, one command per line; a line is recognised by the
// command's opening text and its attributes are name="value" pairs:
//   <AutoImage name="out" autosize="true" width=".." height="..">
//   <AddImage name="pic.png" left=".." top=".." srcrect="l t r b"
//             colorvalue=".." color="r g b" alfa=".."/>
//   <FlipImageHorizontal/>  <FlipImageVertical/>
//   <ImageHueChange hue=".." saturation=".." lightness=".."/>
//   <RotateImage x=".." y=".." angle=".."/>
//   <ScaleImage width=".." height=".."/>
//   <CropImage left=".." top=".." width=".." height=".."/>
// The result is added to the archive as "out.pNg" (kind 2).
//
// The canvas is a truecolour picture (3 channels, red, green, blue) that gains
// an alpha channel (4 channels) from the first added picture that has one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/OrvStream.h"
#include "render/PictureCodec.h"

class TFileFolder;

// Hue, lightness and saturation on the 0..240 scale.
struct THLS {
    int32_t H = 0;
    int32_t L = 0;
    int32_t S = 0;
};

// Red, green, blue (0..255) to hue, lightness, saturation (0..240); grey
// gives hue 160 and saturation 0.
THLS RGBToHLS(int32_t red, int32_t green, int32_t blue);
// Back from hue, lightness, saturation; any integers are accepted (values out
// of range give clamped channels, never a fault).
void HLSToRGB(const THLS& hls, uint8_t& red, uint8_t& green, uint8_t& blue);

// The picture operations of the scripts, usable on their own. The canvas
// must have 3 or 4 channels.
// Exchanges row y with row Height - 1 - y (top becomes bottom).
void FlipRows(TPicture& canvas);
// Exchanges column x with column Width - 1 - x (left becomes right).
void FlipColumns(TPicture& canvas);
// Shifts every pixel in HLS space. The pixel's blue is read as red and its
// red as blue, and the result stored the right way round, so with all three
// shifts 0 red and blue are exchanged (exactly, without the rounding of the
// HLS round trip); the game's scripts were made for this behaviour.
void ChangeHue(TPicture& canvas, int32_t hue, int32_t saturation, int32_t lightness);
// Rotates about (centreX, centreY) by angle degrees within the same size;
// uncovered pixels become black and transparent.
TPicture RotatePicture(const TPicture& canvas, int32_t centreX, int32_t centreY, double angleDegrees);
// Resamples to width x height: averaging when a side shrinks, bilinear
// otherwise. Throws OrvException for a size that is not positive or too big.
TPicture ScalePicture(const TPicture& canvas, int32_t width, int32_t height);

// Runs one script against an archive: pictures are read from the archive and
// the result is added to it.
// zlib level and row filter of the pictures written into the prepared
// archive: it is a cache on the player's own disk, rebuilt at will, so a
// first start that encodes several times faster, and later starts that
// decode faster, are worth files a little larger.
constexpr int kPreparedPngLevel = 1;
constexpr TPngRowFilter kPreparedPngFilter = prfUp;

class TAutoImage {
public:
    // archive is not owned and must outlive the object; scriptName only
    // labels error messages.
    TAutoImage(TFileFolder& archive, std::string scriptName);

    // Runs every line of the script and adds the canvas to the archive as
    // name + ".pNg". Throws OrvException "File " + name + " does not exist in
    // File Folder!" for a missing picture, and an OrvException starting with
    // "[TPNGMorf.RunAutoImage]" for an unknown command, a bad number, a
    // rectangle outside its picture, a zero or oversized canvas, or a script
    // without a picture. On failure nothing is added to the archive.
    void Run(std::string_view script);
    // Runs the script like Run but returns the picture as PNG bytes and
    // leaves the archive unchanged (several scripts can run at once when
    // FindEntry is set and nobody changes the archive meanwhile). Throws as
    // Run does.
    TMemoryStream Make(std::string_view script);

    // Where <AddImage> looks first, when set: a picture decoded already (not
    // owned; nullptr when there is none), then an archive entry by name
    // (without regard to the case of A-Z; nullptr when missing). Unset, the
    // archive is asked directly.
    std::function<const TPicture*(const std::string& name)> FindDecoded;
    std::function<const TMemoryStream*(const std::string& name)> FindEntry;

    // The canvas after Run (for tests and tools).
    const TPicture& Canvas() const { return canvas_; }
    const std::string& OutputName() const { return name_; }

    // Largest canvas in pixels a script may make; 64 M pixels by default.
    size_t MaxCanvasPixels = size_t(64) * 1024 * 1024;

private:
    void RunLine(const std::string& line);
    void StartImage(const std::string& line);
    void AddImage(const std::string& line);
    void Rotate(const std::string& line);
    void Scale(const std::string& line);
    void Crop(const std::string& line);
    void NewCanvas(int32_t width, int32_t height);
    int32_t Number(const std::string& line, std::string_view attribute, int32_t fallback) const;
    [[noreturn]] void Fail(const std::string& reason) const;

    TFileFolder& archive_;
    std::string scriptName_;
    std::string name_;
    TPicture canvas_;
    bool autosize_ = false;
    bool firstImage_ = true;
    // The current rectangle, inclusive.
    int32_t left_ = 0, top_ = 0, right_ = -1, bottom_ = -1;
};
