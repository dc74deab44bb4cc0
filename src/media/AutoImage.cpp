#include "media/AutoImage.h"

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/SFunctions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Rounds to the nearest integer, halves to even.
double RoundEven(double v) {
    return std::nearbyint(v);
}

int32_t ClampInt(double v, int32_t lo, int32_t hi) {
    if (!(v >= lo)) return lo;
    if (v > hi) return hi;
    return int32_t(v);
}

uint8_t ClampByte(int64_t v) {
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void RequireColourCanvas(const TPicture& canvas) {
    if (canvas.Channels != 3 && canvas.Channels != 4)
        throw OrvException("[TPNGMorf.RunAutoImage] Canvas is not a truecolour picture");
}

// Bilinear sample at (sx, sy), which lies within 0..Width - 1, 0..Height - 1;
// a neighbour past the last column or row repeats the one before it. Blue is
// rounded to the nearest, the other samples truncated, as the game's pictures
// were always made.
void SampleBilinear(const TPicture& p, double sx, double sy, uint8_t* out) {
    const int32_t x0 = int32_t(sx), y0 = int32_t(sy);
    const double fx = sx - x0, fy = sy - y0;
    const int32_t x1 = std::min(x0 + 1, p.Width - 1), y1 = std::min(y0 + 1, p.Height - 1);
    const int32_t ch = p.Channels;
    const uint8_t* tl = p.Row(y0) + size_t(x0) * ch;
    const uint8_t* tr = p.Row(y0) + size_t(x1) * ch;
    const uint8_t* bl = p.Row(y1) + size_t(x0) * ch;
    const uint8_t* br = p.Row(y1) + size_t(x1) * ch;
    for (int32_t c = 0; c < ch; ++c) {
        const double left = tl[c] + (double(bl[c]) - tl[c]) * fy;
        const double right = tr[c] + (double(br[c]) - tr[c]) * fy;
        double value = left + (right - left) * fx;
        value = std::clamp(value, 0.0, 255.0);
        out[c] = uint8_t(c == 2 ? RoundEven(value) : std::trunc(value));
    }
}

// Strict decimal integer: optional blanks, optional sign, digits, optional
// blanks. False for anything else or a value beyond 32 bits.
bool ParseInt(std::string_view text, int32_t& out) {
    size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == n) return false;
    int64_t value = 0;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max()) return false;
    out = int32_t(value);
    return true;
}

bool Contains(const std::string& line, std::string_view text) {
    return line.find(text) != std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------- HLS

THLS RGBToHLS(int32_t red, int32_t green, int32_t blue) {
    const double r = red, g = green, b = blue;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    THLS out;
    double l = RoundEven(((mx + mn) * 240 + 255) / 510);
    double s = 0, h = 160;
    if (mx != mn) {
        if (l <= 120)
            s = RoundEven(((mx - mn) * 240 + (mx + mn) / 2) / (mx + mn));
        else
            s = RoundEven(((mx - mn) * 240 + (510 - mx - mn) / 2) / (510 - mx - mn));
        const double d = mx - mn;
        const double dr = ((mx - r) * 40 + d / 2) / d;
        const double dg = ((mx - g) * 40 + d / 2) / d;
        const double db = ((mx - b) * 40 + d / 2) / d;
        if (r == mx)
            h = db - dg;
        else if (g == mx)
            h = 80 + dr - db;
        else
            h = 160 + dg - dr;
        h = RoundEven(h);
        if (h < 0) h += 240;
        if (h > 240) h -= 240;
    }
    out.H = int32_t(h);
    out.L = ClampInt(l, 0, 240);
    out.S = ClampInt(s, 0, 240);
    return out;
}

namespace {

double HueToValue(double m1, double m2, double h) {
    if (h < 0) h += 240;
    if (h > 240) h -= 240;
    if (h < 40) return m1 + ((m2 - m1) * h + 20) / 40;
    if (h < 120) return m2;
    if (h < 160) return m1 + ((m2 - m1) * (160 - h) + 20) / 40;
    return m1;
}

uint8_t ToChannel(double v) {
    return uint8_t(std::clamp(RoundEven(v), 0.0, 255.0));
}

}  // namespace

void HLSToRGB(const THLS& hls, uint8_t& red, uint8_t& green, uint8_t& blue) {
    const double h = hls.H, l = hls.L, s = hls.S;
    if (hls.S == 0) {
        red = green = blue = ToChannel(l * 255 / 240);
        return;
    }
    const double m2 = l <= 120 ? ((s + 240) * l + 120) / 240 : (l + s) - (l * s + 120) / 240;
    const double m1 = 2 * l - m2;
    red = ToChannel((HueToValue(m1, m2, h + 80) * 255 + 120) / 240);
    green = ToChannel((HueToValue(m1, m2, h) * 255 + 120) / 240);
    blue = ToChannel((HueToValue(m1, m2, h - 80) * 255 + 120) / 240);
}

// ------------------------------------------------------ picture operations

void FlipRows(TPicture& canvas) {
    RequireColourCanvas(canvas);
    const size_t rowBytes = canvas.RowBytes();
    for (int32_t y = 0; y < canvas.Height / 2; ++y)
        std::swap_ranges(canvas.Row(y), canvas.Row(y) + rowBytes, canvas.Row(canvas.Height - 1 - y));
}

void FlipColumns(TPicture& canvas) {
    RequireColourCanvas(canvas);
    const int32_t ch = canvas.Channels;
    for (int32_t y = 0; y < canvas.Height; ++y) {
        uint8_t* row = canvas.Row(y);
        for (int32_t x = 0; x < canvas.Width / 2; ++x)
            std::swap_ranges(row + size_t(x) * ch, row + size_t(x + 1) * ch, row + size_t(canvas.Width - 1 - x) * ch);
    }
}

void ChangeHue(TPicture& canvas, int32_t hue, int32_t saturation, int32_t lightness) {
    RequireColourCanvas(canvas);
    const int32_t ch = canvas.Channels;
    const size_t count = size_t(canvas.Width) * size_t(canvas.Height);
    uint8_t* p = canvas.Pixels.data();
    if (hue == 0 && saturation == 0 && lightness == 0) {
        // No shift: only the exchange of red and blue remains. Going through
        // the 241 levels of HLS and back would also nudge some values by one
        // (grey 77 comes back as 78), which an unshifted picture must not.
        for (size_t i = 0; i < count; ++i, p += ch) std::swap(p[0], p[2]);
        return;
    }
    for (size_t i = 0; i < count; ++i, p += ch) {
        // The stored order is taken as blue, green, red read as red, green,
        // blue; see the header.
        THLS hls = RGBToHLS(p[2], p[1], p[0]);
        hls.H += hue;
        hls.L += lightness;
        hls.S += saturation;
        HLSToRGB(hls, p[0], p[1], p[2]);
    }
}

TPicture RotatePicture(const TPicture& canvas, int32_t centreX, int32_t centreY, double angleDegrees) {
    RequireColourCanvas(canvas);
    TPicture out = TPicture::Create(canvas.Width, canvas.Height, canvas.Channels, 0);
    const double angle = angleDegrees / 180 * kPi;
    const double c = std::cos(angle), s = std::sin(angle);
    const double maxX = canvas.Width - 1, maxY = canvas.Height - 1;
    for (int32_t y = 0; y < canvas.Height; ++y) {
        uint8_t* row = out.Row(y);
        for (int32_t x = 0; x < canvas.Width; ++x) {
            const double dx = double(x) - centreX, dy = double(y) - centreY;
            const double sx = centreX + c * dx - s * dy;
            const double sy = centreY + c * dy + s * dx;
            if (!(sx >= 0 && sy >= 0 && sx <= maxX && sy <= maxY)) continue;  // stays black and transparent
            SampleBilinear(canvas, sx, sy, row + size_t(x) * canvas.Channels);
        }
    }
    return out;
}

TPicture ScalePicture(const TPicture& canvas, int32_t width, int32_t height) {
    RequireColourCanvas(canvas);
    TPicture out = TPicture::Create(width, height, canvas.Channels, 0);
    const int32_t ch = canvas.Channels;
    const double fx = double(width) / canvas.Width, fy = double(height) / canvas.Height;
    if (fx >= 1 && fy >= 1) {
        // Enlarging samples bilinearly. The last new columns and rows map a
        // little past the old picture's last column and row; they take the
        // edge instead of turning black, so an enlarged picture has no dark
        // seam along its right and bottom edges.
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const double sx = std::min(x / fx, double(canvas.Width - 1));
                const double sy = std::min(y / fy, double(canvas.Height - 1));
                SampleBilinear(canvas, sx, sy, out.Row(y) + size_t(x) * ch);
            }
        return out;
    }
    // Shrinking: each new pixel is the rounded mean of the old pixels that
    // round onto it. Old rows map onto new rows in order, so one row of sums
    // at a time is enough.
    std::vector<int32_t> targetX(static_cast<size_t>(canvas.Width));
    for (int32_t u = 0; u < canvas.Width; ++u) targetX[size_t(u)] = int32_t(RoundEven(u * fx));
    std::vector<uint64_t> sums(size_t(width) * size_t(ch));
    std::vector<uint32_t> counts(static_cast<size_t>(width));
    int32_t v = 0;
    for (int32_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        while (v < canvas.Height && RoundEven(v * fy) < y) ++v;
        for (int32_t vv = v; vv < canvas.Height && RoundEven(vv * fy) == y; ++vv) {
            const uint8_t* src = canvas.Row(vv);
            for (int32_t u = 0; u < canvas.Width; ++u) {
                const int32_t x = targetX[size_t(u)];
                if (x >= width) continue;
                ++counts[size_t(x)];
                for (int32_t c = 0; c < ch; ++c) sums[size_t(x) * ch + c] += src[size_t(u) * ch + c];
            }
        }
        uint8_t* row = out.Row(y);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t n = counts[size_t(x)];
            if (n == 0) {
                // No old pixel rounds onto this one (a side that grows while
                // the other shrinks): take the nearest old pixel.
                const int32_t u = std::min(canvas.Width - 1, int32_t(x / fx));
                const int32_t w = std::min(canvas.Height - 1, int32_t(y / fy));
                std::copy_n(canvas.Row(w) + size_t(u) * ch, ch, row + size_t(x) * ch);
                continue;
            }
            for (int32_t c = 0; c < ch; ++c) row[size_t(x) * ch + c] = ToChannel(double(sums[size_t(x) * ch + c]) / n);
        }
    }
    return out;
}

// ---------------------------------------------------------------- scripts

TAutoImage::TAutoImage(TFileFolder& archive, std::string scriptName)
    : archive_(archive), scriptName_(std::move(scriptName)) {}

void TAutoImage::Fail(const std::string& reason) const {
    throw OrvException("[TPNGMorf.RunAutoImage] " + reason +
                       (scriptName_.empty() ? std::string() : " (script " + scriptName_ + ")"));
}

int32_t TAutoImage::Number(const std::string& line, std::string_view attribute, int32_t fallback) const {
    const std::string text = AttrValueOf(line, attribute);
    if (text.empty()) return fallback;
    int32_t value = 0;
    if (!ParseInt(text, value)) Fail("Bad number in " + std::string(attribute) + "=\"" + text + "\"");
    return value;
}

void TAutoImage::NewCanvas(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > MaxCanvasPixels || width > kMaxPictureSide ||
        height > kMaxPictureSide)
        Fail("Bad picture size " + std::to_string(width) + "x" + std::to_string(height));
    canvas_ = TPicture::Create(width, height, 3, 0);
    left_ = top_ = 0;
    right_ = width - 1;
    bottom_ = height - 1;
}

void TAutoImage::Run(std::string_view script) {
    TMemoryStream stream = Make(script);
    archive_.AddFile(name_ + ".pNg", 2, stream);
}

TMemoryStream TAutoImage::Make(std::string_view script) {
    firstImage_ = true;
    size_t start = 0;
    while (start <= script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string_view::npos) end = script.size();
        std::string line(script.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        RunLine(line);
        start = end + 1;
    }
    if (name_.empty()) Fail("No <AutoImage name=\"...\"> line");
    if (canvas_.Empty()) Fail("No picture was made for " + name_);
    return TMemoryStream(EncodePNG(canvas_, kPreparedPngLevel, kPreparedPngFilter));
}

void TAutoImage::RunLine(const std::string& line) {
    bool known = false;
    if (Contains(line, "<AutoImage ") && Contains(line, ">")) {
        StartImage(line);
        known = true;
    }
    if (Contains(line, "<AddImage ") && Contains(line, "/>")) {
        AddImage(line);
        known = true;
    }
    const bool needsCanvas = Contains(line, "<FlipImageHorizontal/>") || Contains(line, "<FlipImageVertical/>") ||
                             (Contains(line, "<ImageHueChange ") && Contains(line, "/>")) ||
                             (Contains(line, "<RotateImage ") && Contains(line, "/>")) ||
                             (Contains(line, "<ScaleImage ") && Contains(line, "/>")) ||
                             (Contains(line, "<CropImage ") && Contains(line, "/>"));
    if (needsCanvas && canvas_.Empty()) Fail("Command before the picture has a size: " + line);
    if (Contains(line, "<FlipImageHorizontal/>")) {
        FlipRows(canvas_);
        known = true;
    }
    if (Contains(line, "<FlipImageVertical/>")) {
        FlipColumns(canvas_);
        known = true;
    }
    if (Contains(line, "<ImageHueChange ") && Contains(line, "/>")) {
        ChangeHue(canvas_, Number(line, "hue", 0), Number(line, "saturation", 0), Number(line, "lightness", 0));
        known = true;
    }
    if (Contains(line, "<RotateImage ") && Contains(line, "/>")) {
        Rotate(line);
        known = true;
    }
    if (Contains(line, "<ScaleImage ") && Contains(line, "/>")) {
        Scale(line);
        known = true;
    }
    if (Contains(line, "<CropImage ") && Contains(line, "/>")) {
        Crop(line);
        known = true;
    }
    if (known) return;
    // Closing tags, declarations and comments are fine; any other element is
    // a command this game does not know, which a script author wants to hear
    // about rather than get a silently different picture.
    for (size_t i = line.find('<'); i != std::string::npos; i = line.find('<', i + 1)) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if ((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z')) Fail("Unknown command: " + line);
    }
}

void TAutoImage::StartImage(const std::string& line) {
    name_ = AttrValueOf(line, "name");
    if (name_.empty()) Fail("<AutoImage> without a name");
    autosize_ = AttrValueOf(line, "autosize") == "true";
    firstImage_ = true;
    canvas_ = TPicture();
    if (!autosize_) NewCanvas(Number(line, "width", 0), Number(line, "height", 0));
}

void TAutoImage::AddImage(const std::string& line) {
    const std::string name = AttrValueOf(line, "name");
    const TPicture* decoded = FindDecoded && !name.empty() ? FindDecoded(name) : nullptr;
    TPicture picture;
    if (decoded) {
        picture = *decoded;
    } else {
        const TMemoryStream* stream = name.empty() ? nullptr : FindEntry ? FindEntry(name) : archive_.Stream(name);
        if (!stream) throw OrvException("File " + name + " does not exist in File Folder!");
        picture = DecodePicture(stream->Data(), stream->Size());
    }
    if (picture.IsGrey()) picture = ConvertChannels(picture, picture.HasAlpha() ? 4 : 3);

    int32_t left = Number(line, "left", 0), top = Number(line, "top", 0);
    int32_t l = 0, t = 0, r = picture.Width - 1, b = picture.Height - 1;
    const std::string srcrect = AttrValueOf(line, "srcrect");
    if (!srcrect.empty()) {
        int32_t v[4] = {};
        for (int i = 0; i < 4; ++i)
            if (!ParseInt(GetWord(srcrect, i + 1), v[i])) Fail("Bad srcrect=\"" + srcrect + "\"");
        l = v[0], t = v[1], r = v[2], b = v[3];
        if (l < 0 || t < 0 || l > r || t > b || r >= picture.Width || b >= picture.Height)
            Fail("srcrect=\"" + srcrect + "\" is outside " + name + " (" + std::to_string(picture.Width) + "x" +
                 std::to_string(picture.Height) + ")");
    }
    left_ = l, top_ = t, right_ = r, bottom_ = b;
    if (autosize_) {
        left = top = 0;
        NewCanvas(r - l + 1, b - t + 1);
        left_ = l, top_ = t, right_ = r, bottom_ = b;
        autosize_ = false;
    }
    if (canvas_.Empty()) Fail("<AddImage> before the picture has a size");

    const int32_t k = Number(line, "colorvalue", 0);
    int32_t colour[3] = {255, 255, 255};
    const std::string colourText = AttrValueOf(line, "color");
    if (!colourText.empty())
        for (int i = 0; i < 3; ++i) {
            if (!ParseInt(GetWord(colourText, i + 1), colour[i])) Fail("Bad color=\"" + colourText + "\"");
            colour[i] = std::clamp(colour[i], 0, 255);
        }
    const int32_t opacity = std::clamp(Number(line, "alfa", 255), 0, 255);

    const int32_t sc = picture.Channels, dc = canvas_.Channels;
    const bool sourceAlpha = picture.HasAlpha();
    for (int32_t y = t; y <= b; ++y) {
        const int64_t dy = int64_t(top) + y - t;
        if (dy < 0 || dy >= canvas_.Height) continue;
        for (int32_t x = l; x <= r; ++x) {
            const int64_t dx = int64_t(left) + x - l;
            if (dx < 0 || dx >= canvas_.Width) continue;
            const uint8_t* s = picture.Row(y) + size_t(x) * sc;
            uint8_t* d = canvas_.Row(int32_t(dy)) + size_t(dx) * dc;
            const int32_t m = sourceAlpha ? s[3] : 255;
            if (m == 0) continue;
            if (m == 255 && opacity == 255 && k == 0) {
                d[0] = s[0], d[1] = s[1], d[2] = s[2];
                continue;
            }
            const int32_t a = (m * opacity) >> 8;
            for (int c = 0; c < 3; ++c) {
                int64_t value = s[c];
                if (k > 0) {
                    const int64_t diff = int64_t(s[c] - colour[c]) * k;
                    // floor division, also for negative differences
                    value = colour[c] + (diff >= 0 ? diff / 256 : -((-diff + 255) / 256));
                }
                const uint8_t v = ClampByte(value);
                d[c] = firstImage_ ? v : uint8_t(((255 - a) * d[c] + a * v) >> 8);
            }
        }
    }

    // The first picture with an alpha channel gives the canvas its opacity;
    // once it has one, later pictures leave it alone.
    if (!canvas_.HasAlpha() && sourceAlpha) {
        canvas_ = ConvertChannels(canvas_, 4);
        for (size_t i = 3; i < canvas_.Pixels.size(); i += 4) canvas_.Pixels[i] = 0;
        for (int32_t y = t; y <= b; ++y) {
            const int64_t dy = int64_t(top) + y - t;
            if (dy < 0 || dy >= canvas_.Height) continue;
            for (int32_t x = l; x <= r; ++x) {
                const int64_t dx = int64_t(left) + x - l;
                if (dx < 0 || dx >= canvas_.Width) continue;
                int32_t s = picture.Row(y)[size_t(x) * 4 + 3];
                if (opacity != 255) s = (opacity * s) >> 8;
                uint8_t& d = canvas_.Row(int32_t(dy))[size_t(dx) * 4 + 3];
                if (s == 0 && d == 0) continue;
                d = uint8_t(255 - (((255 - s) * (255 - d)) >> 8));
            }
        }
    }
    firstImage_ = false;
}

void TAutoImage::Rotate(const std::string& line) {
    const int32_t x = Number(line, "x", canvas_.Width / 2);
    const int32_t y = Number(line, "y", canvas_.Height / 2);
    const int32_t angle = Number(line, "angle", 0);
    canvas_ = RotatePicture(canvas_, x, y, angle);
}

void TAutoImage::Scale(const std::string& line) {
    const int32_t width = Number(line, "width", canvas_.Width);
    const int32_t height = Number(line, "height", canvas_.Height);
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > MaxCanvasPixels || width > kMaxPictureSide ||
        height > kMaxPictureSide)
        Fail("Bad picture size " + std::to_string(width) + "x" + std::to_string(height));
    canvas_ = ScalePicture(canvas_, width, height);
}

void TAutoImage::Crop(const std::string& line) {
    const int32_t left = Number(line, "left", left_);
    const int32_t top = Number(line, "top", top_);
    const int64_t width = Number(line, "width", right_ - left_ + 1);
    const int64_t height = Number(line, "height", bottom_ - top_ + 1);
    if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > canvas_.Width ||
        top + height > canvas_.Height)
        Fail("Crop rectangle " + std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(width) + " " +
             std::to_string(height) + " is outside the picture (" + std::to_string(canvas_.Width) + "x" +
             std::to_string(canvas_.Height) + ")");
    TPicture out = TPicture::Create(int32_t(width), int32_t(height), canvas_.Channels);
    const size_t offset = size_t(left) * canvas_.Channels;
    for (int32_t y = 0; y < out.Height; ++y) std::copy_n(canvas_.Row(top + y) + offset, out.RowBytes(), out.Row(y));
    canvas_ = std::move(out);
    left_ = left, top_ = top;
    right_ = int32_t(left + width - 1);
    bottom_ = int32_t(top + height - 1);
}
