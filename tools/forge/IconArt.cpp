#include "IconArt.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "Raster.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace forge {

namespace {

constexpr float kUnits = 256.0f;  // the icon is drawn in a 256-unit square
constexpr float kPi = 3.14159265358979f;

// One shape of the icon: a filled polygon, or with a line width a line from
// the first point to the second. Details are left out below 48 pixels,
// where they would only muddy the picture.
struct TIconShape {
    TPolygon Points;
    TColor Fill;
    float LineWidth = 0;
    bool Detail = false;
};

TPolygon RoundedSquare(float x0, float y0, float x1, float y1, float r) {
    TPolygon p;
    const float cx[] = {x1 - r, x0 + r, x0 + r, x1 - r};
    const float cy[] = {y0 + r, y0 + r, y1 - r, y1 - r};
    for (int corner = 0; corner < 4; ++corner)
        for (int i = 0; i <= 8; ++i) {
            const float a = (corner * 90.0f + i * 90.0f / 8) * kPi / 180.0f;
            p.push_back({cx[corner] + r * std::cos(a), cy[corner] - r * std::sin(a)});
        }
    return p;
}

TPolygon Rect(float x0, float y0, float x1, float y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

TPolygon Disc(float cx, float cy, float r) {
    TPolygon p;
    for (int i = 0; i < 40; ++i) {
        const float a = i * 2 * kPi / 40;
        p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
}

TPolygon Moved(TPolygon p, float dx, float dy) {
    for (TPointF& q : p) {
        q.X += dx;
        q.Y += dy;
    }
    return p;
}

// The polygon grown (k > 1) or shrunk about its centre of vertices.
TPolygon ScaledAboutCentre(TPolygon p, float k) {
    float cx = 0, cy = 0;
    for (const TPointF& q : p) cx += q.X, cy += q.Y;
    cx /= p.size();
    cy /= p.size();
    for (TPointF& q : p) q = {cx + (q.X - cx) * k, cy + (q.Y - cy) * k};
    return p;
}

// The picture spans 28..228 in four cells of 50 units each way; every cell
// is cut by its falling diagonal into an upper-right and a lower-left
// triangle, as the game's own fragments are.
constexpr float kPic0 = 28, kPic1 = 228, kCell = 50;

TPolygon UpperRight(int cx, int cy) {
    const float x = kPic0 + cx * kCell, y = kPic0 + cy * kCell;
    return {{x, y}, {x + kCell, y}, {x + kCell, y + kCell}};
}

TPolygon LowerLeft(int cx, int cy) {
    const float x = kPic0 + cx * kCell, y = kPic0 + cy * kCell;
    return {{x, y}, {x + kCell, y + kCell}, {x, y + kCell}};
}

std::vector<TIconShape> Shapes() {
    std::vector<TIconShape> s;
    s.push_back({RoundedSquare(8, 8, 248, 248, 40), Rgb(38, 48, 74)});
    // The picture: a warm evening sky, the sun, two hills.
    s.push_back({Rect(kPic0, kPic0, kPic1, 84), Rgb(233, 132, 95)});
    s.push_back({Rect(kPic0, 84, kPic1, 128), Rgb(244, 178, 98)});
    s.push_back({Rect(kPic0, 128, kPic1, 170), Rgb(248, 217, 138)});
    s.push_back({Disc(96, 118, 30), Rgb(255, 244, 208)});
    s.push_back({{{kPic0, 158}, {72, 126}, {118, 146}, {168, 118}, {kPic1, 144}, {kPic1, kPic1}, {kPic0, kPic1}},
                 Rgb(111, 158, 90)});
    s.push_back(
        {{{kPic0, 188}, {92, 164}, {152, 184}, {kPic1, 166}, {kPic1, kPic1}, {kPic0, kPic1}}, Rgb(63, 125, 69)});
    // Fragments still to be filled, dark as the empty board in play.
    const TColor hole = Rgb(46, 54, 80);
    for (const TPolygon& t : {UpperRight(2, 0), UpperRight(3, 0), LowerLeft(3, 0), UpperRight(3, 1)})
        s.push_back({t, hole});
    // The cut lines of the fragments.
    const TColor cut = Rgb(255, 255, 255, 0.28f);
    for (int i = 1; i < 4; ++i) {
        const float v = kPic0 + i * kCell;
        s.push_back({{{v, kPic0}, {v, kPic1}}, cut, 1.6f, true});
        s.push_back({{{kPic0, v}, {kPic1, v}}, cut, 1.6f, true});
    }
    for (int i = -3; i <= 3; ++i) {
        const float a = std::max(0, i) * kCell, b = std::max(0, -i) * kCell;
        s.push_back({{{kPic0 + a, kPic0 + b}, {kPic1 - b, kPic1 - a}}, cut, 1.6f, true});
    }
    // The piece the player holds: the shape of the top-right gap, lifted
    // towards the viewer, with its shadow on the picture.
    const TPolygon piece{{128, 28}, {228, 28}, {228, 78}, {178, 78}};
    const TPolygon held = Moved(piece, -40, 44);
    s.push_back({Moved(held, 7, 9), Rgb(0, 0, 0, 0.35f)});
    s.push_back({ScaledAboutCentre(held, 1.12f), Rgb(255, 255, 255)});
    s.push_back({held, Rgb(236, 120, 88)});
    s.push_back(
        {{{held[0].X + 6, held[0].Y + 4}, {held[1].X - 4, held[1].Y + 4}}, Rgb(255, 214, 170, 0.8f), 4.0f, true});
    return s;
}

std::string Hex(const TColor& c) {
    char buf[8];
    auto byte = [](float v) { return static_cast<int>(std::lround(Clamp01(v) * 255)); };
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", byte(c.R), byte(c.G), byte(c.B));
    return buf;
}

std::string Number(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    if (!WriteFileAtomically(path.string(), text.data(), text.size()))
        throw OrvException("Cannot write file " + path.string());
}

}  // namespace

TPicture PaintIcon(int size) {
    TCanvas canvas(size, size);
    const float k = size / kUnits;
    for (const TIconShape& shape : Shapes()) {
        if (shape.Detail && size < 48) continue;
        if (shape.LineWidth > 0) {
            const TPointF& a = shape.Points[0];
            const TPointF& b = shape.Points[1];
            canvas.Line(a.X * k, a.Y * k, b.X * k, b.Y * k, std::max(1.0f, shape.LineWidth * k), shape.Fill);
            continue;
        }
        TPolygon scaled = shape.Points;
        for (TPointF& p : scaled) p = {p.X * k, p.Y * k};
        canvas.FillPolygon(scaled, shape.Fill);
    }
    return canvas.ToRGBA();
}

std::string IconSvg() {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
    for (const TIconShape& shape : Shapes()) {
        const std::string opacity = shape.Fill.A < 1 ? Number(shape.Fill.A) : "";
        if (shape.LineWidth > 0) {
            svg += "  <line x1=\"" + Number(shape.Points[0].X) + "\" y1=\"" + Number(shape.Points[0].Y) + "\" x2=\"" +
                   Number(shape.Points[1].X) + "\" y2=\"" + Number(shape.Points[1].Y) + "\" stroke=\"" +
                   Hex(shape.Fill) + "\" stroke-width=\"" + Number(shape.LineWidth) + "\" stroke-linecap=\"round\"" +
                   (opacity.empty() ? "" : " stroke-opacity=\"" + opacity + "\"") + "/>\n";
            continue;
        }
        svg += "  <polygon points=\"";
        for (size_t i = 0; i < shape.Points.size(); ++i)
            svg += (i ? " " : "") + Number(shape.Points[i].X) + "," + Number(shape.Points[i].Y);
        svg += "\" fill=\"" + Hex(shape.Fill) + "\"" + (opacity.empty() ? "" : " fill-opacity=\"" + opacity + "\"") +
               "/>\n";
    }
    return svg + "</svg>\n";
}

void WriteIcons(const std::string& outDir) {
    const std::filesystem::path theme = std::filesystem::path(outDir) / "icons" / "hicolor";
    for (int size : kIconSizes) {
        const std::string n = std::to_string(size);
        const std::filesystem::path file = theme / (n + "x" + n) / "apps" / (std::string(kAppId) + ".png");
        std::filesystem::create_directories(file.parent_path());
        SavePNGFile(file.string(), PaintIcon(size));
    }
    WriteText(theme / "scalable" / "apps" / (std::string(kAppId) + ".svg"), IconSvg());
}

}  // namespace forge
