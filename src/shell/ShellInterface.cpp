#include "shell/ShellInterface.h"

#include <cstdio>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "base/OrvUnicode.h"
#include "platform/KeyStore.h"
#include "platform/Platform.h"
#include "render/ResourceList.h"
#include "shell/ClickHere.h"
#include "shell/OptionsWindow.h"
#include "shell/SaveScreens.h"
#include "shell/ShellLanguages.h"
#include "ui/OrvEdit.h"
#include "ui/OrvForm.h"
#include "ui/OrvGrid.h"
#include "ui/OrvLabel.h"
#include "ui/OrvProgressBar.h"
#include "ui/OrvRichLabel.h"
#include "ui/OrvSlider.h"

namespace {

// Every picture name of an object and, for a form, of everything inside it.
void CollectPictures(const TOrvInterfaceObject& obj, std::vector<std::string>& out) {
    const std::string names = obj.GetPictureNames();
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find("\r\n", start);
        if (end == std::string::npos) end = names.size();
        if (end > start) out.push_back(names.substr(start, end - start));
        start = end + 2;
    }
    if (const auto* form = dynamic_cast<const TOrvForm*>(&obj))
        for (const TOrvInterfaceObject* child : form->Children) CollectPictures(*child, out);
}

// The text a control shows, for the state dump.
std::string ShownText(const TOrvInterfaceObject& obj) {
    if (const auto* label = dynamic_cast<const TOrvLabel*>(&obj)) return label->GetCaption();
    if (const auto* edit = dynamic_cast<const TOrvEdit*>(&obj)) return edit->GetCaption();
    return {};
}

}  // namespace

TShellInterface::TShellInterface(TOrvGameEngine& game) : game_(game) {
    RegisterFontClasses(TOrvClassReg::Instance());
    RegisterInterfaceClasses(TOrvClassReg::Instance());
    handlers_ = std::make_unique<TShellHandlers>(game_, ui_);
    scores_ = std::make_unique<THighScoreScreen>(game_, ui_, handlers_->Table());
    celebration_ = std::make_unique<TCelebration>(game_);
    shadow_ = std::make_unique<TChapterShadow>(game_, ui_);
    flow_ = std::make_unique<TLevelFlow>(game_, ui_, handlers_->Table(), *scores_, *celebration_, *shadow_);
    upgrade_ = std::make_unique<TUpgradeWindow>(game_, ui_, handlers_->Table());
    // Texts composed from other texts (the between-levels caption, chapter
    // and level texts, the upgrade and skills windows) are written again in
    // the new language.
    LanguageChanged = [this] {
        if (ui_.IsOnModalStack("WBetweenLevel")) flow_->PrepareBetweenLevels();
        if (ui_.IsOnModalStack("WUpgrade") || ui_.IsOnModalStack("WSkills")) upgrade_->ComposeTexts();
    };
    logos_ = std::make_unique<TLogoLinks>(game_, ui_, handlers_->Table());
    fonts_.Graphic = &game_;
    game_.SetGlyphSource(fonts_.CharsRects.data(), fonts_.CharsRects.size());
    ui_.Graphic = &game_;
    ui_.Fonts = &fonts_;
    ui_.Owner = &handlers_->Table();
    ui_.Clock = [this] { return game_.GetTickCount(); };
    ui_.GetClipboardText = [] { return Platform::GetClipboardText(); };
    ui_.SetClipboardText = [](const std::string& text) { Platform::SetClipboardText(text); };
    handlers_->Table().Bind("WLanguage_BOk_MouseUp", [this] { ChooseLanguage(); });
    clickHere_ = std::make_unique<TClickHere>(game_, ui_);
    // The new-game button both starts the game and ends the glints on it.
    handlers_->Table().Bind("WTitle_BNewGame_MouseUp", [this] {
        if (keyStore_) clickHere_->GameStarted(*keyStore_);
        flow_->NewGame();
    });
}

TShellInterface::~TShellInterface() {
    game_.SetGlyphSource(nullptr, 0);
}

// ---------------------------------------------------------------------------
// Start-up

void TShellInterface::LoadResources(TFileFolder& folder) {
    LoadFonts(folder);
    LoadInterface(folder);
    LoadLanguages();
}

void TShellInterface::LoadLanguages() {
    keyStore_ = std::make_unique<TKeyStore>();
    languages_ = std::make_unique<TShellLanguages>(game_.ExeDir + "lng/");
    languages_->Log = [this](const std::string& text) { game_.Log(text); };
    languages_->ReadChoice(*keyStore_);
    languages_->BuildLanguageList(ui_);
    languages_->ApplyLanguage(ui_, *keyStore_);
    languages_->Confirm();
    handlers_->Options().KeepLanguage = [this] { languages_->Confirm(); };
    handlers_->Options().RevertLanguage = [this] {
        if (languages_->RevertToConfirmed(ui_, *keyStore_) && LanguageChanged) LanguageChanged();
    };
}

void TShellInterface::ChooseLanguage() {
    if (languages_ && languages_->ChooseSelected(ui_, *keyStore_)) {
        // Only a choice made from the options window waits for its OK or
        // Cancel; one made from the title is the player's at once, so a
        // later Cancel in the options does not take it back.
        if (!ui_.IsOnModalStack("WOptions")) languages_->Confirm();
        if (LanguageChanged) LanguageChanged();
    }
    if (ui_.IsOnModalStack(TShellLanguages::kWindow)) ui_.HideModal(TShellLanguages::kWindow);
    game_.RedrawAll();
    game_.FormPaint();
    game_.RedrawAll();
}

void TShellInterface::LoadFonts(TFileFolder& folder) {
    TMemoryStream* stream = folder.IndexOf(kFontFile) >= 0 ? folder.Stream(kFontFile) : nullptr;
    if (stream == nullptr) {
        game_.Log(std::string("Orv Font not found: ") + kFontFile);
        return;
    }
    WhileReading(kFontFile, [&] { fonts_.LoadFonts(*stream); });
    if (TMemoryStream* list = folder.IndexOf(kFontList) >= 0 ? folder.Stream(kFontList) : nullptr) {
        const std::string text = list->AsString();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string name = TrimBlanks(std::string_view(text).substr(start, end - start));
            start = end + 1;
            if (name.empty() || name == kFontFile) continue;
            TMemoryStream* font = folder.IndexOf(name) >= 0 ? folder.Stream(name) : nullptr;
            if (font == nullptr) throw OrvException("[TShellInterface.LoadFonts] Can not find font " + name + "!");
            WhileReading(name, [&] { fonts_.LoadFonts(*font); });
        }
    }
    game_.Log("Orv Font Loaded Ok...");
}

void TShellInterface::LoadInterface(TFileFolder& folder) {
    TMemoryStream* stream = folder.IndexOf(kInterfaceFile) >= 0 ? folder.Stream(kInterfaceFile) : nullptr;
    if (stream == nullptr) {
        game_.Log(std::string("Orv Interface not found: ") + kInterfaceFile);
        return;
    }
    WhileReading(kInterfaceFile, [&] { ui_.LoadInterface(*stream); });
    game_.Log("Orv Interface Loaded Ok...");
}

void TShellInterface::ShowLoading() {
    if (!game_.ResourceList) return;
    std::vector<std::string> first;
    for (const auto& obj : fonts_.Objects)
        if (const auto* font = dynamic_cast<const TOrvFont*>(obj.get()); font && !font->Picture.empty())
            first.push_back(font->Picture);
    if (const TOrvInterfaceObject* loading = ui_.FindInterfaceObject("WGameLoading")) CollectPictures(*loading, first);
    game_.ResourceList->PreloadPictures = first;
    game_.ResourceList->AfterPreload = [this] {
        ui_.RefreshLayout();
        if (ui_.FindInterfaceObject("WGameLoading") == nullptr) return;
        ui_.ShowModal("WGameLoading");
        DrawLoadingFrame();
    };
}

void TShellInterface::DrawLoadingFrame() {
    game_.RedrawAll();
    game_.FormPaint();
}

void TShellInterface::LoadingProgress(int32_t percent) {
    if (percent == lastProgress_ || !ui_.IsOnModalStack("WGameLoading")) return;
    lastProgress_ = percent;
    ui_.SetProp("WGameLoading_PBGameLoading", "Position", std::to_string(percent));
    DrawLoadingFrame();
}

void TShellInterface::ShowTitle() {
    if (game_.ResourceList) {
        game_.ResourceList->PreloadPictures.clear();
        game_.ResourceList->AfterPreload = nullptr;
    }
    scores_->Load();
    logos_->Load();
    celebration_->Load();
    if (keyStore_) clickHere_->Load(*keyStore_);
    // The pictures are in now: every object takes their sizes.
    ui_.RefreshLayout();
    ui_.HideModalList();
    // A run that starts straight into play shows the play screen instead.
    ui_.ShowModal(game_.RunOptions().StartScene > 0 ? "WGame" : "WTitle");
    if (ui_.FindObjectAs<TOrvLabel>("WGameLoading_LLoading") != nullptr)
        ui_.SetProp("WLoadLevel_LLoadLevelText", "Caption", ui_.GetProp("WGameLoading_LLoading", "Caption").ToString());
    handlers_->Options().SyncControls();
    ShowRequestedForms();
    // --load: as the load window would, over the title.
    if (!game_.RunOptions().LoadName.empty()) handlers_->Saves().LoadByName(game_.RunOptions().LoadName);
    // The bot plays the whole game from the title; a direct start leaves
    // the windows to the rules.
    const TRunOptions& run = game_.RunOptions();
    if (run.Autoplay && run.StartScene <= 0) {
        std::unique_ptr<TMischief> mischief;
        // Its own stream, apart from the game's random source, so the same
        // seed draws the same chances of play with or without it.
        const uint64_t seed = (run.HasSeed ? run.Seed : game_.GetTickCount()) ^ 0x6D69736368696566ull;
        if (run.MischiefGapMs > 0) mischief = std::make_unique<TMischief>(game_, *this, seed, run.MischiefGapMs);
        bot_ = std::make_unique<TFlowBot>(game_, run.AutoplayGames, std::move(mischief));
    }
    game_.RedrawAll();
}

void TShellInterface::ShowRequestedForms() {
    for (const std::string& name : game_.RunOptions().Forms) {
        if (ui_.FindInterfaceObject(name) == nullptr) {
            std::fprintf(stderr, "moswick: --form: the interface has no form named \"%s\"\n", name.c_str());
            game_.Log("--form: the interface has no form named \"" + name + "\"");
            game_.Terminate(2);
            return;
        }
        ui_.ShowModal(name);
    }
}

// ---------------------------------------------------------------------------
// Input and frames

void TShellInterface::MouseMove(TShiftState shift, int32_t x, int32_t y) {
    ui_.MouseMove(shift, x, y);
}

void TShellInterface::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    ui_.MouseDown(button, shift, x, y);
}

void TShellInterface::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    ui_.MouseUp(button, shift, x, y);
}

void TShellInterface::MouseWheel(TShiftState shift, int32_t delta, int32_t x, int32_t y) {
    bool handled = false;
    ui_.MouseWheel(shift, delta, TPoint{x, y}, handled);
}

void TShellInterface::KeyDown(int32_t key, TShiftState shift) {
    ui_.KeyDown(key, shift);
}

void TShellInterface::KeyPress(const std::string& text) {
    for (char16_t c : Utf8ToUtf16(text)) ui_.KeyPress(c);
}

void TShellInterface::Update() {
    // The language window opens with the language shown checked, whatever
    // was clicked before it was last cancelled.
    const bool languageWindow = ui_.IsOnModalStack(TShellLanguages::kWindow);
    if (languageWindow && !languageWindowShown_ && languages_)
        ui_.SetProp(TShellLanguages::kButtonPrefix + languages_->Code(), "Checked", "true");
    languageWindowShown_ = languageWindow;
    ui_.TickTopModal();
    upgrade_->Update();
    celebration_->Update();
    clickHere_->Update();
    flow_->WatchBetweenLevels();
    flow_->UpdateCounters();
    shadow_->Update();
    if (bot_) bot_->Act();
}

void TShellInterface::CollectChangedRects(TRects& dirty) {
    ui_.CollectDirtyRects(dirty);
}

void TShellInterface::DrawForms() {
    // A frame that copies nothing to the screen need not compose the
    // windows: the buffer keeps the last composition, and the next frame
    // that copies anything draws them all again first.
    if (game_.RedrawRects.empty() && game_.ExtraRects.empty()) {
        ui_.ClearRedrawMarks();
        return;
    }
    ui_.DrawModal();
}

std::string TShellInterface::TopWindowName() const {
    const TOrvInterfaceObject* top = ui_.TopModal();
    return top ? top->Name() : std::string();
}

bool TShellInterface::ControlCentre(const std::string& name, int32_t& x, int32_t& y) const {
    const TOrvInterfaceObject* obj = ui_.FindInterfaceObject(name);
    if (obj == nullptr || !ui_.IsShown(*obj)) return false;
    x = obj->AbsLeft + obj->Width / 2;
    y = obj->AbsTop + obj->Height / 2;
    return true;
}

// ---------------------------------------------------------------------------
// Game services

void TShellInterface::OpenGameMenu() {
    handlers_->OpenGameWindow();
    ui_.ShowModal("WGameMenu");
}

void TShellInterface::ResumeFromMenu() {
    handlers_->ResumePlay();
    ui_.HideTopModal();
}

void TShellInterface::ShowHint(const std::string& name, int32_t x, int32_t y) {
    if (game_.Options.TurnOffHint != 0) return;
    ShowHintBalloon(name, x, y);
}

void TShellInterface::RestoreQuickSaveCaption() {
    handlers_->Saves().RestoreQuickSaveCaption();
}

void TShellInterface::OptionsChanged() {
    handlers_->Options().SyncControls();
}

void TShellInterface::SettingsNotSaved() {
    handlers_->Saves().TellPlayer("WResource_LSettingsFailed", "");
}

void TShellInterface::SetScore(uint32_t score) {
    if (ui_.FindObjectAs<TOrvLabel>("WGame_LScoreCount") != nullptr)
        ui_.SetProp("WGame_LScoreCount", "Caption", std::to_string(score));
}

void TShellInterface::ConfirmSaveGame() {
    // As the button's script: the window closes first, so a question
    // (replace?) or a message comes up over what lies beneath.
    ui_.HideModal("WSaveGame");
    handlers_->Table().Call("WSaveGame_BSave_MouseUp");
}

void TShellInterface::ConfirmLoadGame() {
    ui_.HideModal("WLoadGame");
    handlers_->Table().Call("WLoadGame_BLoad_MouseUp");
}

void TShellInterface::HideHint(const std::string& name) {
    if (ui_.FindInterfaceObject(name) != nullptr) ui_.SetProp(name, "Visible", "false");
}

void TShellInterface::ShowWindow(const std::string& name) {
    if (ui_.FindInterfaceObject(name) == nullptr) {
        game_.Log("The interface has no window " + name);
        return;
    }
    if (name == "WUpgrade")
        upgrade_->Open();
    else
        flow_->ShowPlayWindow(name);
}

void TShellInterface::PostFormDraw(const std::string& formName) {
    celebration_->PostFormDraw(formName);
    clickHere_->PostFormDraw(formName);
    shadow_->PostFormDraw(formName);
    upgrade_->PostFormDraw(formName);
}

void TShellInterface::SetLevel(int32_t scene, int32_t layer) {
    ui_.SetProp("WGame_LLevelCount", "Caption", std::to_string(scene) + "." + std::to_string(layer + 1));
}

void TShellInterface::SetCharges(int32_t clears, int32_t resets) {
    ui_.SetProp("WGame_LShiftCount", "Caption", std::to_string(clears));
    ui_.SetProp("WGame_LShuffleCount", "Caption", std::to_string(resets));
}

void TShellInterface::DrawEffectText(const std::string& text, int32_t x, int32_t y, uint8_t alpha, uint32_t colour,
                                     const TRect& clip) {
    const TOrvFont* font = fonts_.FindFont("OrvTitle");
    if (!font) font = fonts_.FindFont("OrvUnicode");
    if (!font || text.empty()) return;
    const std::u16string wide = Utf8ToUtf16(text);
    const int32_t left = x - font->TextWidth(wide) / 2;
    const int32_t top = y - font->Height / 2;
    // Glyphs are not cut, so a text that would leave the play field near
    // its edge is left out rather than drawn over the frame.
    if (left < clip.Left || top < clip.Top || left + font->TextWidth(wide) > clip.Right + 1 ||
        top + font->Height > clip.Bottom + 1)
        return;
    font->DrawText(left, top, wide, alpha, colour);
}

void TShellInterface::ShowHintBalloon(const std::string& name, int32_t x, int32_t y) {
    struct TBalloon {
        const char* Picture;
        int32_t AnchorX;
        int32_t AnchorY;
        int32_t TextShiftTop;
    };
    static constexpr TBalloon kBalloons[4] = {{"HintWindowRight.png", 174, 122, 20},
                                              {"HintWindowLeft.png", 88, 122, 20},
                                              {"HintWindowRightTop.png", 174, 4, 64},
                                              {"HintWindowLeftTop.png", 88, 4, 64}};
    auto* hint = ui_.FindObjectAs<TOrvHint>(name);
    if (hint == nullptr) return;
    const TBalloon& b = kBalloons[(y >= 300 ? 0 : 2) + (x >= 350 ? 0 : 1)];
    int32_t w = 0;
    int32_t h = 0;
    game_.GetPictureSize(w, h, b.Picture);
    if (w <= 0 || h <= 0) return;
    const TOrvInterfaceObject* top = ui_.TopModal();
    const int32_t formLeft = top ? top->AbsLeft : 0;
    const int32_t formTop = top ? top->AbsTop : 0;
    hint->SetPicture(b.Picture);
    hint->SetTextShiftTop(b.TextShiftTop);
    hint->SetLeft(x - b.AnchorX - formLeft);
    hint->SetTop(y - b.AnchorY - formTop);
    hint->SetVisible(true);
}

void TShellInterface::DumpState(TOrvXMLTag& root) const {
    if (bot_) bot_->DumpState(root);
    TOrvXMLTag* tag = root.AddTag("Interface");
    tag->AddAttribute("TopWindow", TopWindowName());
    tag->AddAttribute("Language", languages_ ? languages_->Code() : std::string());
    tag->AddAttribute("ClickHere", clickHere_->Running() ? "true" : "false");
    std::string steps;
    for (int32_t p : flow_->LoadingSteps()) steps += (steps.empty() ? "" : ",") + std::to_string(p);
    tag->AddTag("LastLoading")->AddAttribute("Positions", steps);
    TOrvXMLTag* stack = tag->AddTag("ModalStack");
    for (const TOrvInterfaceObject* form : ui_.ModalStack) stack->AddTag("Form")->AddAttribute("Name", form->Name());
    TOrvXMLTag* controls = tag->AddTag("Controls");
    for (const auto& obj : ui_.Objects) {
        const auto* ui = dynamic_cast<const TOrvInterfaceObject*>(obj.get());
        if (ui == nullptr || !ui_.IsShown(*ui)) continue;
        TOrvXMLTag* c = controls->AddTag("Control", ShownText(*ui));
        c->AddAttribute("Name", ui->Name());
        c->AddAttribute("Class", ui->ClassName());
        c->AddAttribute("Left", std::to_string(ui->AbsLeft));
        c->AddAttribute("Top", std::to_string(ui->AbsTop));
        c->AddAttribute("Width", std::to_string(ui->Width));
        c->AddAttribute("Height", std::to_string(ui->Height));
        if (const auto* box = dynamic_cast<const TOrvBoxLabel*>(ui))
            c->AddAttribute("Checked", box->Checked ? "true" : "false");
        if (const auto* slider = dynamic_cast<const TOrvSlider*>(ui))
            c->AddAttribute("Position", std::to_string(slider->Position));
        if (const auto* bar = dynamic_cast<const TOrvProgressBar*>(ui))
            c->AddAttribute("Position", std::to_string(bar->Position));
        if (const auto* grid = dynamic_cast<const TOrvGrid*>(ui)) {
            c->AddAttribute("Position", std::to_string(grid->Position));
            for (int32_t r = 0; r < grid->RowCount; ++r) {
                std::string row;
                for (size_t col = 0; col < grid->Columns.size(); ++col) {
                    const size_t i = static_cast<size_t>(r) * grid->Columns.size() + col;
                    if (col > 0) row += " | ";
                    if (i < grid->CellList.size()) row += Utf16ToUtf8(grid->CellList[i].Text);
                }
                c->AddTag("Row", row);
            }
        }
        if (const auto* f = dynamic_cast<const TOrvFocusedObject*>(ui); f && f->Focused)
            c->AddAttribute("Focused", "true");
    }
}
