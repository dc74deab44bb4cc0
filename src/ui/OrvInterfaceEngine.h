// TOrvInterfaceEngine: builds the game's windows and controls from the
// interface file, routes input to the top form of the modal stack, runs the
// event scripts the controls queue, keeps the modal stack and drives drawing
// and redraw bookkeeping once per frame.
//
//   TOrvInterfaceEngine ui;
//   ui.Graphic = &window;  ui.Fonts = &fonts;  ui.Owner = &handlers;   // none owned
//   ui.LoadInterfaceFromString(text);          // throws OrvException
//   ui.ShowModal("WTitle");
//   ui.MouseDown(mbLeft, ssLeft, 400, 300);    // dispatch, then the queued scripts run
//   ui.CollectDirtyRects(dirty);  ui.DrawModal();
//
// Interface file ("Moswick.li"): <OrvInterface> holding <o c="Class"> elements,
// each a list of <p n="Property">value</p>. The first <o> may be the defaults
// object <o c="TOrvDefaults"> whose <p n="DefLine">Class;Property;Value</p>
// lines give a property to every object of exactly that class that does not
// set it. Language files have the same form and replace properties of named
// objects; the values they replace are remembered, so another language can
// start again from the file's own texts (RestoreModProps).
//
// Scripts: commands each ended by ";" (see OrvInterfaceScripts.cpp for the
// table): PlaySound Sound, ShowModal Form, HideModal [Form], HideModalList,
// ChangeModal [HideForm] ShowForm, ExecMethod Method, SetProp Object Prop Value.
// Controls queue them while an event is dispatched; the engine runs the queue
// after the event, so the modal stack never changes under a dispatch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvBaseClasses.h"
#include "base/OrvTypes.h"
#include "platform/Window.h"

class IOrvGraphic;
class TMemoryStream;
class TOrvFontEngine;
class TOrvForm;
class TOrvInterfaceObject;
class TOrvMethodTable;
class TOrvParser;
class TOrvXMLTag;

class TOrvInterfaceEngine : public TOrvEngine {
public:
    // The value of State while the properties of a freshly loaded file are set.
    static constexpr const char* kReadingState = "osReadingState";
    // Rounds of scripts queued by running scripts that one RunScripts call
    // runs; what is queued beyond stays for the next call.
    static constexpr int kMaxScriptRounds = 64;

    TOrvInterfaceEngine();
    ~TOrvInterfaceEngine() override;
    using TOrvEngine::DeleteObject;

    // ---- Links, set by start-up (none owned) ----
    // The handlers "ExecMethod" calls; with none, every ExecMethod fails.
    const TOrvMethodTable* Owner = nullptr;
    IOrvGraphic* Graphic = nullptr;
    TOrvFontEngine* Fonts = nullptr;
    // The millisecond clock of animations and hint timers (the game's tick
    // count); a clock that always says 0 when unset.
    std::function<uint32_t()> Clock;
    // Clipboard access for edits; empty functions mean no clipboard.
    std::function<std::string()> GetClipboardText;
    std::function<void(const std::string&)> SetClipboardText;

    // ---- State ----
    // The queue of parsed scripts (children "Script" with attribute "Sender").
    std::unique_ptr<TOrvXMLTag> Scripts;
    // The interface file's values of properties that language files replaced.
    std::unique_ptr<TOrvXMLTag> ModProps;
    // The forms shown, bottom first; a form is there at most once (not owned).
    std::vector<TOrvInterfaceObject*> ModalStack;
    // The bump layer must be drawn again.
    bool Changed = false;
    // Extra screen area to redraw (right and bottom exclusive); all zero = none.
    TRect UpdateRect{};
    // The document last read.
    std::unique_ptr<TOrvParser> Document;
    std::string State;
    // Name of the object whose event queued the latest script.
    std::string SenderName;

    // ---- The interface file ----
    // Reads an interface file and builds every object: creates them, links
    // parents, lists each form's children, sets the properties (defaults
    // after each object's own), builds tab lists and checks every script.
    // Throws OrvException with the messages of CreateInterfaceObjects, the
    // property machinery, and CheckScripts; the objects made so far stay.
    void LoadInterface(TMemoryStream& stream);
    void LoadInterfaceFromString(std::string_view text);
    // Creates the objects Document describes (see the file comment for the
    // format); every structural fault throws "[TOrvInterfaceEngine.
    // CreateInterfaceObjects] ..." with its own message.
    void CreateInterfaceObjects();
    // "Class;Property;Value" as three parts: the first two trimmed, the
    // rest unchanged (it may hold ";"). Throws OrvException
    // `[TOrvInterfaceEngine.DefLinePars] ";" not found!` without two ";".
    static std::vector<std::string> DefLinePars(std::string_view line);
    // Adds the property to every <o> of that class in Document that lacks it.
    void ApplyDefaultLine(std::string_view line);
    // Sets the properties of Document on the objects they name. With reload
    // (a language file) every <o> is visited, the replaced values are
    // remembered, and a structural fault stops quietly; without it the first
    // <o> (the defaults) is skipped.
    void ApplyProperties(bool reload);
    // Applies a language file from disk / from text over the interface.
    // Throws the parser's OrvException for a file that cannot be read or
    // parsed (or is larger than TOrvParser::MaxDocumentSize), and the
    // property machinery's for a bad value; from disk, the message names
    // the file.
    void ReloadInterface(const std::string& fileName);
    void ReloadInterfaceFromString(std::string_view text);
    // Remembers the first value seen for an object's property.
    void RememberModProp(const std::string& objectName, const std::string& propName, const std::string& value);
    // Gives every object back the values remembered in ModProps.
    void RestoreModProps();
    // Checks every script of every object (and of their inner objects):
    // commands must be known, carry their parameters and end with ";", and
    // each "ExecMethod" must name a handler of Owner (when one is set).
    // Throws OrvException "[TOrvInterfaceEngine.CheckScripts] ..." naming the
    // object, the event and the fault.
    void CheckScripts() const;
    // Frees every object, empties the queue, ModProps and the modal stack.
    void Clear() override;
    // Frees the named object; a form it belonged to rebuilds its children.
    void DeleteObject(const std::string& name) override;
    // Every object takes the sizes of its pictures again and relayouts
    // (after the pictures were loaded, or rebuilt for another display).
    void RefreshLayout();
    // Links every object to its parent again, and every form lists its
    // children and its Tab stops again (after objects were made or freed at
    // run time; equal Tab orders keep engine order).
    void RebuildChildren();
    // Objects may nest at most this deep (a form in a form in a form ...).
    static constexpr int kMaxNesting = 32;
    // Refuses parent links that lead in a circle or nest deeper than
    // kMaxNesting: OrvException "[TOrvInterfaceEngine.CheckParents] ..."
    // naming the object. Such a file could never be drawn.
    void CheckParents() const;

    // ---- Input, to the top form; the queued scripts run afterwards ----
    void KeyDown(int32_t& key, TShiftState shift);
    void KeyPress(char16_t& key);
    void KeyUp(int32_t& key, TShiftState shift);
    void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void MouseMove(TShiftState shift, int32_t x, int32_t y);
    void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void MouseWheel(TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled);

    // ---- Drawing, once per frame ----
    // The bump layer when Changed, then every visible form of the stack
    // (bottom to top) followed by Graphic->PostFormDraw; finally every
    // redraw mark is cleared.
    void DrawModal();
    // Clears every redraw mark and UpdateRect without drawing (a frame that
    // presents nothing new).
    void ClearRedrawMarks();
    // Grows UpdateRect by the old and new areas of every marked object.
    void CollectUpdateRect();
    // Appends the areas to redraw: every marked form of the stack and every
    // marked object inside one (old and new area), and UpdateRect.
    void CollectDirtyRects(TRects& rects);
    // Advances the animations of the top form's visible objects.
    void TickTopModal();

    // ---- Scripts ----
    // Queues a script fired by the named object; nothing for an empty
    // script. Throws the parser's "[TOrvXMLTag.AddTagByString] ..." error
    // for a command that is not `Name Param="value"` text.
    void ExecScript(const std::string& senderName, const std::string& script);
    // Runs the queue in order, including scripts queued while it runs, and
    // empties it. An "ExecMethod" of a name Owner does not have, or without
    // Owner, throws OrvException once the queue is empty; a property error
    // of "SetProp" throws at once (the rest of the queue is dropped).
    void RunScripts();
    // The object that fired the latest queued script, looked up now (so a
    // freed object is never returned); nullptr when there is none.
    TOrvInterfaceObject* SenderObject() const;

    // ---- The modal stack ----
    // Shows the named form on top; nothing when it is there already or there
    // is no such object.
    void ShowModal(const std::string& formName);
    // Hides forms from the top down to and including the named one; nothing
    // when that form is not on the stack.
    void HideModal(const std::string& formName);
    void HideTopModal();
    void HideModalList();
    // Hides down to hideFormName (when it is on the stack), shows
    // showFormName and redraws the whole screen.
    void ChangeModal(const std::string& hideFormName, const std::string& showFormName);
    void ChangeTopModal(const std::string& showFormName);
    TOrvInterfaceObject* TopModal() const { return ModalStack.empty() ? nullptr : ModalStack.back(); }
    bool IsOnModalStack(std::string_view formName) const;

    // ---- Helpers ----
    TOrvInterfaceObject* FindInterfaceObject(std::string_view name) const;
    uint32_t Now() const { return Clock ? Clock() : 0; }
    // The screen size from Graphic (800 x 600 without one).
    void ScreenSize(int32_t& width, int32_t& height) const;
    // Whether the object is drawn now: it and its parents are visible and its
    // outermost form is on the modal stack.
    bool IsShown(const TOrvInterfaceObject& obj) const;

private:
    void ApplyElement(const TOrvXMLTag& element, bool reload);
    void MarkForRedraw(TOrvInterfaceObject& obj, const TRect& area);
    void RunCommand(const TOrvXMLTag& command, std::vector<std::string>& unknownMethods);
    void CheckScript(const std::string& objectName, const std::string& event, const std::string& script) const;
};

// Cuts script text into commands at every ";" outside double quotes. What
// follows the last ";" is not a command: it is stored in rest (when given).
std::vector<std::string> SplitScriptCommands(std::string_view script, std::string* rest);

// Adds every instantiable interface class to the class registry:
// TOrvForm, TOrvTabForm, TOrvLabel, TOrvCheckBox, TOrvRadioButton, TOrvEdit,
// TOrvSlider, TOrvGrid, TOrvProgressBar, TOrvRichLabel, TOrvHint, TOrvMoving.
void RegisterInterfaceClasses(TOrvClassReg& reg);
