#include "ui/OrvInterfaceEngine.h"

#include <algorithm>
#include <unordered_map>

#include "base/OrvException.h"
#include "base/OrvGraphic.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "ui/OrvEdit.h"
#include "ui/OrvForm.h"
#include "ui/OrvGrid.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMoving.h"
#include "ui/OrvProgressBar.h"
#include "ui/OrvRichLabel.h"
#include "ui/OrvSlider.h"

namespace {

const std::string kCreate = "[TOrvInterfaceEngine.CreateInterfaceObjects] ";

// The value of the first attribute when it has the given name, else nullptr.
const std::string* FirstAttribute(const TOrvXMLTag& tag, std::string_view name) {
    const TOrvParserAttribute* a = tag.GetAttribute(0);
    return a != nullptr && a->Name == name ? &a->Value : nullptr;
}

bool RectEmpty(const TRect& r) {
    return r.Left == 0 && r.Top == 0 && r.Right == 0 && r.Bottom == 0;
}

void Grow(TRect& into, const TRect& r) {
    if (RectEmpty(into)) {
        into = r;
        return;
    }
    into.Left = std::min(into.Left, r.Left);
    into.Top = std::min(into.Top, r.Top);
    into.Right = std::max(into.Right, r.Right);
    into.Bottom = std::max(into.Bottom, r.Bottom);
}

// Restores State however the reading ends.
class TReadingState {
public:
    explicit TReadingState(std::string& state) : state_(state) { state_ = TOrvInterfaceEngine::kReadingState; }
    ~TReadingState() { state_.clear(); }
    TReadingState(const TReadingState&) = delete;
    TReadingState& operator=(const TReadingState&) = delete;

private:
    std::string& state_;
};

}  // namespace

TOrvInterfaceEngine::TOrvInterfaceEngine()
    : Scripts(std::make_unique<TOrvXMLTag>("Scripts")),
      ModProps(std::make_unique<TOrvXMLTag>("ModProps")),
      Document(std::make_unique<TOrvParser>()) {}

TOrvInterfaceEngine::~TOrvInterfaceEngine() {
    ModalStack.clear();
    Graphic = nullptr;
    TOrvInterfaceEngine::Clear();
}

// ---------------------------------------------------------------------------
// The interface file

void TOrvInterfaceEngine::LoadInterface(TMemoryStream& stream) {
    Document->LoadFromStream(stream);
    CreateInterfaceObjects();
    ResolveParents();
    CheckParents();
    // Children first; the Tab lists wait for the Tab orders the file sets.
    for (const auto& obj : Objects)
        if (auto* form = dynamic_cast<TOrvForm*>(obj.get())) form->RebuildChildren();
    {
        TReadingState reading(State);
        ApplyProperties(false);
    }
    for (const auto& obj : Objects)
        if (auto* form = dynamic_cast<TOrvForm*>(obj.get())) form->BuildTabList();
    for (const auto& obj : Objects)
        if (auto* ui = dynamic_cast<TOrvInterfaceObject*>(obj.get())) ui->Loaded();
    RefreshLayout();
    for (const auto& obj : Objects)
        if (auto* ui = dynamic_cast<TOrvInterfaceObject*>(obj.get())) {
            ui->NeedRedraw = false;
            ui->InvalidRect = TRect{};
        }
    Scripts->ClearTags();
    CheckScripts();
}

void TOrvInterfaceEngine::LoadInterfaceFromString(std::string_view text) {
    TMemoryStream stream(text);
    LoadInterface(stream);
}

void TOrvInterfaceEngine::CreateInterfaceObjects() {
    if (Document->Tags.empty()) throw OrvException(kCreate + "XML file does not has tags!");
    const TOrvXMLTag& root = *Document->Tags.front();
    if (root.Tags.empty()) return;
    if (root.Name != "OrvInterface") throw OrvException(kCreate + "XML file does not has \"OrvInterface\" tag!");
    // By index: a default line adds <p> elements to the <o> elements while
    // this loop walks them.
    for (size_t i = 0; i < root.Tags.size(); ++i) {
        const TOrvXMLTag& e = *root.Tags[i];
        if (e.Name != "o") throw OrvException(kCreate + "OrvInterface XML file contains wrong tag!");
        if (e.AttributeCount() != 1) throw OrvException(kCreate + "Tag <o> has wrong number of attributes!");
        const std::string* cls = FirstAttribute(e, "c");
        if (cls == nullptr) throw OrvException(kCreate + "Tag <o> does not has \"c\" attribute!");
        const std::string className = *cls;
        if (e.Tags.empty()) throw OrvException(kCreate + "Tag <o> does not has subtags!");
        const std::string p0 = kCreate + "[ClassName:" + className + "] ";
        std::string name;
        std::string parentName;
        for (size_t j = 0; j < e.Tags.size(); ++j) {
            const TOrvXMLTag& p = *e.Tags[j];
            if (p.Name != "p") throw OrvException(p0 + "Tag <o> contains wrong subtag!");
            if (p.AttributeCount() != 1) throw OrvException(p0 + "Tag <p> has wrong number of attributes!");
            const std::string* n = FirstAttribute(p, "n");
            if (n == nullptr) throw OrvException(p0 + "Tag <p> does not has \"n\" attribute!");
            if (className == "TOrvDefaults") {
                if (*n != "DefLine") throw OrvException(p0 + "Tag <p> has wrong \"n\" attribute value!");
                ApplyDefaultLine(std::string(p.Value));
            } else if (*n == "ParentName") {
                parentName = p.Value;
            } else if (*n == "Name") {
                name = p.Value;
            }
        }
        if (className == "TOrvDefaults") continue;
        if (name.empty() || parentName.empty())
            throw OrvException(p0 + "Attribute <n> does not has Name: \"ParentName\" or \"Name\"!");
        CreateObject(name, parentName, className);
    }
}

std::vector<std::string> TOrvInterfaceEngine::DefLinePars(std::string_view line) {
    const size_t first = line.find(';');
    const size_t second = first == std::string_view::npos ? first : line.find(';', first + 1);
    if (second == std::string_view::npos) throw OrvException("[TOrvInterfaceEngine.DefLinePars] \";\" not found!");
    return {TrimBlanks(line.substr(0, first)), TrimBlanks(line.substr(first + 1, second - first - 1)),
            std::string(line.substr(second + 1))};
}

void TOrvInterfaceEngine::ApplyDefaultLine(std::string_view line) {
    const std::vector<std::string> parts = DefLinePars(line);
    if (parts.size() != 3)
        throw OrvException("[TOrvInterfaceEngine.ApplyDefaultLine] DefLine does not have 3 parameters!");
    const std::string& className = parts[0];
    const std::string& propName = parts[1];
    TOrvXMLTag& root = *Document->Tags.front();
    for (size_t i = 0; i < root.Tags.size(); ++i) {
        TOrvXMLTag& o = *root.Tags[i];
        const std::string* cls = FirstAttribute(o, "c");
        if (o.Name != "o" || cls == nullptr || *cls != className || o.Tags.empty()) continue;
        bool present = false;
        for (const auto& p : o.Tags) {
            const std::string* n = FirstAttribute(*p, "n");
            if (n != nullptr && *n == propName) present = true;
        }
        if (!present) o.AddTag("p", parts[2])->AddAttribute("n", propName);
    }
}

void TOrvInterfaceEngine::ApplyProperties(bool reload) {
    const TOrvXMLTag* root = nullptr;
    for (const auto& tag : Document->Tags)
        if (tag->Name == "OrvInterface") {
            root = tag.get();
            break;
        }
    if (root == nullptr) return;
    // The defaults object names no object; it is passed over wherever it
    // stands, so a file without one keeps its first object's properties.
    for (size_t i = 0; i < root->Tags.size(); ++i) {
        const TOrvXMLTag& e = *root->Tags[i];
        if (e.Name != "o" || e.Tags.empty()) continue;
        const std::string* cls = FirstAttribute(e, "c");
        if (!reload && cls != nullptr && *cls == "TOrvDefaults") continue;
        for (const auto& p : e.Tags)
            if (p->Name != "p" || p->AttributeCount() != 1 || FirstAttribute(*p, "n") == nullptr) return;
        ApplyElement(e, reload);
    }
}

void TOrvInterfaceEngine::ApplyElement(const TOrvXMLTag& element, bool reload) {
    int index = -1;
    for (const auto& p : element.Tags)
        if (*FirstAttribute(*p, "n") == "Name") index = IndexOfName(p->Value);
    TOrvObject* obj = GetObject(index);
    if (obj == nullptr) return;
    for (const auto& p : element.Tags) {
        const std::string& prop = *FirstAttribute(*p, "n");
        if (reload && prop != "Name") {
            // Remembered under the property's own name, so "caption" and
            // "Caption" are one property here as everywhere.
            const TOrvPropInfo* info = obj->PropTable().Find(prop);
            RememberModProp(obj->Name(), info ? info->Name : prop, GetPropValue(*obj, prop).ToString());
        }
        SetPropValue(*obj, prop, p->Value);
    }
}

void TOrvInterfaceEngine::ReloadInterface(const std::string& fileName) {
    WhileReading(fileName, [&] {
        Document->LoadFromFile(fileName);
        ApplyProperties(true);
    });
}

void TOrvInterfaceEngine::ReloadInterfaceFromString(std::string_view text) {
    Document->LoadFromString(text);
    ApplyProperties(true);
}

void TOrvInterfaceEngine::RememberModProp(const std::string& objectName, const std::string& propName,
                                          const std::string& value) {
    for (const auto& m : ModProps->Tags) {
        const TOrvParserAttribute* o = m->GetAttribute(0);
        const TOrvParserAttribute* p = m->GetAttribute(1);
        if (o != nullptr && p != nullptr && o->Value == objectName && p->Value == propName) return;
    }
    TOrvXMLTag* m = ModProps->AddTag("ModProp", value);
    m->AddAttribute("Object", objectName);
    m->AddAttribute("Prop", propName);
}

void TOrvInterfaceEngine::RestoreModProps() {
    std::unordered_map<std::string, std::vector<const TOrvXMLTag*>> byObject;
    for (const auto& m : ModProps->Tags) byObject[m->AttributeValue("Object")].push_back(m.get());
    for (size_t i = 0; i < Objects.size(); ++i) {
        TOrvObject& obj = *Objects[i];
        const auto it = byObject.find(obj.Name());
        if (it == byObject.end()) continue;
        for (const TOrvXMLTag* m : it->second) SetPropValue(obj, m->AttributeValue("Prop"), m->Value);
    }
}

void TOrvInterfaceEngine::Clear() {
    ModalStack.clear();
    Scripts->ClearTags();
    ModProps->ClearTags();
    SenderName.clear();
    TOrvEngine::Clear();
}

void TOrvInterfaceEngine::DeleteObject(const std::string& name) {
    const int index = IndexOfName(name);
    TOrvObject* doomed = GetObject(index);
    if (doomed == nullptr) return;
    const std::string parentName = doomed->ParentName;
    ModalStack.erase(std::remove(ModalStack.begin(), ModalStack.end(), doomed), ModalStack.end());
    TOrvEngine::DeleteObject(index);
    if (auto* form = FindObjectAs<TOrvForm>(parentName)) form->RebuildChildren();
}

void TOrvInterfaceEngine::RebuildChildren() {
    ResolveParents();
    for (const auto& obj : Objects)
        if (auto* form = dynamic_cast<TOrvForm*>(obj.get())) {
            form->RebuildChildren();
            form->BuildTabList();
        }
}

void TOrvInterfaceEngine::CheckParents() const {
    for (const auto& obj : Objects) {
        int depth = 0;
        for (const TOrvObject* p = obj->ParentObject; p != nullptr; p = p->ParentObject) {
            if (p == obj.get())
                throw OrvException("[TOrvInterfaceEngine.CheckParents] Object \"" + obj->Name() +
                                   "\" is its own parent through \"" + obj->ParentName + "\"!");
            if (++depth > kMaxNesting)
                throw OrvException("[TOrvInterfaceEngine.CheckParents] Object \"" + obj->Name() +
                                   "\" lies deeper than " + std::to_string(kMaxNesting) + " parents!");
        }
    }
}

void TOrvInterfaceEngine::RefreshLayout() {
    for (size_t i = 0; i < Objects.size(); ++i)
        if (auto* ui = dynamic_cast<TOrvInterfaceObject*>(Objects[i].get())) ui->PicturesChanged();
    for (const auto& obj : Objects) {
        auto* ui = dynamic_cast<TOrvInterfaceObject*>(obj.get());
        if (ui != nullptr && ui->ParentUI() == nullptr) ui->UpdatePosition();
    }
}

// ---------------------------------------------------------------------------
// Input

void TOrvInterfaceEngine::KeyDown(int32_t& key, TShiftState shift) {
    if (TOrvInterfaceObject* top = TopModal()) top->KeyDown(top, key, shift);
    if (!ModalStack.empty()) RunScripts();
}

void TOrvInterfaceEngine::KeyPress(char16_t& key) {
    if (TOrvInterfaceObject* top = TopModal()) top->KeyPress(top, key);
    if (!ModalStack.empty()) RunScripts();
}

void TOrvInterfaceEngine::KeyUp(int32_t& key, TShiftState shift) {
    if (TOrvInterfaceObject* top = TopModal()) top->KeyUp(top, key, shift);
    if (!ModalStack.empty()) RunScripts();
}

void TOrvInterfaceEngine::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    if (TOrvInterfaceObject* top = TopModal()) top->MouseDown(top, button, shift, x, y);
    if (!ModalStack.empty()) RunScripts();
}

void TOrvInterfaceEngine::MouseMove(TShiftState shift, int32_t x, int32_t y) {
    if (TOrvInterfaceObject* top = TopModal()) top->MouseMove(top, shift, x, y);
    if (!ModalStack.empty()) RunScripts();
}

void TOrvInterfaceEngine::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    if (TOrvInterfaceObject* top = TopModal()) top->MouseUp(top, button, shift, x, y);
    if (!ModalStack.empty()) RunScripts();
}

void TOrvInterfaceEngine::MouseWheel(TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled) {
    if (TOrvInterfaceObject* top = TopModal()) top->MouseWheel(top, shift, wheelDelta, mousePos, handled);
    if (!ModalStack.empty()) RunScripts();
}

// ---------------------------------------------------------------------------
// Drawing and redraw bookkeeping

void TOrvInterfaceEngine::DrawModal() {
    // A copy: a form's PostFormDraw reaches the game, which may change the stack.
    const std::vector<TOrvInterfaceObject*> stack = ModalStack;
    if (!stack.empty() && Changed && Graphic != nullptr) {
        for (TOrvInterfaceObject* form : stack) {
            if (!form->Visible) continue;
            Graphic->DrawBumpMap(form->Picture, form->CurrentBumpMap, form->AbsLeft, form->AbsTop);
            if (const auto* f = dynamic_cast<const TOrvForm*>(form))
                for (const TOrvInterfaceObject* child : f->Children)
                    if (child->Visible)
                        Graphic->DrawBumpMap(child->Picture, child->CurrentBumpMap, child->AbsLeft, child->AbsTop);
        }
        Changed = false;
    }
    for (TOrvInterfaceObject* form : stack) {
        if (!form->Visible) continue;
        form->Draw();
        if (Graphic != nullptr) Graphic->PostFormDraw(form->Name());
    }
    ClearRedrawMarks();
}

void TOrvInterfaceEngine::ClearRedrawMarks() {
    for (const auto& obj : Objects)
        if (auto* ui = dynamic_cast<TOrvInterfaceObject*>(obj.get())) {
            ui->NeedRedraw = false;
            ui->InvalidRect = TRect{};
        }
    UpdateRect = TRect{};
}

void TOrvInterfaceEngine::CollectUpdateRect() {
    for (const auto& obj : Objects) {
        const auto* ui = dynamic_cast<const TOrvInterfaceObject*>(obj.get());
        if (ui == nullptr || !ui->NeedRedraw) continue;
        Grow(UpdateRect, ui->InvalidRect);
        Grow(UpdateRect, ui->PaintRect());
    }
}

namespace {

void AddMarked(const TOrvInterfaceObject& obj, TRects& rects) {
    const TRect now = obj.PaintRect();
    rects.push_back(now);
    if (!(obj.InvalidRect == now)) rects.push_back(obj.InvalidRect);
}

// The marked objects of a form; a marked child form covers its own children.
void CollectForm(const TOrvForm& form, TRects& rects) {
    for (const TOrvInterfaceObject* child : form.Children) {
        if (child->NeedRedraw) {
            AddMarked(*child, rects);
        } else if (const auto* sub = dynamic_cast<const TOrvForm*>(child)) {
            CollectForm(*sub, rects);
        }
    }
}

}  // namespace

void TOrvInterfaceEngine::CollectDirtyRects(TRects& rects) {
    for (const TOrvInterfaceObject* top : ModalStack) {
        if (top->NeedRedraw) {
            AddMarked(*top, rects);
            continue;
        }
        if (const auto* form = dynamic_cast<const TOrvForm*>(top)) CollectForm(*form, rects);
    }
    if (!RectEmpty(UpdateRect)) rects.push_back(UpdateRect);
}

void TOrvInterfaceEngine::TickTopModal() {
    TOrvInterfaceObject* top = TopModal();
    if (top != nullptr && top->Visible) top->Tick(Now());
}

// ---------------------------------------------------------------------------
// Helpers

TOrvInterfaceObject* TOrvInterfaceEngine::FindInterfaceObject(std::string_view name) const {
    return FindObjectAs<TOrvInterfaceObject>(name);
}

void TOrvInterfaceEngine::ScreenSize(int32_t& width, int32_t& height) const {
    width = 800;
    height = 600;
    if (Graphic != nullptr) Graphic->GetScreenSize(width, height);
}

bool TOrvInterfaceEngine::IsShown(const TOrvInterfaceObject& obj) const {
    const TOrvInterfaceObject* outer = &obj;
    for (const TOrvInterfaceObject* o = &obj; o != nullptr; o = o->ParentUI()) {
        if (!o->Visible) return false;
        outer = o;
    }
    return IsOnModalStack(outer->Name());
}

bool TOrvInterfaceEngine::IsOnModalStack(std::string_view formName) const {
    return std::any_of(ModalStack.begin(), ModalStack.end(),
                       [formName](const TOrvInterfaceObject* f) { return f->Name() == formName; });
}

void RegisterInterfaceClasses(TOrvClassReg& reg) {
    reg.Register<TOrvForm>("TOrvForm");
    reg.Register<TOrvTabForm>("TOrvTabForm");
    reg.Register<TOrvLabel>("TOrvLabel");
    reg.Register<TOrvCheckBox>("TOrvCheckBox");
    reg.Register<TOrvRadioButton>("TOrvRadioButton");
    reg.Register<TOrvEdit>("TOrvEdit");
    reg.Register<TOrvSlider>("TOrvSlider");
    reg.Register<TOrvGrid>("TOrvGrid");
    reg.Register<TOrvProgressBar>("TOrvProgressBar");
    reg.Register<TOrvRichLabel>("TOrvRichLabel");
    reg.Register<TOrvHint>("TOrvHint");
    reg.Register<TOrvMoving>("TOrvMoving");
}
