#include "ui/OrvMoving.h"

#include <algorithm>

#include "base/OrvException.h"
#include "base/OrvGraphic.h"
#include "base/OrvParser.h"
#include "base/OrvPropertyWork.h"

namespace {

int32_t FieldValue(const std::vector<std::string_view>& fields, size_t i, const std::string& list) {
    if (i >= fields.size() || fields[i].empty()) return 0;
    int64_t v = 0;
    if (!TryTextToInteger(fields[i], v) || v < INT32_MIN || v > INT32_MAX)
        throw OrvException("[TOrvMoving.SetPicture] \"" + std::string(fields[i]) + "\" is not an integer in \"" + list +
                           "\"!");
    return static_cast<int32_t>(v);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

}  // namespace

const TOrvPropTable& TOrvMoving::ClassPropTable() {
    static const TOrvPropTable table =
        TOrvPropTable::Build<TOrvMoving>("TOrvMoving", &TOrvInterfaceObject::ClassPropTable(), [](auto&) {});
    return table;
}

void TOrvMoving::Assign(const TOrvObject* source) {
    TOrvInterfaceObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvMoving*>(source);
    if (s == nullptr) return;
    Sequences = s->Sequences;
    CurrentSequence = s->CurrentSequence;
    CurrentFrame = s->CurrentFrame;
}

void TOrvMoving::SetPicture(const std::string& value) {
    std::vector<TOrvMovingSequence> sequences;
    int64_t end = 0;
    for (std::string_view text : Split(value, ';')) {
        if (text.find_first_not_of(" \t") == std::string_view::npos) continue;
        const std::vector<std::string_view> fields = Split(text, ':');
        TOrvMovingSequence s;
        s.Picture = TrimBlanks(fields[0]);
        s.Frames = FieldValue(fields, 1, value);
        s.FrameTime = FieldValue(fields, 2, value);
        s.Pause = FieldValue(fields, 3, value);
        end += static_cast<int64_t>(std::max(0, s.Frames)) * std::max(0, s.FrameTime) + std::max(0, s.Pause);
        s.EndTime = end;
        int32_t pw = 0;
        int32_t ph = 0;
        PictureSize(s.Picture, pw, ph);
        // Frames narrower than a pixel cannot be told apart: no more frame
        // rectangles than the picture has columns.
        const int32_t count = std::clamp(s.Frames, 1, std::max(1, pw));
        const int32_t fw = pw / count;
        for (int32_t k = 0; k < count; ++k) s.FrameRects.push_back(TRect{k * fw, 0, k * fw + fw - 1, ph - 1});
        sequences.push_back(std::move(s));
    }
    Picture = value;
    Sequences = std::move(sequences);
    CurrentSequence = CurrentFrame = 0;
    if (Sequences.empty() || (AutoSize != asNone && AutoSize != asPicture)) return;
    Invalidate();
    const TRect& first = Sequences.front().FrameRects.front();
    if (first.Right >= first.Left && first.Bottom >= first.Top) {
        Width = first.Right - first.Left + 1;
        Height = first.Bottom - first.Top + 1;
    }
    Relayout();
    AlignPicture();
}

void TOrvMoving::AlignPicture() {
    // The frame is the picture: it is placed like one.
    if (Sequences.empty()) return;
    const TRect& f = Sequences[static_cast<size_t>(CurrentSequence)].FrameRects.front();
    const int32_t pw = f.Right - f.Left + 1;
    const int32_t ph = f.Bottom - f.Top + 1;
    if (pw < 1 || ph < 1) return;
    PicX = PictureHAlign == phaCenter ? Width / 2 - pw / 2 : PictureHAlign == phaRight ? Width - pw : 0;
    PicY = PictureVAlign == pvaCenter ? Height / 2 - ph / 2 : PictureVAlign == pvaBottom ? Height - ph : 0;
}

void TOrvMoving::Tick(uint32_t now) {
    if (Sequences.empty() || Sequences.back().EndTime <= 0) return;
    const int64_t t = static_cast<int64_t>(now % static_cast<uint64_t>(Sequences.back().EndTime));
    int64_t start = 0;
    size_t seq = 0;
    while (seq + 1 < Sequences.size() && Sequences[seq].EndTime <= t) start = Sequences[seq++].EndTime;
    const TOrvMovingSequence& s = Sequences[seq];
    int32_t frame = 0;
    const int64_t playing = static_cast<int64_t>(s.Frames) * s.FrameTime;
    if (s.Frames >= 1 && s.FrameTime >= 1 && t - start < playing)
        frame = static_cast<int32_t>((t - start) / s.FrameTime);
    if (static_cast<int32_t>(seq) == CurrentSequence && frame == CurrentFrame) return;
    CurrentSequence = static_cast<int32_t>(seq);
    CurrentFrame = frame;
    Invalidate();
}

void TOrvMoving::Draw() {
    IOrvGraphic* g = Graphic();
    if (g == nullptr || Sequences.empty()) return;
    const TOrvMovingSequence& s = Sequences[static_cast<size_t>(CurrentSequence)];
    const TRect& frame = s.FrameRects[static_cast<size_t>(
        std::clamp<int32_t>(CurrentFrame, 0, static_cast<int32_t>(s.FrameRects.size()) - 1))];
    if (frame.Right < frame.Left || frame.Bottom < frame.Top) return;
    g->Draw(s.Picture, "", BlendingMode, AbsLeft + PicX, AbsTop + PicY, PictureAlpha, &frame);
}

std::string TOrvMoving::GetPictureNames() const {
    std::vector<std::string> seen;
    std::string names;
    for (const TOrvMovingSequence& s : Sequences) {
        if (s.Picture.empty() || std::find(seen.begin(), seen.end(), s.Picture) != seen.end()) continue;
        seen.push_back(s.Picture);
        if (!names.empty()) names += "\r\n";
        names += s.Picture;
    }
    return names;
}
