#include "ui/OrvRichLabel.h"

#include <algorithm>

#include "base/OrvFont.h"
#include "base/OrvGraphic.h"
#include "base/OrvParser.h"
#include "base/OrvUnicode.h"
#include "base/SFunctions.h"
#include "ui/OrvInterfaceEngine.h"

namespace {

enum class TStopKind { Left, Center, Right };

struct TLayoutWord {
    TOrvRichFragment Fragment;
    bool BlankBefore = false;
};

// Lays rich text out line by line. Positions are relative to the text area;
// words are fragments of their own until a line ends, then neighbours of the
// same style merge back into runs.
class TRichLayout {
public:
    TRichLayout(const TOrvFont& font, int32_t available, int32_t lineSpace, TTextAlignment alignment, uint32_t color,
                uint32_t linkColor)
        : font_(font),
          available_(available),
          lineSpace_(lineSpace),
          defaultAlign_(alignment),
          align_(alignment),
          color_(color),
          linkColor_(linkColor),
          blank_(font.CharWidth(u' ')) {}

    void Text(std::u16string_view text) {
        size_t i = 0;
        while (i < text.size()) {
            if (text[i] == u' ') {
                pendingBlank_ = true;
                ++i;
                continue;
            }
            size_t j = i;
            while (j < text.size() && text[j] != u' ') ++j;
            Word(text.substr(i, j - i));
            i = j;
        }
    }
    void Break(int32_t extra) { EndLine(false, extra); }
    void GrowLine(int32_t pixels) { lineExtra_ += pixels; }
    void Align(TTextAlignment a) {
        if (!words_.empty()) EndLine(false, 0);
        align_ = a;
    }
    void EndAlign() { Align(defaultAlign_); }
    void Table(bool on) {
        if (!words_.empty()) EndLine(false, 0);
        table_ = on;
        StartSegment(0, TStopKind::Left);
    }
    void TabStop(int32_t x, TStopKind kind) {
        if (!table_) return;
        FinishSegment();
        StartSegment(x, kind);
    }
    void Link(int32_t index) { link_ = index; }
    void Finish() {
        if (!words_.empty()) EndLine(false, 0);
    }

    std::vector<TOrvRichFragment> Fragments;
    int32_t Bottom = 0;

private:
    void Word(std::u16string_view word) {
        int32_t bw = pendingBlank_ && SegmentPen() > 0 ? blank_ : 0;
        pendingBlank_ = false;
        int32_t ww = font_.TextWidth(word);
        if (!table_) {
            if (pen_ > 0 && static_cast<int64_t>(pen_) + bw + ww > available_) {
                EndLine(true, 0);
                bw = 0;
            }
            // A word wider than a whole line is cut, each line taking at
            // least one character.
            int64_t rest = ww;
            while (pen_ == 0 && rest > available_ && word.size() > 1) {
                size_t n = 1;
                int64_t w = font_.CharWidth(word[0]);
                while (n < word.size() && w + font_.CharWidth(word[n]) <= available_) w += font_.CharWidth(word[n++]);
                Append(word.substr(0, n), 0, static_cast<int32_t>(w));
                EndLine(true, 0);
                word = word.substr(n);
                rest -= w;
            }
            if (rest != ww) ww = font_.TextWidth(word);
        }
        Append(word, bw, ww);
    }
    void Append(std::u16string_view word, int32_t blank, int32_t width) {
        TLayoutWord w;
        w.Fragment.Text = std::u16string(word);
        w.Fragment.X = pen_ + blank;
        w.Fragment.Width = width;
        w.Fragment.Color = link_ >= 0 ? linkColor_ : color_;
        w.Fragment.Link = link_;
        w.BlankBefore = blank > 0;
        words_.push_back(std::move(w));
        pen_ += blank + width;
    }
    int32_t SegmentPen() const { return table_ ? pen_ - segmentStartPen_ : pen_; }
    void StartSegment(int32_t x, TStopKind kind) {
        stopX_ = x;
        stopKind_ = kind;
        segmentStart_ = words_.size();
        segmentStartPen_ = 0;
        pen_ = 0;
        pendingBlank_ = false;
    }
    // Moves the words of the finished table segment to its tab stop.
    void FinishSegment() {
        const int32_t width = pen_;
        int32_t origin = stopX_;
        if (stopKind_ == TStopKind::Center) origin -= width / 2;
        if (stopKind_ == TStopKind::Right) origin -= width;
        for (size_t i = segmentStart_; i < words_.size(); ++i) words_[i].Fragment.X += origin;
        lineRight_ = std::max(lineRight_, origin + width);
        pen_ = 0;
    }
    void EndLine(bool wrapped, int32_t extraAfter) {
        int32_t width = pen_;
        if (table_) {
            FinishSegment();
            width = lineRight_;
        } else {
            AlignLine(wrapped, width);
        }
        const int32_t height = font_.Height + lineExtra_;
        for (TLayoutWord& w : words_) w.Fragment.Y = y_;
        Merge(wrapped && align_ == taJustify && !table_);
        Bottom = y_ + height;
        y_ += height + lineSpace_ + extraAfter;
        words_.clear();
        pen_ = 0;
        lineRight_ = 0;
        lineExtra_ = 0;
        pendingBlank_ = false;
        if (table_) StartSegment(0, TStopKind::Left);
    }
    void AlignLine(bool wrapped, int32_t width) {
        const int32_t spare = available_ - width;
        int32_t offset = 0;
        if (align_ == taCenter) offset = spare / 2;
        if (align_ == taRight) offset = spare;
        if (align_ == taJustify && wrapped && spare > 0) {
            int32_t gaps = 0;
            for (size_t i = 1; i < words_.size(); ++i) gaps += words_[i].BlankBefore ? 1 : 0;
            int32_t done = 0;
            int32_t shift = 0;
            for (size_t i = 1; i < words_.size() && gaps > 0; ++i) {
                if (words_[i].BlankBefore) {
                    ++done;
                    shift = static_cast<int32_t>(static_cast<int64_t>(spare) * done / gaps);
                }
                words_[i].Fragment.X += shift;
            }
        }
        for (TLayoutWord& w : words_) w.Fragment.X += offset;
    }
    // Neighbours of one style separated by nothing or one blank become one run.
    void Merge(bool keepWords) {
        for (TLayoutWord& w : words_) {
            if (!keepWords && !Fragments.empty()) {
                TOrvRichFragment& last = Fragments.back();
                const int32_t gap = w.Fragment.X - (last.X + last.Width);
                const bool sameStyle = last.Link == w.Fragment.Link && last.Color == w.Fragment.Color;
                if (sameStyle && last.Y == w.Fragment.Y && (gap == 0 || (w.BlankBefore && gap == blank_))) {
                    if (gap > 0) last.Text += u' ';
                    last.Text += w.Fragment.Text;
                    last.Width = w.Fragment.X + w.Fragment.Width - last.X;
                    continue;
                }
            }
            Fragments.push_back(std::move(w.Fragment));
        }
    }

    const TOrvFont& font_;
    const int32_t available_;
    const int32_t lineSpace_;
    const TTextAlignment defaultAlign_;
    TTextAlignment align_;
    const uint32_t color_;
    const uint32_t linkColor_;
    const int32_t blank_;
    std::vector<TLayoutWord> words_;
    int32_t pen_ = 0;
    int32_t y_ = 0;
    int32_t lineExtra_ = 0;
    int32_t lineRight_ = 0;
    bool pendingBlank_ = false;
    bool table_ = false;
    int32_t link_ = -1;
    int32_t stopX_ = 0;
    TStopKind stopKind_ = TStopKind::Left;
    size_t segmentStart_ = 0;
    int32_t segmentStartPen_ = 0;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// "NAME N/" -> N; false when the tag is not NAME with a number.
bool NumberTag(std::string_view tag, std::string_view name, int32_t& n) {
    if (!StartsWith(tag, name) || tag.size() < name.size() + 2 || tag[name.size()] != ' ' || tag.back() != '/')
        return false;
    const std::string number = TrimBlanks(tag.substr(name.size() + 1, tag.size() - name.size() - 2));
    int64_t v = 0;
    if (!TryTextToInteger(number, v) || v < -100000 || v > 100000) return false;
    n = static_cast<int32_t>(v);
    return true;
}

// Applies one tag to the layout; false when the tag is not one of the markup's.
bool ApplyTag(std::string_view tag, TRichLayout& layout, std::vector<std::string>& actions) {
    static constexpr std::pair<std::string_view, TTextAlignment> kAligns[] = {
        {"Left", taLeft}, {"Center", taCenter}, {"Right", taRight}, {"Justify", taJustify}};
    int32_t n = 0;
    if (tag == "BR/") {
        layout.Break(0);
    } else if (NumberTag(tag, "BR", n)) {
        layout.Break(n);
    } else if (NumberTag(tag, "HR", n)) {
        layout.GrowLine(n);
    } else if (tag == "Table") {
        layout.Table(true);
    } else if (tag == "/Table") {
        layout.Table(false);
    } else if (NumberTag(tag, "TLeft", n)) {
        layout.TabStop(n, TStopKind::Left);
    } else if (NumberTag(tag, "TCenter", n)) {
        layout.TabStop(n, TStopKind::Center);
    } else if (NumberTag(tag, "TRight", n)) {
        layout.TabStop(n, TStopKind::Right);
    } else if (StartsWith(tag, "Link Action=")) {
        layout.Link(static_cast<int32_t>(actions.size()));
        actions.emplace_back(tag.substr(12));
    } else if (tag == "/Link") {
        layout.Link(-1);
    } else {
        for (const auto& [name, align] : kAligns) {
            if (tag == name) {
                layout.Align(align);
                return true;
            }
            if (tag.size() == name.size() + 1 && tag[0] == '/' && tag.substr(1) == name) {
                layout.EndAlign();
                return true;
            }
        }
        return false;
    }
    return true;
}

// Runs the caption through the layout: text between tags, tags, "{{".
void LayOut(std::u16string_view caption, TRichLayout& layout, std::vector<std::string>& actions) {
    std::u16string text;
    auto flush = [&] {
        layout.Text(text);
        text.clear();
    };
    size_t i = 0;
    while (i < caption.size()) {
        const char16_t c = caption[i];
        if (c != u'{') {
            text += c < 32 ? u' ' : c;
            ++i;
            continue;
        }
        if (i + 1 < caption.size() && caption[i + 1] == u'{') {
            text += u'{';
            i += 2;
            continue;
        }
        const size_t close = caption.find(u'}', i + 1);
        if (close == std::u16string_view::npos) {
            // An unclosed brace is text, like everything after it.
            for (; i < caption.size(); ++i) text += caption[i] < 32 ? u' ' : caption[i];
            break;
        }
        const std::u16string_view inside = caption.substr(i + 1, close - i - 1);
        flush();
        if (!ApplyTag(Utf16ToUtf8(inside), layout, actions)) text = std::u16string(caption.substr(i, close - i + 1));
        i = close + 1;
    }
    flush();
    layout.Finish();
}

}  // namespace

// ---------------------------------------------------------------------------
// TOrvRichLabel

TOrvRichLabel::TOrvRichLabel() = default;
TOrvRichLabel::~TOrvRichLabel() = default;

const TOrvPropTable& TOrvRichLabel::ClassPropTable() {
    using T = TOrvRichLabel;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvRichLabel", &TOrvLabel::ClassPropTable(), [](auto& p) {
            p.IntegerRange("LinkColor", &T::LinkColor, &T::SetLinkColor, INT32_MIN, UINT32_MAX);
            p.IntegerRange("LinkMouseOverColor", &T::LinkMouseOverColor, &T::SetLinkMouseOverColor, INT32_MIN,
                           UINT32_MAX);
        });
    return table;
}

void TOrvRichLabel::Assign(const TOrvObject* source) {
    TOrvLabel::Assign(source);
    const auto* s = dynamic_cast<const TOrvRichLabel*>(source);
    if (s == nullptr) return;
    LinkColor = s->LinkColor;
    LinkMouseOverColor = s->LinkMouseOverColor;
    RebuildText();
}

void TOrvRichLabel::SetLinkColor(uint32_t value) {
    LinkColor = value;
    RebuildText();
}

void TOrvRichLabel::SetLinkMouseOverColor(uint32_t value) {
    LinkMouseOverColor = value;
    for (const auto& link : links_) link->SetMouseOverColor(value);
    Invalidate();
}

void TOrvRichLabel::BuildLines() {
    // The whole layout happens in PlaceLines, which every change runs.
    Lines.clear();
}

void TOrvRichLabel::PlaceLines() {
    fragments_.clear();
    linkActions_.clear();
    textBottom_ = 0;
    const TOrvFont* font = Font();
    if (font != nullptr && !caption_.empty()) {
        TRichLayout layout(*font, Width - TextShiftLeft, LineSpace, Alignment, Color, LinkColor);
        LayOut(caption_, layout, linkActions_);
        fragments_ = std::move(layout.Fragments);
        textBottom_ = layout.Bottom;
    }
    MakeLinkLabels();
    LaidOut();
}

int32_t TOrvRichLabel::LayoutShift() const {
    if (fragments_.empty()) return 0;
    if (Layout == tlBottom) return Height - textBottom_ - TextShiftTop;
    if (Layout == tlCenter) return (Height - textBottom_ - TextShiftTop) / 2;
    return 0;
}

void TOrvRichLabel::MakeLinkLabels() {
    // The old labels go first, each exactly once; the new ones take the same
    // names again.
    links_.clear();
    for (const TOrvRichFragment& f : fragments_) {
        if (f.Link < 0 || static_cast<size_t>(f.Link) >= linkActions_.size()) continue;
        auto label = std::make_unique<TOrvLabel>();
        label->SetName(Name() + "_Link" + std::to_string(links_.size()));
        label->Engine = Engine;
        label->ParentObject = this;
        label->ParentName = Name();
        label->FontName = FontName;
        label->Alpha = Alpha;
        label->Color = LinkColor;
        label->SetMouseOverColor(LinkMouseOverColor);
        label->Width = std::max(1, f.Width);
        label->Height = std::max(1, Font() ? Font()->Height : 1);
        label->OnMouseDown = linkActions_[static_cast<size_t>(f.Link)];
        label->SetCaption16(f.Text);
        links_.push_back(std::move(label));
    }
    PlaceLinkLabels();
}

void TOrvRichLabel::PlaceLinkLabels() {
    size_t k = 0;
    const int32_t shift = LayoutShift();
    for (const TOrvRichFragment& f : fragments_) {
        if (f.Link < 0 || k >= links_.size()) continue;
        TOrvLabel& label = *links_[k++];
        label.Left = TextShiftLeft + f.X;
        label.Top = TextShiftTop + f.Y + shift;
        label.UpdatePosition();
        label.NeedRedraw = false;
    }
}

void TOrvRichLabel::UpdatePosition() {
    TOrvLabel::UpdatePosition();
    for (const auto& link : links_) link->UpdatePosition();
}

void TOrvRichLabel::AdoptLinkMarks() {
    for (const auto& link : links_) link->NeedRedraw = false;
    Invalidate();
}

void TOrvRichLabel::MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    for (size_t i = 0; i < links_.size(); ++i) links_[i]->MouseDown(sender, button, shift, x, y);
    AdoptLinkMarks();
}

void TOrvRichLabel::MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) {
    TOrvInterfaceObject::MouseMove(sender, shift, x, y);
    bool changed = false;
    for (size_t i = 0; i < links_.size(); ++i) {
        links_[i]->MouseMove(sender, shift, x, y);
        changed = changed || links_[i]->NeedRedraw;
    }
    if (changed) AdoptLinkMarks();
}

void TOrvRichLabel::MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    TOrvLabel::MouseUp(sender, button, shift, x, y);
    for (size_t i = 0; i < links_.size(); ++i) links_[i]->MouseUp(sender, button, shift, x, y);
    for (const auto& link : links_) link->NeedRedraw = false;
}

void TOrvRichLabel::ResetInputState() {
    TOrvLabel::ResetInputState();
    for (const auto& link : links_) link->ResetInputState();
}

void TOrvRichLabel::Draw() {
    DrawPicture(StatePicture());
    const TOrvFont* font = Font();
    if (font != nullptr) {
        const int32_t x0 = AbsLeft + TextShiftLeft;
        const int32_t y0 = AbsTop + TextShiftTop + LayoutShift();
        for (const TOrvRichFragment& f : fragments_)
            if (f.Link < 0) font->DrawText(x0 + f.X, y0 + f.Y, f.Text, Alpha, f.Color);
    }
    for (const auto& link : links_) link->Draw();
}

// ---------------------------------------------------------------------------
// TOrvHint

TOrvHint::TOrvHint() {
    Visible = false;
}

const TOrvPropTable& TOrvHint::ClassPropTable() {
    using T = TOrvHint;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvHint", &TOrvRichLabel::ClassPropTable(), [](auto& p) {
            p.Integer("ShowTime", &T::ShowTime);
            p.IntegerRange("BackGroundColor", &T::BackGroundColor, nullptr, INT32_MIN, UINT32_MAX);
            p.Integer("BackGroundAlpha", &T::BackGroundAlpha);
        });
    return table;
}

void TOrvHint::Assign(const TOrvObject* source) {
    TOrvRichLabel::Assign(source);
    const auto* s = dynamic_cast<const TOrvHint*>(source);
    if (s == nullptr) return;
    ShowTime = s->ShowTime;
    BackGroundColor = s->BackGroundColor;
    BackGroundAlpha = s->BackGroundAlpha;
    ShownAt = s->ShownAt;
}

TRect TOrvHint::PaintRect() const {
    return TRect{AbsLeft - kMarginX, AbsTop - kMarginY, AbsLeft + Width + kMarginX, AbsTop + Height + kMarginY};
}

void TOrvHint::SetVisible(bool value) {
    if (value) {
        if (!HasText()) return;
        if (const TOrvInterfaceEngine* ui = UI()) ShownAt = ui->Now();
    }
    Invalidate();
    Visible = value;
}

void TOrvHint::LaidOut() {
    const TOrvFont* font = Font();
    if (!HasText() || font == nullptr || Fragments().empty()) return;
    const int32_t h = TextBottom() + TextShiftTop;
    if (h == Height) return;
    Invalidate();
    Height = h;
}

void TOrvHint::Tick(uint32_t now) {
    if (!HasText() || Font() == nullptr) return;
    LaidOut();
    if (ShowTime > 0 && now - ShownAt >= static_cast<uint32_t>(ShowTime)) SetVisible(false);
}

void TOrvHint::Draw() {
    if (Picture.empty()) {
        if (IOrvGraphic* g = Graphic()) g->DrawRect("", PaintRect(), BackGroundColor, BackGroundAlpha, 1);
    }
    TOrvRichLabel::Draw();
}
