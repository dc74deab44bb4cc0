#include "base/OrvParser.h"

#include <charconv>
#include <utility>

#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace {

const char* const kCrLf = "\r\n";

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Replaces every occurrence of from (non-empty) by to in one left-to-right pass.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(s.size());
    size_t pos = 0;
    for (;;) {
        const size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

// Frees a list of elements and all their descendants without recursion: each
// element's children are moved onto the work list before it is destroyed, so
// no destructor ever sees a child.
void FreeTags(std::vector<std::unique_ptr<TOrvXMLTag>>& tags) {
    std::vector<std::unique_ptr<TOrvXMLTag>> pending = std::move(tags);
    tags.clear();
    while (!pending.empty()) {
        std::unique_ptr<TOrvXMLTag> tag = std::move(pending.back());
        pending.pop_back();
        for (auto& child : tag->Tags) pending.push_back(std::move(child));
        tag->Tags.clear();
    }
}

// Splits written text into lines the way the document's string list does:
// CR, LF and CR LF each end a line, a final line without a break still counts.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n) {
        const size_t start = p;
        while (p < n && text[p] != '\r' && text[p] != '\n') ++p;
        lines.emplace_back(text.substr(start, p - start));
        if (p < n && text[p] == '\r') ++p;
        if (p < n && text[p] == '\n') ++p;
    }
    return lines;
}

// The document text as the first pass sees it: the lines joined again with
// CR LF after every one. Equivalent to SplitLines then joining, in one step.
std::string NormalizeBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && text[p] != '\0') {
        const size_t start = p;
        while (p < n && text[p] != '\r' && text[p] != '\n' && text[p] != '\0') ++p;
        out.append(text.substr(start, p - start));
        out.append(kCrLf);
        if (p < n && text[p] == '\r') ++p;
        if (p < n && text[p] == '\n') ++p;
    }
    return out;
}

// Writes the attributes of an element, or of the head when inHead. A value
// that the reader would cut short cannot be written without corrupting the
// file, so it is refused: a double quote anywhere, ">" inside an element
// markup, "?>" inside the head.
void AppendAttributes(std::string& out, const TOrvXMLTag& tag, bool inHead) {
    for (const auto& attr : tag.Attributes) {
        const std::string& v = attr->Value;
        const bool unwritable = v.find('"') != std::string::npos ||
                                (inHead ? v.find("?>") != std::string::npos : v.find('>') != std::string::npos);
        if (unwritable)
            throw OrvException(
                "[TOrvXMLTag.ToText] Attribute value cannot be written, it would end the markup! Tag name: \"" +
                tag.Name + "\", Attribute name: \"" + attr->Name + "\".");
        out += ' ';
        out += attr->Name;
        out += "=\"";
        out += v;
        out += '"';
    }
}

// An element name the reader would take for something else: a closing
// markup ("/"), a head ("?"), a comment ("!--"), an empty element (a final
// "/"), or a name cut at a blank. Such names only come from damaged files.
bool IsWritableName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.front() == '?' || name.back() == '/') return false;
    if (name.compare(0, 3, "!--") == 0) return false;
    for (char c : name)
        if (IsBlank(c) || c == '>') return false;
    return true;
}

bool WritesValueInline(const TOrvXMLTag& tag) {
    return !tag.Value.empty() && tag.Value.size() < 80;
}

// Writes the opening part of an element; returns false when the element was
// complete in one line ("<Name />") and needs no closing part.
bool WriteOpening(std::string& out, const TOrvXMLTag& tag, int level) {
    const std::string indent(static_cast<size_t>(level), '\t');
    const bool inlineValue = WritesValueInline(tag);
    if (!IsWritableName(tag.Name))
        throw OrvException(
            "[TOrvXMLTag.ToText] Element name cannot be written, it would read back as other markup! Tag name: \"" +
            tag.Name + "\".");
    out += indent;
    out += '<';
    out += tag.Name;
    AppendAttributes(out, tag, false);
    if (tag.Tags.empty() && tag.Value.empty()) {
        out += " />\r\n";
        return false;
    }
    out += '>';
    if (!inlineValue) out += kCrLf;
    if (!tag.Value.empty()) {
        if (!inlineValue) out += indent;
        out += EncodeEntities(tag.Value);
        if (!inlineValue) out += kCrLf;
    }
    return true;
}

void WriteClosing(std::string& out, const TOrvXMLTag& tag, int level) {
    if (!WritesValueInline(tag)) out.append(static_cast<size_t>(level), '\t');
    out += "</";
    out += tag.Name;
    out += ">\r\n";
}

}  // namespace

// ---------------------------------------------------------------------------
// TOrvXMLTag

TOrvXMLTag::TOrvXMLTag(std::string name, std::string value, TOrvXMLTag* parent)
    : Name(std::move(name)), Value(std::move(value)), Parent(parent) {}

TOrvXMLTag::~TOrvXMLTag() {
    FreeTags(Tags);
}

TOrvXMLTag* TOrvXMLTag::AddTag(const std::string& name, const std::string& value) {
    Tags.push_back(std::make_unique<TOrvXMLTag>(name, value, this));
    return Tags.back().get();
}

TOrvParserAttribute* TOrvXMLTag::AddAttribute(const std::string& name, const std::string& value) {
    Attributes.push_back(std::make_unique<TOrvParserAttribute>(name, value));
    return Attributes.back().get();
}

TOrvXMLTag* TOrvXMLTag::AddTagByString(const std::string& s) {
    TOrvXMLTag* child = AddTag(std::string(), std::string());
    const size_t blank = s.find(' ');
    if (blank == std::string::npos) {
        child->Name = s;
        return child;
    }
    child->Name = s.substr(0, blank);
    size_t p = blank;
    for (;;) {
        const size_t eq = s.find('=', p);
        if (eq == std::string::npos)
            throw OrvException("[TOrvXMLTag.AddTagByString] Expected Attribute name but found nothing! Tag name: \"" +
                               child->Name + "\".");
        const std::string attrName = TrimBlanks(std::string_view(s).substr(p, eq - p));
        const size_t open = s.find('"', eq);
        if (open == std::string::npos)
            throw OrvException(
                "[TOrvXMLTag.AddTagByString] Expected open \" in Attribute value but found nothing! Tag name: \"" +
                child->Name + "\", Attribute name: \"" + attrName + "\".");
        const size_t close = s.find('"', open + 1);
        if (close == std::string::npos)
            throw OrvException(
                "[TOrvXMLTag.AddTagByString] Expected closed \" in Attribute value but found nothing! Tag name: \"" +
                child->Name + "\", Attribute name: \"" + attrName + "\".");
        child->AddAttribute(attrName, s.substr(open + 1, close - open - 1));
        p = close + 1;
        if (p >= s.size()) return child;
    }
}

TOrvXMLTag* TOrvXMLTag::GetTag(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= Tags.size()) return nullptr;
    return Tags[static_cast<size_t>(index)].get();
}

TOrvParserAttribute* TOrvXMLTag::GetAttribute(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= Attributes.size()) return nullptr;
    return Attributes[static_cast<size_t>(index)].get();
}

TOrvXMLTag* TOrvXMLTag::FindTag(std::string_view name) const {
    for (const auto& tag : Tags)
        if (tag->Name == name) return tag.get();
    return nullptr;
}

TOrvParserAttribute* TOrvXMLTag::FindAttribute(std::string_view name) const {
    for (const auto& attr : Attributes)
        if (attr->Name == name) return attr.get();
    return nullptr;
}

std::string TOrvXMLTag::AttributeValue(std::string_view name, const std::string& def) const {
    const TOrvParserAttribute* attr = FindAttribute(name);
    return attr ? attr->Value : def;
}

TOrvXMLTag* TOrvXMLTag::LastTag() const {
    return Tags.empty() ? nullptr : Tags.back().get();
}

void TOrvXMLTag::ClearTags() {
    FreeTags(Tags);
}

void TOrvXMLTag::ClearAttributes() {
    Attributes.clear();
}

void TOrvXMLTag::Assign(const TOrvXMLTag* source) {
    if (source == nullptr || source == this) return;
    // The copy is built apart first and moved in afterwards: the source may
    // lie inside this element's subtree (clearing would free it) or contain
    // this element (copying would chase its own growing tail).
    TOrvXMLTag copy(source->Name, source->Value);
    std::vector<std::pair<const TOrvXMLTag*, TOrvXMLTag*>> work;
    work.emplace_back(source, &copy);
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        to->Attributes.reserve(from->Attributes.size());
        for (const auto& attr : from->Attributes) to->AddAttribute(attr->Name, attr->Value);
        to->Tags.reserve(from->Tags.size());
        for (const auto& child : from->Tags) work.emplace_back(child.get(), to->AddTag(child->Name, child->Value));
    }
    ClearAttributes();
    ClearTags();
    Name = std::move(copy.Name);
    Value = std::move(copy.Value);
    Attributes = std::move(copy.Attributes);
    Tags = std::move(copy.Tags);
    copy.Tags.clear();
    for (auto& child : Tags) child->Parent = this;
}

std::string TOrvXMLTag::ToText(int level) const {
    if (level < 0) level = 0;
    std::string out;
    if (!WriteOpening(out, *this, level)) return out;
    struct Frame {
        const TOrvXMLTag* tag;
        size_t next;
        int level;
    };
    std::vector<Frame> stack{{this, 0, level}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.tag->Tags.size()) {
            const TOrvXMLTag* child = top.tag->Tags[top.next++].get();
            const int childLevel = top.level + 1;
            if (WriteOpening(out, *child, childLevel)) stack.push_back({child, 0, childLevel});
            continue;
        }
        WriteClosing(out, *top.tag, top.level);
        stack.pop_back();
    }
    return out;
}

// ---------------------------------------------------------------------------
// TOrvParser

TOrvParser::TOrvParser() : TOrvXMLTag("root", std::string(), nullptr) {}

TOrvParser::~TOrvParser() = default;

void TOrvParser::LoadFromFile(const std::string& fileName) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName, MaxDocumentSize);
    LoadFromStream(stream);
}

void TOrvParser::LoadFromStream(TMemoryStream& stream) {
    const size_t pos = stream.Position();
    std::string_view bytes;
    if (pos < stream.Size())
        bytes = std::string_view(reinterpret_cast<const char*>(stream.Data()) + pos, stream.Size() - pos);
    stream.Seek(stream.Size());
    LoadFromString(bytes);
}

void TOrvParser::LoadFromString(std::string_view text) {
    // A fresh load starts from a fresh root, so a failed load never leaves
    // elements of an earlier document behind.
    ClearTags();
    ClearAttributes();
    Name = "root";
    Value.clear();
    Lines.clear();
    if (text.size() > MaxDocumentSize)
        throw OrvException("[TOrvParser.LoadFromString] Document larger than " + std::to_string(MaxDocumentSize) +
                           " bytes!");
    TypifyText(NormalizeBreaks(text));
    BuildTree();
}

void TOrvParser::MakeTypifiedLines() {
    std::string joined;
    size_t total = 0;
    for (const auto& line : Lines) total += line.size() + 2;
    joined.reserve(total);
    for (const auto& line : Lines) {
        joined += line;
        joined += kCrLf;
    }
    TypifyText(joined);
}

void TOrvParser::TypifyText(const std::string& text) {
    std::vector<std::string> typed;
    const size_t n = text.size();
    auto addText = [&typed](std::string_view chunk) {
        const std::string trimmed = TrimBlanks(chunk);
        if (!trimmed.empty()) typed.push_back("0" + DecodeEntities(SpacesForBreaks(trimmed)));
    };
    // Where the next ">" at or after the scan position is. Once there is no
    // ">" left, every later "<" is plain text; remembering that keeps a
    // document full of stray "<" linear instead of quadratic.
    size_t nextClose = 0;
    bool closeKnown = false;
    size_t p = 0;
    while (p < n) {
        const size_t lt = text.find('<', p);
        if (lt == std::string::npos) {
            addText(std::string_view(text).substr(p));
            break;
        }
        addText(std::string_view(text).substr(p, lt - p));
        p = lt;
        if (text.compare(p, 4, "<!--") == 0) {
            const size_t end = text.find("-->", p + 4);
            if (end == std::string::npos)
                throw OrvException("[TOrvXMLTag.MakeTypifiedLines] Comments started, but never ended!");
            p = end + 3;
            continue;
        }
        if (text.compare(p, 2, "<?") == 0) {
            const size_t end = text.find("?>", p + 2);
            if (end == std::string::npos)
                throw OrvException("[TOrvXMLTag.MakeTypifiedLines] XML Head started, but never ended!");
            typed.push_back("4" + SpacesForBreaks(std::string_view(text).substr(p + 2, end - p - 2)));
            p = end + 2;
            continue;
        }
        if (!closeKnown || (nextClose != std::string::npos && nextClose < p)) {
            nextClose = text.find('>', p);
            closeKnown = true;
        }
        if (nextClose == std::string::npos) {
            ++p;
            continue;
        }
        const std::string_view inside = std::string_view(text).substr(p + 1, nextClose - p - 1);
        if (!inside.empty() && inside.front() == '/') {
            typed.push_back("1" + SpacesForBreaks(inside.substr(1)));
        } else {
            const bool empty = !inside.empty() && inside.back() == '/';
            const std::string content =
                SpacesForBreaks(TrimBlanks(empty ? inside.substr(0, inside.size() - 1) : inside));
            if (content.empty())
                throw OrvException("[TOrvXMLTag.MakeTypifiedLines] Markup without a name: \"<" + std::string(inside) +
                                   ">\"!");
            typed.push_back((empty ? "2" : "3") + content);
        }
        p = nextClose + 1;
    }
    Lines = std::move(typed);
}

void TOrvParser::BuildTree() {
    ClearTags();
    ClearAttributes();
    TOrvXMLTag* current = this;
    int depth = 0;
    for (const std::string& line : Lines) {
        if (line.empty()) continue;
        const std::string content = line.substr(1);
        switch (line[0]) {
            case '4': {
                // The head renames the root and gives it the head's
                // attributes; whatever was read before it is dropped, so the
                // current element goes back to the root with it.
                TOrvXMLTag scratch;
                Assign(scratch.AddTagByString(content));
                current = this;
                depth = 0;
                break;
            }
            case '3':
                if (depth >= MaxDepth)
                    throw OrvException("[TOrvXMLTag.BuildTree] Elements nested deeper than " +
                                       std::to_string(MaxDepth) + " levels!");
                current = current->AddTagByString(content);
                ++depth;
                break;
            case '2':
                current->AddTagByString(content);
                break;
            case '1':
                // A closing markup at the root has nothing to close: the root
                // stays current and reading goes on.
                if (current->Parent != nullptr) {
                    current = current->Parent;
                    --depth;
                }
                break;
            case '0':
                current->Value = content;
                break;
            default:
                break;
        }
    }
}

void TOrvParser::SaveToLines() {
    std::string text;
    if (Name == "xml") {
        text += "<?";
        text += Name;
        AppendAttributes(text, *this, true);
        text += "?>\r\n";
    }
    for (const auto& tag : Tags) text += tag->ToText(0);
    Lines = SplitLines(text);
}

std::string TOrvParser::SaveToString() {
    SaveToLines();
    std::string out;
    size_t total = 0;
    for (const auto& line : Lines) total += line.size() + 2;
    out.reserve(total);
    for (const auto& line : Lines) {
        out += line;
        out += kCrLf;
    }
    return out;
}

void TOrvParser::SaveToStream(TMemoryStream& stream) {
    stream.WriteString(SaveToString());
}

void TOrvParser::SaveToFile(const std::string& fileName) {
    const std::string text = SaveToString();
    if (!WriteFileAtomically(fileName, text.data(), text.size())) throw OrvException("Cannot write file " + fileName);
}

// ---------------------------------------------------------------------------
// String functions

int PosEx(std::string_view sub, std::string_view s, int offset) {
    if (sub.empty() || s.empty() || offset < 1 || static_cast<size_t>(offset) > s.size()) return 0;
    const size_t hit = s.find(sub, static_cast<size_t>(offset - 1));
    return hit == std::string_view::npos ? 0 : static_cast<int>(hit + 1);
}

std::string TextBetween(std::string_view s, std::string_view open, std::string_view close, int offset) {
    const int start = PosEx(open, s, offset);
    if (start == 0) return std::string();
    const int end = PosEx(close, s, start + 1);
    if (end == 0) return std::string();
    const size_t from = static_cast<size_t>(start - 1) + open.size();
    const size_t to = static_cast<size_t>(end - 1);
    if (to <= from) return std::string();
    return std::string(s.substr(from, to - from));
}

std::string SpacesForBreaks(std::string_view s) {
    std::string out = ReplaceAll(s, "\r\n", " ");
    for (char& c : out)
        if (c == '\t') c = ' ';
    return out;
}

std::string DecodeEntities(std::string_view s) {
    if (s.find('&') == std::string_view::npos) return std::string(s);
    std::string out = ReplaceAll(s, "&lt;", "<");
    out = ReplaceAll(out, "&gt;", ">");
    out = ReplaceAll(out, "&apos;", "'");
    out = ReplaceAll(out, "&quot;", "\"");
    return ReplaceAll(out, "&amp;", "&");
}

std::string EncodeEntities(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

std::string TrimBlanks(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool TryValToFloat(std::string_view s, double& out) {
    const std::string t = TrimBlanks(s);
    // Checked against the plain decimal grammar first: the library parser
    // would also take "inf", "nan" and hexadecimal forms.
    size_t i = 0;
    const size_t n = t.size();
    size_t numberStart = 0;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    if (n > 0 && t[0] == '+') numberStart = 1;
    auto digits = [&]() {
        const size_t from = i;
        while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
        return i - from;
    };
    size_t mantissa = digits();
    if (i < n && t[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    if (i != n) return false;
    double value = 0.0;
    const char* first = t.data() + numberStart;
    const auto [ptr, ec] = std::from_chars(first, t.data() + n, value, std::chars_format::general);
    if (ec != std::errc() || ptr != t.data() + n) return false;
    out = value;
    return true;
}

double ValToFloat(std::string_view s) {
    double value = 0.0;
    return TryValToFloat(s, value) ? value : 0.0;
}
