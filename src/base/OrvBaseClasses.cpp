#include "base/OrvBaseClasses.h"

#include <unordered_map>

#include "base/OrvException.h"

// ---------------------------------------------------------------------------
// TOrvObject

const TOrvPropTable& TOrvObject::ClassPropTable() {
    static const TOrvPropTable table =
        TOrvPropTable::Build<TOrvObject>("TOrvObject", &TOrvPersistent::ClassPropTable(), [](auto& p) {
            p.String("ParentName", &TOrvObject::ParentName);
            p.String("Name", &TOrvObject::Name, &TOrvObject::SetName);
            p.Integer("Tag", &TOrvObject::Tag);
        });
    return table;
}

void TOrvObject::Assign(const TOrvObject* source) {
    if (source == nullptr) return;
    Tag = source->Tag;
    Engine = source->Engine;
}

void TOrvObject::SetName(const std::string& value) {
    if (value == name_) return;
    if (Engine != nullptr && Engine->IndexOfName(value) >= 0)
        throw OrvException("[TOrvBaseClasses.SetName] The name \"" + value + "\" is present !");
    name_ = value;
}

// ---------------------------------------------------------------------------
// TOrvClassReg

TOrvClassReg::TOrvClassReg() {
    Register<TOrvObject>("TOrvObject");
}

TOrvClassReg& TOrvClassReg::Instance() {
    static TOrvClassReg registry;
    return registry;
}

void TOrvClassReg::RegisterClass(const std::string& className, TOrvObjectFactory create) {
    if (!create || FindClass(className) != nullptr) return;
    classes_.push_back({className, std::move(create)});
}

const TOrvClassInfo* TOrvClassReg::FindClass(std::string_view className) const {
    for (const auto& info : classes_)
        if (info.ClassName == className) return &info;
    return nullptr;
}

// ---------------------------------------------------------------------------
// TOrvEngine

TOrvEngine::TOrvEngine(const TOrvClassReg* classes) : classes_(classes ? classes : &TOrvClassReg::Instance()) {}

TOrvEngine::~TOrvEngine() {
    TOrvEngine::Clear();
}

const TOrvPropTable& TOrvEngine::ClassPropTable() {
    static const TOrvPropTable table("TOrvEngine", &TOrvPersistent::ClassPropTable());
    return table;
}

int TOrvEngine::AddObject(std::unique_ptr<TOrvObject> obj) {
    if (!obj) return -1;
    obj->Engine = this;
    Objects.push_back(std::move(obj));
    return static_cast<int>(Objects.size()) - 1;
}

int TOrvEngine::CreateObject(const std::string& name, const std::string& parentName, const std::string& className) {
    const TOrvClassInfo* info = classes_->FindClass(className);
    if (info == nullptr) return -1;
    std::unique_ptr<TOrvObject> obj = info->Create();
    if (!obj) return -1;
    TOrvObject* raw = obj.get();
    const int index = AddObject(std::move(obj));
    raw->Engine = this;
    raw->ParentName = parentName;
    raw->SetName(name);
    return index;
}

int TOrvEngine::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < Objects.size(); ++i)
        if (Objects[i]->Name() == name) return static_cast<int>(i);
    return -1;
}

TOrvObject* TOrvEngine::FindObject(std::string_view name) const {
    return GetObject(IndexOfName(name));
}

TOrvObject* TOrvEngine::GetObject(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= Objects.size()) return nullptr;
    return Objects[static_cast<size_t>(index)].get();
}

void TOrvEngine::DeleteObject(const std::string& name) {
    DeleteObject(IndexOfName(name));
}

void TOrvEngine::DeleteObject(int index) {
    if (index < 0 || static_cast<size_t>(index) >= Objects.size()) return;
    // Take the object out first, so that its destructor sees a consistent
    // list, and clear the links that would otherwise point at freed memory.
    std::unique_ptr<TOrvObject> doomed = std::move(Objects[static_cast<size_t>(index)]);
    Objects.erase(Objects.begin() + index);
    for (const auto& obj : Objects)
        if (obj->ParentObject == doomed.get()) obj->ParentObject = nullptr;
}

void TOrvEngine::Clear() {
    // Objects are freed last first, and each leaves the list before it goes,
    // so no destructor finds a freed object still listed.
    while (!Objects.empty()) {
        std::unique_ptr<TOrvObject> last = std::move(Objects.back());
        Objects.pop_back();
    }
}

void TOrvEngine::ResolveParents() {
    // One pass to index the names (the first object of a name wins, as with
    // FindObject), so an interface of thousands of objects links in linear time.
    std::unordered_map<std::string_view, TOrvObject*> byName;
    byName.reserve(Objects.size());
    for (const auto& obj : Objects) byName.emplace(obj->Name(), obj.get());
    for (const auto& obj : Objects) {
        const auto it = byName.find(obj->ParentName);
        obj->ParentObject = it == byName.end() ? nullptr : it->second;
    }
}

bool TOrvEngine::SetProp(std::string_view objectName, std::string_view propName, std::string_view value) {
    TOrvObject* obj = FindObject(objectName);
    if (obj == nullptr) return false;
    SetPropValue(*obj, propName, value);
    return true;
}

TOrvVariant TOrvEngine::GetProp(std::string_view objectName, std::string_view propName) const {
    const TOrvObject* obj = FindObject(objectName);
    if (obj == nullptr) return TOrvVariant();
    return GetPropValue(*obj, propName);
}
