// The shell's side of the game engine's interface hooks: it owns the fonts,
// the interface engine and the handler table, loads the font and the
// interface file once at start-up, routes mouse and keys to the interface,
// reports the changed rectangles and draws the windows through the engine's
// drawing services, shows the loading window and the title, places hint
// balloons and describes the interface in the state dump.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/OrvFontEngine.h"
#include "game/Main.h"
#include "shell/Celebration.h"
#include "shell/ChapterShadow.h"
#include "shell/FlowBot.h"
#include "shell/HighScoreScreen.h"
#include "shell/LevelFlow.h"
#include "shell/LogoLinks.h"
#include "shell/ShellHandlers.h"
#include "shell/UpgradeWindow.h"
#include "ui/OrvInterfaceEngine.h"

class TFileFolder;
class TKeyStore;
class TShellLanguages;
class TClickHere;

class TShellInterface : public TGameInterface {
public:
    // The font of every text of the interface.
    static constexpr const char* kFontFile = "OrvUnicode.xml";
    // Further font documents, one archive entry name a line (optional).
    static constexpr const char* kFontList = "fonts.dat";
    static constexpr const char* kInterfaceFile = "Moswick.li";

    // Binds to the game engine (not owned; it owns this object).
    explicit TShellInterface(TOrvGameEngine& game);
    ~TShellInterface() override;

    // ---- Start-up ----
    // Loads the fonts and the interface file from the archive, logs "Orv Font
    // Loaded Ok..." and "Orv Interface Loaded Ok...", and applies the chosen
    // language. A missing font or interface file is logged and the game runs
    // without; a malformed one throws its OrvException (start-up fails).
    void LoadResources(TFileFolder& folder) override;
    // Has the fonts' and the loading window's pictures loaded first and shows
    // "WGameLoading" as soon as they are there.
    void ShowLoading() override;
    void LoadingProgress(int32_t percent) override;
    // Takes the pictures' sizes, shows "WTitle" ("WGame" when the run starts
    // straight into play) and then every form asked for with --form (an
    // unknown form ends the run with exit code 2).
    void ShowTitle() override;

    // ---- Input and frames ----
    void MouseMove(TShiftState shift, int32_t x, int32_t y) override;
    void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseWheel(TShiftState shift, int32_t delta, int32_t x, int32_t y) override;
    void KeyDown(int32_t key, TShiftState shift) override;
    void KeyPress(const std::string& text) override;
    void Update() override;
    void CollectChangedRects(TRects& dirty) override;
    void DrawForms() override;
    std::string TopWindowName() const override;
    bool ControlCentre(const std::string& name, int32_t& x, int32_t& y) const override;

    // ---- Game services ----
    void OpenGameMenu() override;
    void ResumeFromMenu() override;
    void ConfirmSaveGame() override;
    void ConfirmLoadGame() override;
    // Hints of play are shown unless the player turned them off.
    void ShowHint(const std::string& name, int32_t x, int32_t y) override;
    void RestoreQuickSaveCaption() override;
    void OptionsChanged() override;
    void SettingsNotSaved() override;
    void SetScore(uint32_t score) override;
    void HideHint(const std::string& name) override;
    // The windows play reaches: "WLevelComplete", "WGameOver", "WUpgrade".
    void ShowWindow(const std::string& name) override;
    void PostFormDraw(const std::string& formName) override;
    // Places a hint label beside the screen point with the balloon picture of
    // the point's quarter of the screen and shows it; nothing when the label
    // or its picture does not exist.
    void ShowHintBalloon(const std::string& name, int32_t x, int32_t y);
    void DumpState(TOrvXMLTag& root) const override;
    // The play screen's panel: the level ("3.2") and the charges labels.
    void SetLevel(int32_t scene, int32_t layer) override;
    void SetCharges(int32_t clears, int32_t resets) override;
    // The floating score in the score font ("OrvTitle", else the interface's
    // own); a text that would cross the clip is not drawn.
    void DrawEffectText(const std::string& text, int32_t x, int32_t y, uint8_t alpha, uint32_t colour,
                        const TRect& clip) override;

    TOrvInterfaceEngine& UI() { return ui_; }
    TOrvFontEngine& Fonts() { return fonts_; }
    TShellHandlers& Handlers() { return *handlers_; }
    TLevelFlow& Flow() { return *flow_; }
    THighScoreScreen& HighScores() { return *scores_; }
    TUpgradeWindow& Upgrade() { return *upgrade_; }
    TLogoLinks& Logos() { return *logos_; }
    TCelebration& Celebration() { return *celebration_; }
    // The languages (made at start-up; nullptr before LoadResources). The
    // options window confirms or reverts the language through it.
    TShellLanguages* Languages() { return languages_.get(); }
    // The language window's OK: takes the checked language, applies and
    // stores it, closes the window and redraws the whole screen.
    void ChooseLanguage();
    // Called after the language shown changed (the language window's OK),
    // for the screens to write again the texts they compose from others
    // (the between-levels caption and the like). May be empty.
    std::function<void()> LanguageChanged;

private:
    void LoadFonts(TFileFolder& folder);
    void LoadInterface(TFileFolder& folder);
    void ShowRequestedForms();
    void DrawLoadingFrame();
    void LoadLanguages();

    TOrvGameEngine& game_;
    TOrvFontEngine fonts_;
    TOrvInterfaceEngine ui_;
    std::unique_ptr<TShellHandlers> handlers_;
    std::unique_ptr<THighScoreScreen> scores_;
    std::unique_ptr<TLevelFlow> flow_;
    std::unique_ptr<TUpgradeWindow> upgrade_;
    std::unique_ptr<TFlowBot> bot_;
    std::unique_ptr<TLogoLinks> logos_;
    std::unique_ptr<TCelebration> celebration_;
    std::unique_ptr<TClickHere> clickHere_;
    std::unique_ptr<TChapterShadow> shadow_;
    std::unique_ptr<TKeyStore> keyStore_;
    std::unique_ptr<TShellLanguages> languages_;
    int32_t lastProgress_ = -1;
    bool languageWindowShown_ = false;
};
