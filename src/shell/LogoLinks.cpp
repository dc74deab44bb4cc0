#include "shell/LogoLinks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "game/Main.h"
#include "platform/KeyStore.h"
#include "platform/Platform.h"
#include "render/ResourceList.h"
#include "render/SurfEngine.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"
#include "ui/OrvMethodTable.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A name of a file lying directly in a folder: no separators, no way up.
bool PlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32; });
}

}  // namespace

TLogoLinks::TLogoLinks(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table) : game_(game), ui_(ui) {
    Opener = [](const std::string& target) { return Platform::OpenWithDesktop(target); };
    table.Bind("AddLogoMouseUp", [this] { MouseUp(); });
    table.Bind("WTitle_LQuorvaneLink_MouseUp", [this] { OpenTitleLink(); });
}

bool TLogoLinks::Allowed(const std::string& target) const {
    const std::string lower = Lower(target);
    if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) {
        const size_t host = lower.find("://") + 3;
        return target.size() > host && std::none_of(target.begin(), target.end(), [](char c) {
                   return static_cast<unsigned char>(c) <= 32 || c == 127;
               });
    }
    if (target.size() <= game_.ExeDir.size() || target.compare(0, game_.ExeDir.size(), game_.ExeDir) != 0) return false;
    const std::string name = target.substr(game_.ExeDir.size());
    std::error_code ec;
    return PlainFileName(name) && std::filesystem::is_regular_file(target, ec);
}

bool TLogoLinks::Open(size_t index) {
    if (index >= Targets.size() || Targets[index].empty()) return false;
    const std::string& target = Targets[index];
    if (!Allowed(target)) {
        game_.Log("A logo link that is neither a web address nor a file beside the game is not opened: " + target);
        return false;
    }
    return Opener && Opener(target);
}

bool TLogoLinks::OpenTitleLink() {
    std::string text;
    if (!ReadWholeFile(game_.ExeDir + kTitleLinkFile, text)) return false;
    const size_t end = text.find_first_of("\r\n");
    const std::string target = TrimBlanks(text.substr(0, end));
    if (!Allowed(target)) {
        game_.Log(std::string("The address in ") + kTitleLinkFile + " is not a web address: not opened");
        return false;
    }
    return Opener && Opener(target);
}

void TLogoLinks::MouseUp() {
    const TOrvInterfaceObject* sender = ui_.SenderObject();
    if (sender == nullptr) return;
    const std::string& name = sender->Name();
    if (name.rfind("AddLogo", 0) != 0) return;
    const std::string digits = name.substr(7);
    if (digits.empty() || digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return;
    Open(static_cast<size_t>(std::stoi(digits)));
}

std::string TLogoLinks::ResolveTarget(const TOrvXMLTag& url) const {
    const std::string text = TrimBlanks(url.Value);
    const std::string source = url.AttributeValue("Source");
    if (source.empty()) return game_.ExeDir + text;
    if (source != "registry") return text;
    // root\Key\Path.Value: the root is always the current user's store.
    const size_t slash = text.find('\\');
    if (slash == std::string::npos) return text;
    const std::string rest = text.substr(slash + 1);
    const size_t dot = rest.find('.');
    if (dot == std::string::npos) return text;
    TKeyStore store;
    return store.ReadString(rest.substr(0, dot), rest.substr(dot + 1));
}

std::string TLogoLinks::LoadPicture(const std::string& fileName) {
    const std::string name = Lower(TrimBlanks(fileName));
    if (name.empty()) return {};
    if (game_.SurfEngine && game_.SurfEngine->FindSurface(name) >= 0) return name;
    if (!PlainFileName(name)) throw OrvException("the picture " + name + " is not a file beside the game");
    if (!game_.SurfEngine || !game_.ResourceList) throw OrvException("no pictures can be loaded now");
    const std::string path = game_.ExeDir + name;
    const bool ok = EndsWith(name, "png") ? game_.ResourceList->LoadPNGFromFile(name, path)
                                          : game_.ResourceList->LoadJPEGFromFile(name, path);
    if (!ok) throw OrvException("the picture " + name + " cannot be loaded");
    return name;
}

void TLogoLinks::MakeLabel(size_t index, const TOrvXMLTag& entry) {
    const TOrvXMLTag* position = entry.FindTag("Position");
    const TOrvXMLTag* parent = entry.FindTag("Parent");
    if (entry.Name != "Logo" || position == nullptr || parent == nullptr) return;
    if (position->FindAttribute("x") == nullptr || position->FindAttribute("y") == nullptr) return;
    const std::string parentName = TrimBlanks(parent->Value);
    if (ui_.FindInterfaceObject(parentName) == nullptr)
        throw OrvException("there is no window " + parentName + " for the logo");
    const std::string name = "AddLogo" + std::to_string(index);
    if (ui_.FindInterfaceObject(name) != nullptr) return;
    // Pictures first: a missing one leaves no half-made label behind.
    std::string picture;
    std::string over;
    std::string down;
    if (const TOrvXMLTag* p = entry.FindTag("Picture")) picture = LoadPicture(p->Value);
    if (const TOrvXMLTag* p = entry.FindTag("PictureMouseOn")) over = LoadPicture(p->Value);
    if (const TOrvXMLTag* p = entry.FindTag("PictureMouseDown")) down = LoadPicture(p->Value);
    if (ui_.CreateObject(name, parentName, "TOrvLabel") < 0) return;
    ui_.RebuildChildren();
    const auto set = [&](const char* prop, const std::string& value) { ui_.SetProp(name, prop, value); };
    set("Alpha", "255");
    set("PictureAlpha", "255");
    set("Left", position->AttributeValue("x"));
    set("Top", position->AttributeValue("y"));
    if (!picture.empty()) {
        int32_t w = 0;
        int32_t h = 0;
        game_.SurfEngine->GetPictureSize(picture, w, h);
        set("Width", std::to_string(w));
        set("Height", std::to_string(h));
        set("Picture", picture);
        set("MouseOverPicture", over.empty() ? picture : over);
        set("MouseDownPicture", down.empty() ? picture : down);
    }
    if (const TOrvXMLTag* caption = entry.FindTag("Caption")) {
        set("FontName", "OrvUnicode");
        if (picture.empty()) set("AutoSize", "asCaption");
        set("Caption", caption->Value);
    }
    if (const TOrvXMLTag* colour = entry.FindTag("Color")) {
        if (colour->FindAttribute("Caption")) set("Color", colour->AttributeValue("Caption"));
        if (colour->FindAttribute("MouseOverCaption"))
            set("MouseOverColor", colour->AttributeValue("MouseOverCaption"));
    }
    if (entry.FindTag("URL") != nullptr) set("OnMouseUp", "ExecMethod Method=\"AddLogoMouseUp\";");
    set("Visible", "true");
}

void TLogoLinks::Load() {
    Targets.clear();
    const std::string path = game_.ExeDir + kFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    TOrvParser doc;
    try {
        std::string text;
        if (!ReadWholeFile(path, text)) throw OrvException("it cannot be read");
        doc.LoadFromString(text);
        if (doc.TagCount() == 0) throw OrvException(path + "XML file does not has tags!");
    } catch (const std::exception& e) {
        game_.Log(std::string("The extra logos in ") + kFileName + " are skipped: " + e.what());
        return;
    }
    const TOrvXMLTag& root = *doc.Tags[0];
    // A distributor's file names a handful of logos; a huge one is not a
    // list of logos.
    const size_t count = std::min<size_t>(root.Tags.size(), 100);
    Targets.assign(count, std::string());
    for (size_t i = 0; i < count; ++i) {
        const TOrvXMLTag& entry = *root.Tags[i];
        try {
            if (const TOrvXMLTag* url = entry.FindTag("URL")) Targets[i] = ResolveTarget(*url);
            MakeLabel(i, entry);
        } catch (const std::exception& e) {
            game_.Log("Extra logo " + std::to_string(i) + " is skipped: " + e.what());
        }
    }
    ui_.RefreshLayout();
}
