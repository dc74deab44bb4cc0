// Named objects, the engines that own them and the registry that creates
// them by class name.
//
// An engine (the interface engine, the font engine) owns a flat list of
// named objects, creates them from a class name through the process-wide
// class registry, links each to its parent by the parent's name and sets or
// reads their published properties from text:
//
//   engine.CreateObject("WTitle_BNewGame", "WTitle", "TOrvLabel");
//   engine.ResolveParents();
//   engine.SetProp("WTitle_BNewGame", "Visible", "false");    // any case of "visible"
//   std::string caption = engine.GetProp("WTitle_BNewGame", "Caption").ToString();
//
// Units with instantiable classes register them at start-up through an
// explicit function the game calls (no static-initialiser registration, which
// the linker may drop), e.g.
//
//   void RegisterFontClasses(TOrvClassReg& reg) { reg.Register<TOrvFont>("TOrvFont"); }
//   RegisterFontClasses(TOrvClassReg::Instance());
//
// Abstract bases are never registered. Subclasses declare their published
// properties as shown in OrvPropertyWork.h, with TOrvObject::ClassPropTable()
// as the base table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvPropertyWork.h"

class TOrvEngine;

// A named object owned by an engine. Published: ParentName, Name (through
// SetName) and Tag. Every subclass must be constructible without arguments:
// the registry creates objects that way.
class TOrvObject : public TOrvPersistent {
public:
    TOrvObject() = default;
    ~TOrvObject() override = default;

    TOrvObject(const TOrvObject&) = delete;
    TOrvObject& operator=(const TOrvObject&) = delete;

    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    // Copies Tag and Engine from source (nothing when source is nullptr);
    // subclasses extend it to their own fields.
    virtual void Assign(const TOrvObject* source);
    // Renames the object. Does nothing when value equals the current name.
    // Throws OrvException `[TOrvBaseClasses.SetName] The name "<value>" is
    // present !` when another object of the same engine bears that name; the
    // object keeps its old name then. An object without an engine is simply renamed.
    virtual void SetName(const std::string& value);
    const std::string& Name() const { return name_; }

    // Name of the parent object in the same engine, or empty.
    std::string ParentName;
    // Free value for the owner's use.
    int32_t Tag = 0;
    // The engine holding this object (not owned).
    TOrvEngine* Engine = nullptr;
    // The object named by ParentName, set by TOrvEngine::ResolveParents (not owned).
    TOrvObject* ParentObject = nullptr;

private:
    std::string name_;
};

// Non-owning list of objects (children of a form, a tab list...).
using TOrvObjects = std::vector<TOrvObject*>;

using TOrvObjectFactory = std::function<std::unique_ptr<TOrvObject>()>;

struct TOrvClassInfo {
    std::string ClassName;
    TOrvObjectFactory Create;
};

// Classes that engines can create by name.
class TOrvClassReg {
public:
    // A registry holding TOrvObject.
    TOrvClassReg();

    // The process-wide registry, created on first use holding TOrvObject.
    static TOrvClassReg& Instance();

    // Adds a class under its exact name. A name already present keeps its
    // first registration (registering twice is harmless).
    void RegisterClass(const std::string& className, TOrvObjectFactory create);
    template <class T>
    void Register(const std::string& className) {
        RegisterClass(className, [] { return std::unique_ptr<TOrvObject>(std::make_unique<T>()); });
    }
    // The class registered under exactly this name (case-sensitive), or nullptr.
    const TOrvClassInfo* FindClass(std::string_view className) const;
    int Count() const { return static_cast<int>(classes_.size()); }

private:
    std::vector<TOrvClassInfo> classes_;
};

// Owns named objects in creation order. Subclasses that override the virtual
// DeleteObject(name) should add `using TOrvEngine::DeleteObject;` to keep the
// by-index form visible.
class TOrvEngine : public TOrvPersistent {
public:
    // classes: the registry CreateObject uses; nullptr for TOrvClassReg::Instance().
    explicit TOrvEngine(const TOrvClassReg* classes = nullptr);
    // Frees every object.
    ~TOrvEngine() override;

    TOrvEngine(const TOrvEngine&) = delete;
    TOrvEngine& operator=(const TOrvEngine&) = delete;

    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    // All objects, owned, in creation order.
    std::vector<std::unique_ptr<TOrvObject>> Objects;

    // Takes ownership of obj, appends it, makes this its engine and returns
    // its index; -1 (nothing done) for nullptr.
    int AddObject(std::unique_ptr<TOrvObject> obj);
    // Creates an object of a registered class, appends it with its parent's
    // name and names it. Returns its index, or -1 when the class is not
    // registered (nothing created). When the name is already used, SetName's
    // error propagates and the object stays in the list unnamed.
    int CreateObject(const std::string& name, const std::string& parentName, const std::string& className);
    // Index of the first object named exactly name (case-sensitive), or -1.
    int IndexOfName(std::string_view name) const;
    // That object, or nullptr.
    TOrvObject* FindObject(std::string_view name) const;
    // The named object when it is a T (or derives from it), else nullptr.
    template <class T>
    T* FindObjectAs(std::string_view name) const {
        return dynamic_cast<T*>(FindObject(name));
    }
    // The object at index, or nullptr when out of range.
    TOrvObject* GetObject(int index) const;
    int Count() const { return static_cast<int>(Objects.size()); }

    // Frees the named object; nothing when there is none.
    virtual void DeleteObject(const std::string& name);
    // Frees the object at index and moves later ones down; nothing when out
    // of range. Links of other objects to it (ParentObject) are cleared.
    void DeleteObject(int index);
    // Frees every object.
    virtual void Clear();
    // Sets every object's ParentObject to the object named by its ParentName
    // (nullptr when there is none).
    void ResolveParents();

    // Sets a published property of the named object from text (see
    // SetPropValue). Returns false when there is no such object; throws
    // OrvException for an unknown property or a value that does not convert.
    bool SetProp(std::string_view objectName, std::string_view propName, std::string_view value);
    // A published property of the named object; empty when there is no such
    // object. Throws OrvException for an unknown property.
    TOrvVariant GetProp(std::string_view objectName, std::string_view propName) const;

private:
    const TOrvClassReg* classes_;
};
