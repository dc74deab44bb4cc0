// The three kinds of morph function: piecewise paths read from path scripts,
// periodic (sine-based) and parabolic functions, and their library.
#include <cmath>
#include <numbers>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "fx/OrvFXBase.h"

namespace {

constexpr float kTiny = 1e-6f;
constexpr double kDegToRad = std::numbers::pi / 180.0;

// Keeps only the first dim components of v.
TOrvVector Masked(TOrvVector v, int dim) {
    for (int i = dim; i < 3; ++i) v[i] = 0.0f;
    return v;
}

float Distance(const TOrvVector& a, const TOrvVector& b, int dim) {
    return VecLength(VecSub(a, b), dim);
}

// Length of a cubic Bezier by subdivision: the control polygon against the
// chord, split at the middle until they agree. Depth is capped so curves with
// huge or degenerate coordinates cannot recurse without end.
double BezierLength(const double p[4][3], int dim, int depth) {
    auto dist = [dim](const double* a, const double* b) {
        double sum = 0.0;
        for (int i = 0; i < dim; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
        return std::sqrt(sum);
    };
    const double polygon = dist(p[0], p[1]) + dist(p[1], p[2]) + dist(p[2], p[3]);
    const double chord = dist(p[0], p[3]);
    if (!(polygon - chord > 1e-6) || depth >= 12 || !std::isfinite(polygon)) return polygon;
    double left[4][3];
    double right[4][3];
    for (int i = 0; i < 3; ++i) {
        const double p01 = (p[0][i] + p[1][i]) / 2, p12 = (p[1][i] + p[2][i]) / 2, p23 = (p[2][i] + p[3][i]) / 2;
        const double a = (p01 + p12) / 2, b = (p12 + p23) / 2, m = (a + b) / 2;
        left[0][i] = p[0][i];
        left[1][i] = p01;
        left[2][i] = a;
        left[3][i] = m;
        right[0][i] = m;
        right[1][i] = b;
        right[2][i] = p23;
        right[3][i] = p[3][i];
    }
    return BezierLength(left, dim, depth + 1) + BezierLength(right, dim, depth + 1);
}

[[noreturn]] void BadStatement(std::string_view statement) {
    throw OrvException("Invalid path script statement \"" + std::string(statement) + "\"");
}

// A timing text: seconds, or with a leading "+" a speed (stored negated).
float ReadTiming(std::string_view text, std::string_view statement) {
    const std::string_view t = FXTrim(text);
    float v = 0.0f;
    if (!FXParseFloat(t, v)) BadStatement(statement);
    if (!t.empty() && t.front() == '+') return -v;
    return v;
}

// One or two comma-separated numbers; a single number sets both.
void ReadPair(std::string_view text, float& a, float& b, std::string_view statement) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        if (!FXParseFloat(text, a)) BadStatement(statement);
        b = a;
        return;
    }
    if (!FXParseFloat(text.substr(0, comma), a) || !FXParseFloat(text.substr(comma + 1), b)) BadStatement(statement);
}

}  // namespace

// ---------------------------------------------------------------------------
// TOrvMorphFunc

TOrvMorphFunc::TOrvMorphFunc() {
    SetDefaultName("TOrvMorphFunc");
}

bool TOrvMorphFunc::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvMorphFunc*>(source);
    if (!src) return false;
    TOrvBaseObject::Assign(source);
    Dim = src->Dim;
    Weight = src->Weight;
    return true;
}

int32_t TOrvMorphFunc::ParamIndex(std::string_view name) const {
    if (FXSameText(name, "Weight")) return 0;
    ThrowBadParam(name);
}

void TOrvMorphFunc::SetParam(int32_t index, const TOrvVector& value) {
    if (index != 0) ThrowBadParamIndex(index);
    Weight = value.X;
}

void TOrvMorphFunc::ThrowBadParam(std::string_view param) const {
    throw OrvException("Invalid " + std::string(ClassName()) + " function \"" + Name() + "\" parameter \"" +
                       std::string(param) + "\"");
}

void TOrvMorphFunc::ThrowBadParamIndex(int32_t index) const {
    throw OrvException("Invalid " + std::string(ClassName()) + " function \"" + Name() + "\" parameter index " +
                       std::to_string(index));
}

// ---------------------------------------------------------------------------
// TOrvPiecewiseFunc

TOrvPiecewiseFunc::TOrvPiecewiseFunc() {
    SetDefaultName("TOrvPiecewiseFunc");
}

std::unique_ptr<TOrvBaseObject> TOrvPiecewiseFunc::NewInstance() const {
    return std::make_unique<TOrvPiecewiseFunc>();
}

bool TOrvPiecewiseFunc::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvPiecewiseFunc*>(source);
    if (!src || !TOrvMorphFunc::Assign(source)) return false;
    Segments = src->Segments;
    TotalDuration = src->TotalDuration;
    TotalLength = src->TotalLength;
    PointCount = src->PointCount;
    EndValue = src->EndValue;
    Ending = src->Ending;
    Timing = src->Timing;
    FirstAngle = src->FirstAngle;
    SecondAngle = src->SecondAngle;
    PosCorrectionFirst = src->PosCorrectionFirst;
    PosCorrectionSecond = src->PosCorrectionSecond;
    SegmentKind = src->SegmentKind;
    points_ = src->points_;
    script_ = src->script_;
    return true;
}

void TOrvPiecewiseFunc::BuildFromScript(std::string_view script) {
    Segments.clear();
    points_.clear();
    TotalDuration = 0;
    TotalLength = 0.0f;
    PointCount = 0;
    EndValue = TOrvVector();
    Ending = peStop;
    Timing = 1.0f;
    FirstAngle = SecondAngle = 0.0f;
    PosCorrectionFirst = PosCorrectionSecond = 1.0f;
    SegmentKind = skBezier;
    script_ = std::string(script);
    try {
        ReadScript(script);
        if (points_.size() < 2) throw OrvException("Path script has no segments: \"" + std::string(script) + "\"");

        const int dim = Dim;
        for (size_t i = 0; i + 1 < points_.size(); ++i) {
            TOrvSegment s;
            s.Kind = points_[i].Kind;
            s.P0 = points_[i].Pos;
            s.P3 = points_[i + 1].Pos;
            const TOrvVector d = VecSub(s.P3, s.P0);
            s.P1 = VecAdd(s.P0, VecScale(d, 1.0f / 3.0f));
            s.P2 = VecAdd(s.P0, VecScale(d, 2.0f / 3.0f));
            for (const TOrvVector* p : {&s.P0, &s.P3}) {
                bool seen = false;
                for (const TOrvSegment& old : Segments)
                    if (!(Distance(*p, old.P0, dim) > kTiny) || !(Distance(*p, old.P3, dim) > kTiny)) {
                        seen = true;
                        break;
                    }
                if (!seen) ++PointCount;
            }
            s.Length = SegmentLength(s);
            Segments.push_back(s);
        }
        // The second to last point, then the first, so the first point sees
        // the handles already set at the second.
        for (size_t p = 1; p <= points_.size(); ++p) {
            const size_t i = p % points_.size();
            SetHandles(i, static_cast<float>(points_[i].FirstAngle * kDegToRad),
                       static_cast<float>(points_[i].SecondAngle * kDegToRad), points_[i].PosCorrectionFirst);
        }
        ComputeDurations();
    } catch (...) {
        Segments.clear();
        points_.clear();
        TotalDuration = 0;
        TotalLength = 0.0f;
        PointCount = 0;
        throw;
    }
}

void TOrvPiecewiseFunc::ReadScript(std::string_view script) {
    std::string text(FXTrim(script));
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    const size_t last = text.rfind(';');
    if (last == std::string::npos) return;
    std::string_view rest(text.data(), last + 1);
    while (!rest.empty()) {
        const size_t semi = rest.find(';');
        const std::string_view statement = FXTrim(rest.substr(0, semi));
        rest.remove_prefix(semi + 1);
        if (statement.empty()) continue;

        const size_t blank = statement.find(' ');
        const std::string_view keyword = statement.substr(0, blank);
        const std::string_view arg =
            blank == std::string_view::npos ? std::string_view() : FXTrim(statement.substr(blank));
        if (FXSameText(keyword, "set")) {
            const size_t b2 = arg.find(' ');
            const std::string_view name = arg.substr(0, b2);
            const std::string_view value = b2 == std::string_view::npos ? std::string_view() : FXTrim(arg.substr(b2));
            if (FXSameText(name, "bezier") && value.empty()) {
                SegmentKind = skBezier;
            } else if (FXSameText(name, "linear") && value.empty()) {
                SegmentKind = skLinear;
            } else if (FXSameText(name, "timing")) {
                Timing = ReadTiming(value, statement);
            } else {
                float v = 0.0f;
                if (!FXParseFloat(value, v)) BadStatement(statement);
                if (FXSameText(name, "firstangle"))
                    FirstAngle = v;
                else if (FXSameText(name, "secondangle"))
                    SecondAngle = v;
                else if (FXSameText(name, "poscorrectionfirst"))
                    PosCorrectionFirst = v;
                else if (FXSameText(name, "poscorrectionsecond"))
                    PosCorrectionSecond = v;
                else
                    BadStatement(statement);
            }
        } else if (FXSameText(keyword, "ending")) {
            const size_t cut = arg.find_first_of(" (");
            const std::string_view mode = arg.substr(0, cut);
            const std::string_view value = cut == std::string_view::npos ? std::string_view() : FXTrim(arg.substr(cut));
            if (FXSameText(mode, "loop") && value.empty()) {
                Ending = peLoop;
            } else if (FXSameText(mode, "reverse") && value.empty()) {
                Ending = peReverse;
            } else if (FXSameText(mode, "stop") || FXSameText(mode, "reversestop")) {
                Ending = FXSameText(mode, "stop") ? peStop : peReverseStop;
                if (!value.empty()) {
                    if (value.front() != '(' || value.back() != ')') BadStatement(statement);
                    EndValue = Masked(StrToVector(value), Dim);
                }
            } else {
                BadStatement(statement);
            }
        } else if (FXSameText(keyword, "path")) {
            ReadPathPoints(arg);
        } else {
            BadStatement(statement);
        }
    }
}

void TOrvPiecewiseFunc::ReadPathPoints(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (text[i] != '(') BadStatement(text);
        const size_t close = text.find(')', i);
        if (close == std::string_view::npos) BadStatement(text);
        if (points_.size() >= MaxPoints) throw OrvException("Path script has too many points");
        TOrvPathPoint p;
        p.Pos = Masked(StrToVector(text.substr(i, close - i + 1)), Dim);
        p.Timing = Timing;
        p.FirstAngle = FirstAngle;
        p.SecondAngle = SecondAngle;
        p.PosCorrectionFirst = PosCorrectionFirst;
        p.PosCorrectionSecond = PosCorrectionSecond;
        p.Kind = SegmentKind;
        i = close + 1;
        // What the point gives besides its coordinates, up to the next point.
        while (i < text.size() && text[i] != '(') {
            const char c = text[i];
            if (c == ' ') {
                ++i;
            } else if (c == '[' || c == '{' || c == '"') {
                const char endChar = c == '[' ? ']' : (c == '{' ? '}' : '"');
                const size_t end = text.find(endChar, i + 1);
                if (end == std::string_view::npos) BadStatement(text);
                const std::string_view inner = text.substr(i + 1, end - i - 1);
                if (c == '[')
                    ReadPair(inner, p.FirstAngle, p.SecondAngle, text);
                else if (c == '{')
                    ReadPair(inner, p.PosCorrectionFirst, p.PosCorrectionSecond, text);
                else
                    p.Timing = ReadTiming(inner, text);
                i = end + 1;
            } else if (text.substr(i, 2) == "..") {
                p.Kind = skBezier;
                i += 2;
            } else if (text.substr(i, 2) == "--") {
                p.Kind = skLinear;
                i += 2;
            } else {
                BadStatement(text);
            }
        }
        points_.push_back(p);
    }
}

TOrvVector TOrvPiecewiseFunc::Turn(const TOrvVector& v, float angle, const TOrvVector& chordA,
                                   const TOrvVector& chordB) const {
    if (!(std::fabs(angle) > kTiny)) return v;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    if (Dim == 1) return TOrvVector(v.X * c);
    if (Dim == 2) return TOrvVector(v.X * c + v.Y * s, -v.X * s + v.Y * c);
    return VecRotateAxis(v, VecCross(chordA, chordB), angle);
}

void TOrvPiecewiseFunc::SetHandles(size_t point, float firstAngle, float secondAngle, float k) {
    const size_t n = points_.size();
    if (n < 2 || Segments.size() != n - 1) return;
    const int dim = Dim;
    const bool closed = !(Distance(Segments.back().P3, Segments.front().P0, dim) > kTiny);
    const bool inner = (point > 0 && point + 1 < n) || (point == 0 && closed);
    // The last point of a closed path is the first one again: its handles
    // are set when the first point is visited.
    if (closed && point + 1 == n) return;

    if (inner) {
        TOrvSegment& b = point == 0 ? Segments.back() : Segments[point - 1];
        TOrvSegment& a = Segments[point == 0 ? 0 : point];
        const TOrvVector u = VecSub(b.P0, b.P3);
        const TOrvVector w = VecSub(a.P3, a.P0);
        const float lb = VecLength(u, dim);
        const float la = VecLength(w, dim);
        bool hasA = false, hasB = false;
        TOrvVector tA, tB;
        if (b.Kind == skBezier && a.Kind == skBezier) {
            const TOrvVector d = VecNormalize(VecSub(a.P3, b.P0));
            if (lb >= la) {
                // Both chords empty: the direction across the point alone.
                const float ratio = lb > kTiny ? la / lb : 1.0f;
                const TOrvVector uw = VecNormalize(w);
                tA = VecNormalize(VecAdd(uw, VecScale(VecSub(d, uw), ratio)));
                tB = VecScale(tA, -1.0f);
            } else {
                const TOrvVector uu = VecNormalize(u);
                tB = VecNormalize(VecAdd(uu, VecScale(VecSub(VecScale(d, -1.0f), uu), lb / la)));
                tA = VecScale(tB, -1.0f);
            }
            hasA = hasB = true;
        } else if (a.Kind == skBezier) {
            tA = VecScale(VecNormalize(u), -1.0f);
            hasA = true;
        } else if (b.Kind == skBezier) {
            tB = VecScale(VecNormalize(w), -1.0f);
            hasB = true;
        }
        if (hasB) {
            const TOrvVector h = Turn(VecScale(tB, 0.4f * k * lb), firstAngle, u, w);
            b.P2 = Masked(VecAdd(b.P3, h), dim);
            b.Length = SegmentLength(b);
        }
        if (hasA) {
            const TOrvVector h = Turn(VecScale(tA, 0.4f * k * la), secondAngle, u, w);
            a.P1 = Masked(VecAdd(a.P0, h), dim);
            a.Length = SegmentLength(a);
        }
        return;
    }

    // An open end: the far handle mirrored across the chord's perpendicular.
    const bool first = point == 0;
    TOrvSegment& s = first ? Segments.front() : Segments.back();
    if (s.Kind != skBezier) return;
    const TOrvVector a = first ? VecSub(s.P0, s.P3) : VecSub(s.P3, s.P0);
    const TOrvVector b = first ? VecSub(s.P2, s.P3) : VecSub(s.P1, s.P0);
    const TOrvVector ua = VecNormalize(a);
    const TOrvVector q = VecScale(ua, VecLength(b) * VecDot(ua, VecNormalize(b)));
    const TOrvVector h = Turn(VecScale(VecSub(b, VecScale(q, 2.0f)), k), first ? secondAngle : firstAngle, a, b);
    if (first)
        s.P1 = Masked(VecAdd(s.P0, h), dim);
    else
        s.P2 = Masked(VecAdd(s.P3, h), dim);
    s.Length = SegmentLength(s);
}

void TOrvPiecewiseFunc::ComputeDurations() {
    uint64_t total = 0;
    double length = 0.0;
    for (size_t i = 0; i < Segments.size(); ++i) {
        TOrvSegment& s = Segments[i];
        const double t = i < points_.size() ? points_[i].Timing : Timing;
        double ms = 0.0;
        if (t >= 0.0) {
            ms = std::round(t * 1000.0);
        } else if (-t > 1e-6) {
            ms = std::round(double(s.Length) / -t);
        }
        if (!(ms >= 0.0)) ms = 0.0;
        if (ms > double(MaxTotalDuration)) ms = double(MaxTotalDuration);
        s.Duration = static_cast<uint32_t>(ms);
        total += s.Duration;
        length += s.Length;
    }
    if (total > MaxTotalDuration) throw OrvException("Path script duration is out of range");
    TotalDuration = static_cast<uint32_t>(total);
    TotalLength = static_cast<float>(length);
}

float TOrvPiecewiseFunc::SegmentLength(const TOrvSegment& s) const {
    const int dim = Dim < 1 ? 1 : (Dim > 3 ? 3 : Dim);
    if (s.Kind == skLinear) return Distance(s.P3, s.P0, dim);
    double p[4][3];
    const TOrvVector* v[4] = {&s.P0, &s.P1, &s.P2, &s.P3};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) p[i][c] = (*v[i])[c];
    return static_cast<float>(BezierLength(p, dim, 0));
}

int32_t TOrvPiecewiseFunc::SegmentAt(int32_t timeMs, float& fraction) const {
    fraction = 0.0f;
    if (Segments.empty()) return -1;
    const int64_t total = TotalDuration;
    int64_t t = timeMs;
    if (t > total) {
        switch (Ending) {
            case peLoop:
                t = total == 0 ? 0 : t % total;
                break;
            case peReverseStop:
                if (t > 2 * total) return -1;
                t = 2 * total - t;
                break;
            case peReverse:
                if (total == 0) {
                    t = 0;
                } else {
                    const int64_t q = t / total;
                    const int64_t r = t % total;
                    t = (q % 2 == 1) ? total - r : r;
                }
                break;
            default:
                return -1;
        }
    }
    int64_t before = 0;
    for (size_t i = 0; i < Segments.size(); ++i) {
        const int64_t d = Segments[i].Duration;
        if (before + d >= t) {
            fraction = d == 0 ? 0.0f : static_cast<float>(double(t - before) / double(d));
            return static_cast<int32_t>(i);
        }
        before += d;
    }
    return -1;
}

TOrvVector TOrvPiecewiseFunc::GetValue(int32_t timeMs, bool derivative) const {
    float f = 0.0f;
    const int32_t i = SegmentAt(timeMs, f);
    if (i < 0) {
        const bool pastEnd = !Segments.empty() && (Ending == peStop || Ending == peReverseStop);
        return pastEnd && !derivative ? EndValue : TOrvVector();
    }
    const TOrvSegment& s = Segments[static_cast<size_t>(i)];
    TOrvVector out;
    const double g = 1.0 - f;
    for (int c = 0; c < Dim && c < 3; ++c) {
        const double p0 = s.P0[c], p1 = s.P1[c], p2 = s.P2[c], p3 = s.P3[c];
        double v = 0.0;
        if (s.Kind == skLinear) {
            v = derivative ? p3 - p0 : p0 + (p3 - p0) * f;
        } else if (derivative) {
            v = 3.0 * ((p1 * (1.0 - 3.0 * f) - p0 * g) * g + ((2.0 - 3.0 * f) * p2 + p3 * f) * f);
        } else {
            v = p0 * g * g * g + 3.0 * f * g * (p1 * g + p2 * f) + p3 * f * f * f;
        }
        out[c] = static_cast<float>(v);
    }
    return out;
}

int32_t TOrvPiecewiseFunc::ParamIndex(std::string_view name) const {
    if (FXSameText(name, "Weight")) return 0;
    const size_t open = name.find('[');
    const size_t close = open == std::string_view::npos ? open : name.find(']', open);
    int32_t n = -1;
    if (close == std::string_view::npos || !FXParseInt(name.substr(open + 1, close - open - 1), n) || n < 0 ||
        n > 0x7FFFFFFE)
        ThrowBadParam(name);
    return n + 1;
}

void TOrvPiecewiseFunc::SetParam(int32_t index, const TOrvVector& value) {
    if (index == 0) {
        Weight = value.X;
        return;
    }
    if (index < 0 || static_cast<size_t>(index) > points_.size() || Segments.size() + 1 != points_.size())
        ThrowBadParamIndex(index);
    const size_t n = static_cast<size_t>(index - 1);
    const TOrvVector v = Masked(value, Dim);
    points_[n].Pos = v;
    auto straighten = [](TOrvSegment& s) {
        const TOrvVector d = VecSub(s.P3, s.P0);
        s.P1 = VecAdd(s.P0, VecScale(d, 1.0f / 3.0f));
        s.P2 = VecAdd(s.P0, VecScale(d, 2.0f / 3.0f));
    };
    if (n > 0) {
        Segments[n - 1].P3 = v;
        if (Segments[n - 1].Kind == skLinear) straighten(Segments[n - 1]);
        Segments[n - 1].Length = SegmentLength(Segments[n - 1]);
    }
    if (n < Segments.size()) {
        Segments[n].P0 = v;
        if (Segments[n].Kind == skLinear) straighten(Segments[n]);
        Segments[n].Length = SegmentLength(Segments[n]);
    }
    SetHandles(n, 0.0f, 0.0f, 1.0f);
    ComputeDurations();
}

void TOrvPiecewiseFunc::LoadFromXML(const TOrvXMLTag& tag) {
    const TOrvXMLTag* script = tag.FindTag("Script");
    BuildFromScript(script ? std::string_view(script->Value) : std::string_view());
}

// ---------------------------------------------------------------------------
// TOrvPeriodicFunc

void TOrvPeriodicComponent::UpdateFlags() {
    AmplitudeModulation = std::fabs(A2) > kTiny;
    PhaseModulation = std::fabs(G3) > kTiny && std::fabs(A3) > kTiny;
}

TOrvPeriodicFunc::TOrvPeriodicFunc() {
    SetDefaultName("TOrvPeriodicFunc");
}

std::unique_ptr<TOrvBaseObject> TOrvPeriodicFunc::NewInstance() const {
    return std::make_unique<TOrvPeriodicFunc>();
}

bool TOrvPeriodicFunc::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvPeriodicFunc*>(source);
    if (!src || !TOrvMorphFunc::Assign(source)) return false;
    for (int i = 0; i < 3; ++i) Comp[i] = src->Comp[i];
    return true;
}

namespace {
constexpr std::string_view kPeriodicNames[9] = {"g1", "a1", "b1", "a2", "b2", "g3", "a3", "b3", "c"};

float& PeriodicField(TOrvPeriodicComponent& c, int index) {
    float* fields[9] = {&c.G1, &c.A1, &c.B1, &c.A2, &c.B2, &c.G3, &c.A3, &c.B3, &c.C};
    return *fields[index];
}
}  // namespace

void TOrvPeriodicFunc::ReadParams(int component, std::string_view text) {
    if (component < 0 || component > 2) return;
    std::string_view s = FXTrim(text);
    if (!s.empty() && s.front() == '(') s.remove_prefix(1);
    if (!s.empty() && s.back() == ')') s.remove_suffix(1);
    TOrvPeriodicComponent& comp = Comp[component];
    while (!s.empty()) {
        const size_t semi = s.find(';');
        const std::string_view item = FXTrim(s.substr(0, semi));
        s = semi == std::string_view::npos ? std::string_view() : s.substr(semi + 1);
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        float value = 0.0f;
        if (eq == std::string_view::npos || !FXParseFloat(item.substr(eq + 1), value))
            throw OrvException("Invalid periodic function parameter \"" + std::string(item) + "\"");
        const std::string_view name = FXTrim(item.substr(0, eq));
        for (int i = 0; i < 9; ++i)
            if (FXSameText(name, kPeriodicNames[i])) PeriodicField(comp, i) = value;
    }
    comp.UpdateFlags();
}

int32_t TOrvPeriodicFunc::ParamIndex(std::string_view name) const {
    if (FXSameText(name, "Weight")) return 0;
    for (int i = 0; i < 9; ++i)
        if (FXSameText(name, kPeriodicNames[i])) return i + 1;
    ThrowBadParam(name);
}

void TOrvPeriodicFunc::SetParam(int32_t index, const TOrvVector& value) {
    if (index == 0) {
        Weight = value.X;
        return;
    }
    if (index < 1 || index > 9) ThrowBadParamIndex(index);
    for (int c = 0; c < 3; ++c) {
        PeriodicField(Comp[c], index - 1) = value[c];
        Comp[c].UpdateFlags();
    }
}

TOrvVector TOrvPeriodicFunc::GetValue(int32_t timeMs, bool derivative) const {
    const double s = double(timeMs) * 0.001;
    TOrvVector out;
    for (int i = 0; i < Dim && i < 3; ++i) {
        const TOrvPeriodicComponent& c = Comp[i];
        double p = 0.0, dp = 0.0, m = 1.0, dm = 0.0;
        if (c.PhaseModulation) {
            p = c.G3 * std::sin(c.A3 * s + c.B3);
            dp = c.G3 * c.A3 * std::cos(c.A3 * s + c.B3);
        }
        if (c.AmplitudeModulation) {
            m = std::sin(c.A2 * s + c.B2);
            dm = c.A2 * std::cos(c.A2 * s + c.B2);
        }
        const double arg = c.A1 * s + c.B1 + p;
        const double v = derivative ? c.G1 * std::cos(arg) * (c.A1 + dp) * m + c.G1 * std::sin(arg) * dm
                                    : c.G1 * std::sin(arg) * m + c.C;
        out[i] = static_cast<float>(v);
    }
    return out;
}

void TOrvPeriodicFunc::LoadFromXML(const TOrvXMLTag& tag) {
    const char* names[3] = {"XParam", "YParam", "ZParam"};
    for (int i = 0; i < 3; ++i)
        if (const TOrvXMLTag* p = tag.FindTag(names[i])) ReadParams(i, p->Value);
}

// ---------------------------------------------------------------------------
// TOrvParabolicFunc

TOrvParabolicFunc::TOrvParabolicFunc() {
    SetDefaultName("TOrvParabolicFunc");
}

std::unique_ptr<TOrvBaseObject> TOrvParabolicFunc::NewInstance() const {
    return std::make_unique<TOrvParabolicFunc>();
}

bool TOrvParabolicFunc::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvParabolicFunc*>(source);
    if (!src || !TOrvMorphFunc::Assign(source)) return false;
    P0 = src->P0;
    V0 = src->V0;
    A = src->A;
    return true;
}

int32_t TOrvParabolicFunc::ParamIndex(std::string_view name) const {
    if (FXSameText(name, "Weight")) return 0;
    if (FXSameText(name, "P0")) return 1;
    if (FXSameText(name, "V0")) return 2;
    if (FXSameText(name, "A")) return 3;
    ThrowBadParam(name);
}

void TOrvParabolicFunc::SetParam(int32_t index, const TOrvVector& value) {
    switch (index) {
        case 0:
            Weight = value.X;
            break;
        case 1:
            P0 = value;
            break;
        case 2:
            V0 = value;
            break;
        case 3:
            A = value;
            break;
        default:
            ThrowBadParamIndex(index);
    }
}

TOrvVector TOrvParabolicFunc::GetValue(int32_t timeMs, bool derivative) const {
    const double s = double(timeMs) * 0.001;
    TOrvVector out;
    for (int i = 0; i < Dim && i < 3; ++i) {
        const double v = derivative ? 2.0 * A[i] * s + V0[i] : (A[i] * s + V0[i]) * s + P0[i];
        out[i] = static_cast<float>(v);
    }
    return out;
}

void TOrvParabolicFunc::LoadFromXML(const TOrvXMLTag& tag) {
    if (const TOrvXMLTag* t = tag.FindTag("P0")) P0 = StrToVector(t->Value);
    if (const TOrvXMLTag* t = tag.FindTag("V0")) V0 = StrToVector(t->Value);
    if (const TOrvXMLTag* t = tag.FindTag("A")) A = StrToVector(t->Value);
}

// ---------------------------------------------------------------------------
// Reading functions

std::unique_ptr<TOrvMorphFunc> CreateMorphFuncFromXML(const TOrvXMLTag& tag) {
    const TOrvParserAttribute* dimAttr = tag.FindAttribute("Dim");
    if (!dimAttr) throw OrvException("<Function> tag has no \"Dim\" attribute");
    const TOrvParserAttribute* typeAttr = tag.FindAttribute("Type");
    if (!typeAttr) throw OrvException("<Function> tag has no \"Type\" attribute");
    int32_t dim = 0;
    if (!FXParseInt(dimAttr->Value, dim) || dim < 1 || dim > 3)
        throw OrvException("Invalid <Function> tag \"Dim\" attribute value");
    std::unique_ptr<TOrvMorphFunc> func;
    if (typeAttr->Value == "piecewise")
        func = std::make_unique<TOrvPiecewiseFunc>();
    else if (typeAttr->Value == "periodic")
        func = std::make_unique<TOrvPeriodicFunc>();
    else if (typeAttr->Value == "parabolic")
        func = std::make_unique<TOrvParabolicFunc>();
    else
        throw OrvException("Invalid <Function> tag \"Type\" attribute value");
    if (const TOrvParserAttribute* name = tag.FindAttribute("Name")) func->SetName(name->Value);
    func->Dim = static_cast<uint8_t>(dim);
    func->LoadFromXML(tag);
    return func;
}

TOrvMorphFuncLib::TOrvMorphFuncLib() {
    SetDefaultName("TOrvMorphFuncLib");
}

std::unique_ptr<TOrvBaseObject> TOrvMorphFuncLib::NewInstance() const {
    return std::make_unique<TOrvMorphFuncLib>();
}

void TOrvMorphFuncLib::LoadFromXML(const TOrvXMLTag& tag) {
    for (const auto& child : tag.Tags) {
        if (child->Name != "Function")
            throw OrvException("<Functions> tag contains invalid child tag <" + child->Name + ">");
        std::unique_ptr<TOrvMorphFunc> func = CreateMorphFuncFromXML(*child);
        func->Owned = false;
        Add(std::move(func));
    }
}
