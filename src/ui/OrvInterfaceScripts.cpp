// The interface engine's script queue, its commands and the modal stack.
#include <algorithm>
#include <array>
#include <initializer_list>

#include "base/OrvException.h"
#include "base/OrvGraphic.h"
#include "base/OrvParser.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvMethodTable.h"
#include "ui/OrvRichLabel.h"

std::vector<std::string> SplitScriptCommands(std::string_view script, std::string* rest) {
    std::vector<std::string> commands;
    std::string buffer;
    bool outside = true;
    for (const char c : script) {
        if (c == '"') outside = !outside;
        if (c == ';' && outside) {
            commands.push_back(std::move(buffer));
            buffer.clear();
        } else {
            buffer += c;
        }
    }
    if (rest != nullptr) *rest = std::move(buffer);
    return commands;
}

namespace {

using TCommandRun = void (*)(TOrvInterfaceEngine& ui, const TOrvXMLTag& command,
                             std::vector<std::string>& unknownMethods);

// One script command: its name, the parameters it needs, whether it takes
// parameters at all, and what it does.
struct TScriptCommand {
    std::string_view Name;
    std::initializer_list<std::string_view> Required;
    bool TakesParameters;
    TCommandRun Run;
};

std::string Param(const TOrvXMLTag& command, std::string_view name) {
    return command.AttributeValue(name);
}

const std::array<TScriptCommand, 7> kCommands{{
    {"PlaySound",
     {"Sound"},
     true,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag& c, std::vector<std::string>&) {
         if (ui.Graphic != nullptr) ui.Graphic->PlaySound(Param(c, "Sound"));
     }},
    {"ShowModal",
     {"Form"},
     true,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag& c, std::vector<std::string>&) { ui.ShowModal(Param(c, "Form")); }},
    {"HideModal",
     {},
     true,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag& c, std::vector<std::string>&) {
         if (const TOrvParserAttribute* form = c.FindAttribute("Form"))
             ui.HideModal(form->Value);
         else
             ui.HideTopModal();
     }},
    {"HideModalList",
     {},
     false,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag&, std::vector<std::string>&) { ui.HideModalList(); }},
    {"ChangeModal",
     {"ShowForm"},
     true,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag& c, std::vector<std::string>&) {
         if (c.AttributeCount() >= 2)
             ui.ChangeModal(Param(c, "HideForm"), Param(c, "ShowForm"));
         else
             ui.ChangeTopModal(Param(c, "ShowForm"));
     }},
    {"ExecMethod",
     {"Method"},
     true,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag& c, std::vector<std::string>& unknown) {
         const std::string method = Param(c, "Method");
         if (ui.Owner == nullptr || !ui.Owner->Has(method)) {
             unknown.push_back(method);
             return;
         }
         ui.Owner->Call(method);
     }},
    {"SetProp",
     {"Object", "Prop", "Value"},
     true,
     [](TOrvInterfaceEngine& ui, const TOrvXMLTag& c, std::vector<std::string>&) {
         ui.SetProp(Param(c, "Object"), Param(c, "Prop"), Param(c, "Value"));
     }},
}};

const TScriptCommand* FindCommand(std::string_view name) {
    for (const TScriptCommand& c : kCommands)
        if (c.Name == name) return &c;
    return nullptr;
}

bool HasRequired(const TScriptCommand& command, const TOrvXMLTag& tag) {
    return std::all_of(command.Required.begin(), command.Required.end(),
                       [&tag](std::string_view p) { return tag.FindAttribute(p) != nullptr; });
}

}  // namespace

// ---------------------------------------------------------------------------
// The queue

void TOrvInterfaceEngine::ExecScript(const std::string& senderName, const std::string& script) {
    // Setting properties while a file is read must not queue work for the
    // first input event (a slider's position, a grid's selection).
    if (script.empty() || State == kReadingState) return;
    auto parsed = std::make_unique<TOrvXMLTag>("Script");
    parsed->AddAttribute("Sender", senderName);
    for (const std::string& command : SplitScriptCommands(script, nullptr)) {
        // A command that begins with a blank has no name and is never run.
        if (!command.empty() && command.front() == ' ')
            parsed->AddTag(std::string());
        else
            parsed->AddTagByString(command);
    }
    parsed->Parent = Scripts.get();
    Scripts->Tags.push_back(std::move(parsed));
    SenderName = senderName;
}

void TOrvInterfaceEngine::RunScripts() {
    std::vector<std::string> unknownMethods;
    try {
        // Scripts queued by running ones (a position setter, a handler) join
        // the next round instead of disturbing the one that runs.
        for (int round = 0; round < kMaxScriptRounds && !Scripts->Tags.empty(); ++round) {
            std::vector<std::unique_ptr<TOrvXMLTag>> batch = std::move(Scripts->Tags);
            Scripts->Tags.clear();
            for (const auto& script : batch)
                for (const auto& command : script->Tags) RunCommand(*command, unknownMethods);
        }
    } catch (...) {
        Scripts->ClearTags();
        throw;
    }
    if (unknownMethods.empty()) return;
    std::string names;
    for (const std::string& m : unknownMethods) names += (names.empty() ? "\"" : ", \"") + m + "\"";
    throw OrvException("[TOrvInterfaceEngine.RunScripts] ExecMethod names no handler: " + names + "!");
}

void TOrvInterfaceEngine::RunCommand(const TOrvXMLTag& command, std::vector<std::string>& unknownMethods) {
    const TScriptCommand* c = FindCommand(command.Name);
    if (c == nullptr || !HasRequired(*c, command)) return;
    if (!c->TakesParameters && command.AttributeCount() > 0) return;
    c->Run(*this, command, unknownMethods);
}

TOrvInterfaceObject* TOrvInterfaceEngine::SenderObject() const {
    return SenderName.empty() ? nullptr : FindInterfaceObject(SenderName);
}

// ---------------------------------------------------------------------------
// Checking the scripts of a loaded file

void TOrvInterfaceEngine::CheckScript(const std::string& objectName, const std::string& event,
                                      const std::string& script) const {
    if (script.empty()) return;
    const std::string where = "[TOrvInterfaceEngine.CheckScripts] Object \"" + objectName + "\", " + event + ": ";
    std::string rest;
    const std::vector<std::string> commands = SplitScriptCommands(script, &rest);
    if (TrimBlanks(rest).size() > 0)
        throw OrvException(where + "\"" + rest + "\" is not ended by \";\" and would never run!");
    for (const std::string& text : commands) {
        // An empty command (";;") is harmless.
        if (text.empty()) continue;
        if (text.front() == ' ')
            throw OrvException(where + "\"" + text + "\" begins with a blank, so it would never run!");
        TOrvXMLTag holder("Script");
        const TOrvXMLTag* tag = nullptr;
        try {
            tag = holder.AddTagByString(text);
        } catch (const OrvException& e) {
            throw OrvException(where + e.Message());
        }
        const TScriptCommand* c = FindCommand(tag->Name);
        if (c == nullptr) throw OrvException(where + "unknown command \"" + tag->Name + "\"!");
        if (!HasRequired(*c, *tag) || (!c->TakesParameters && tag->AttributeCount() > 0))
            throw OrvException(where + "command \"" + text + "\" lacks a parameter or has one too many!");
        if (c->Name != "ExecMethod" || Owner == nullptr) continue;
        const std::string method = tag->AttributeValue("Method");
        if (!Owner->Has(method)) throw OrvException(where + "unknown method \"" + method + "\"!");
    }
}

void TOrvInterfaceEngine::CheckScripts() const {
    for (const auto& obj : Objects) {
        for (const TOrvPropInfo* prop : obj->PropTable().All()) {
            if (prop->Kind != TPropKind::pkString || prop->Name.size() < 3 || prop->Name.compare(0, 2, "On") != 0 ||
                !prop->CanRead())
                continue;
            CheckScript(obj->Name(), prop->Name, prop->Get(*obj).ToString());
        }
        if (const auto* rich = dynamic_cast<const TOrvRichLabel*>(obj.get()))
            for (const auto& link : rich->Links()) CheckScript(obj->Name(), "Link", link->OnMouseDown);
    }
}

// ---------------------------------------------------------------------------
// The modal stack

void TOrvInterfaceEngine::MarkForRedraw(TOrvInterfaceObject& obj, const TRect& area) {
    obj.Invalidate();
    // Areas that are no longer covered by any form join UpdateRect.
    if (!(area == TRect{})) {
        if (UpdateRect == TRect{})
            UpdateRect = area;
        else
            UpdateRect = TRect{std::min(UpdateRect.Left, area.Left), std::min(UpdateRect.Top, area.Top),
                               std::max(UpdateRect.Right, area.Right), std::max(UpdateRect.Bottom, area.Bottom)};
    }
}

void TOrvInterfaceEngine::ShowModal(const std::string& formName) {
    if (IsOnModalStack(formName)) return;
    TOrvInterfaceObject* form = FindInterfaceObject(formName);
    if (form == nullptr) return;
    form->ResetInputState();
    form->SetVisible(true);
    ModalStack.push_back(form);
    form->Invalidate();
    Changed = true;
}

void TOrvInterfaceEngine::HideModal(const std::string& formName) {
    if (!IsOnModalStack(formName)) return;
    TRect hidden{};
    for (;;) {
        TOrvInterfaceObject* top = ModalStack.back();
        const TRect area = top->PaintRect();
        hidden = hidden == TRect{} ? area
                                   : TRect{std::min(hidden.Left, area.Left), std::min(hidden.Top, area.Top),
                                           std::max(hidden.Right, area.Right), std::max(hidden.Bottom, area.Bottom)};
        top->SetVisible(false);
        ModalStack.pop_back();
        if (top->Name() == formName) break;
    }
    if (TOrvInterfaceObject* top = TopModal())
        MarkForRedraw(*top, hidden);
    else
        UpdateRect = hidden;
    Changed = true;
}

void TOrvInterfaceEngine::HideTopModal() {
    if (TOrvInterfaceObject* top = TopModal()) HideModal(top->Name());
}

void TOrvInterfaceEngine::HideModalList() {
    if (!ModalStack.empty()) HideModal(ModalStack.front()->Name());
}

void TOrvInterfaceEngine::ChangeModal(const std::string& hideFormName, const std::string& showFormName) {
    if (!IsOnModalStack(hideFormName)) return;
    HideModal(hideFormName);
    ShowModal(showFormName);
    int32_t w = 0;
    int32_t h = 0;
    ScreenSize(w, h);
    UpdateRect = TRect{0, 0, w, h};
    if (TOrvInterfaceObject* top = TopModal()) top->Invalidate();
    Changed = true;
}

void TOrvInterfaceEngine::ChangeTopModal(const std::string& showFormName) {
    if (TOrvInterfaceObject* top = TopModal()) ChangeModal(top->Name(), showFormName);
}
