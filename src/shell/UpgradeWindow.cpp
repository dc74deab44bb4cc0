#include "shell/UpgradeWindow.h"

#include <algorithm>
#include <cmath>

#include "base/OrvRandom.h"
#include "base/SFunctions.h"
#include "game/Main.h"
#include "game/PlayRules.h"
#include "game/Skills.h"
#include "render/SurfEngine.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMethodTable.h"
#include "ui/OrvRichLabel.h"

const std::array<TSkillInfo, 9>& TUpgradeWindow::Skills() {
    // The maxima come from the skill tables, so the window never raises a
    // skill past what the tables (and a saved game) know.
    static const std::array<TSkillInfo, 9> skills{
        {{SkillMaxLevel(skDropSectionRenewal), 100, "SkillDropSection.png", 1},
         {SkillMaxLevel(skClockPause), 80, "sand_glass.png", 20},
         {SkillMaxLevel(skClockProbability), 60, "sand_glass.png", 20},
         {SkillMaxLevel(skSpiderProbability), 60, "pauk_20.png", 20},
         {SkillMaxLevel(skBigSpiderProbability), 40, "pauk_big.png", 20},
         {SkillMaxLevel(skRevercer), 60, "amulet.png", 40},
         {SkillMaxLevel(skChameleonRenewal), 60, "SkillHum.png", 1},
         {SkillMaxLevel(skChameleonPower), 60, "SkillHum.png", 1},
         {SkillMaxLevel(skEconomy), 60, "SkillEconomy.png", 30}}};
    return skills;
}

TUpgradeWindow::TUpgradeWindow(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table)
    : game_(game), ui_(ui) {
    table.Bind("WUpgrade_BOk_MouseUp", [this] { Accept(); });
    table.Bind("WUpgrade_BSkills_MouseUp", [this] { ShowSkills(); });
    table.Bind("WSkills_BClose_MouseUp", [this] { CloseSkills(); });
}

std::array<int32_t, 9> TUpgradeWindow::OfferWeights(const std::array<int32_t, 9>& levels) {
    std::array<int32_t, 9> weights{};
    for (size_t i = 0; i < weights.size(); ++i) weights[i] = levels[i] < Skills()[i].MaxLevel ? Skills()[i].Weight : 0;
    return weights;
}

std::pair<int32_t, int32_t> TUpgradeWindow::DrawOffers(const std::array<int32_t, 9>& levels, TOrvRandom& random) {
    const std::array<int32_t, 9> w = OfferWeights(levels);
    TIntegers weights(w.begin(), w.end());
    const auto anyLeft = [&] { return std::any_of(weights.begin(), weights.end(), [](int32_t v) { return v > 0; }); };
    if (!anyLeft()) return {-1, -1};
    const int32_t first = WeightedIndex(weights, random);
    weights[size_t(first)] = 0;
    const int32_t second = anyLeft() ? WeightedIndex(weights, random) : -1;
    return {first, second};
}

std::string TUpgradeWindow::NextText(int32_t skill, int32_t level, const std::string& levelWord) {
    if (skill == skChameleonPower)
        return "+" + std::to_string(level) + " (" + levelWord + " " + std::to_string(level + 1) + ")";
    return "+" + std::to_string(SkillTableValue(TSkill(skill), level + 1)) + "% (" + levelWord + " " +
           std::to_string(level + 2) + ")";
}

std::string TUpgradeWindow::CurrentText(int32_t skill, int32_t level, const std::string& levelWord) {
    if (skill == skChameleonPower)
        return "+" + std::to_string(level - 1) + " (" + levelWord + " " + std::to_string(level) + ")";
    return "+" + std::to_string(SkillTableValue(TSkill(skill), level)) + "% (" + levelWord + " " +
           std::to_string(level + 1) + ")";
}

TRect TUpgradeWindow::IconFrame(int32_t width, int32_t height, int32_t frames, uint32_t now) {
    if (frames <= 1) return {0, 0, width - 1, height - 1};
    const int32_t w = width / frames;
    const int32_t frame = static_cast<int32_t>((now / 70) % static_cast<uint32_t>(frames));
    // The last column of a frame is frame * w + w - 1: one more would read
    // the next frame's first column (or past the picture for the last).
    return {frame * w, 0, frame * w + w - 1, height - 1};
}

TPlayRules* TUpgradeWindow::Rules() const {
    return dynamic_cast<TPlayRules*>(game_.Rules.get());
}

std::string TUpgradeWindow::Caption(const std::string& name) const {
    if (ui_.FindInterfaceObject(name) == nullptr) return {};
    return ui_.GetProp(name, "Caption").ToString();
}

void TUpgradeWindow::SetCaption(const std::string& name, const std::string& text) {
    if (ui_.FindInterfaceObject(name) != nullptr) ui_.SetProp(name, "Caption", text);
}

void TUpgradeWindow::Open() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    TPlayLevel& level = rules->Level();
    const TLayer* layer = level.Layer();
    game_.FreezeGameTime();
    // The rules hand their state back to the engine after this call.
    game_.GameState = level.State = gsGameWindow;
    level.ArtefactWindowTime = -1;
    const std::string quest = layer ? layer->QuestName : std::string();
    if (ui_.FindInterfaceObject("WUpgrade_LArtefakt") != nullptr) {
        const std::string picture = "Quest" + quest + ".png";
        for (const char* prop : {"Picture", "MouseOverPicture", "MouseDownPicture"})
            ui_.SetProp("WUpgrade_LArtefakt", prop, picture);
    }
    int32_t bonus = 0;
    if (level.Mode != 1 && layer != nullptr) {
        bonus = kBonusPerFish * static_cast<int32_t>(layer->ExtraFishes.size());
        level.TotalScore += static_cast<uint32_t>(bonus);
        SetCaption("WGame_LScoreCount", std::to_string(level.TotalScore));
    }
    SetCaption("WUpgrade_LQuestScore", "+" + std::to_string(bonus));

    // The weights follow the levels of this game, whatever earlier games
    // of the run reached.
    const std::array<int32_t, 9> weights = OfferWeights(level.Skills.Levels);
    std::copy(weights.begin(), weights.end(), game_.SkillOfferWeights.begin());
    std::tie(Offer1, Offer2) = DrawOffers(level.Skills.Levels, game_.Random);
    ComposeTexts();
    const auto show = [&](const char* name, bool visible) {
        if (ui_.FindInterfaceObject(name) != nullptr) ui_.SetProp(name, "Visible", visible ? "true" : "false");
    };
    show("WUpgrade_RBCursorSkill1", Offer1 >= 0);
    show("WUpgrade_LSkillBack1", Offer1 >= 0);
    show("WUpgrade_RBCursorSkill2", Offer2 >= 0);
    show("WUpgrade_LSkillBack2", Offer2 >= 0);
    if (ui_.FindInterfaceObject("WUpgrade_RBCursorSkill1") != nullptr)
        ui_.SetProp("WUpgrade_RBCursorSkill1", "Checked", "true");
    ui_.ShowModal("WUpgrade");
    game_.RedrawAll();
}

void TUpgradeWindow::ComposeTexts() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    const TPlayLevel& level = rules->Level();
    const TLayer* layer = level.Layer();
    const std::string quest = layer ? layer->QuestName : std::string();
    SetCaption("WUpgrade_LArtefaktName", Caption("WResource_LQuest" + quest));
    const std::string word = Caption("WResource_LLevel");
    const auto offerText = [&](int32_t skill) {
        if (skill < 0) return std::string();
        const std::string name = "WResource_LSkill" + std::to_string(skill + 1) + "_Label";
        return Caption(name) + " " + NextText(skill, level.Skills.Levels[size_t(skill)], word);
    };
    SetCaption("WUpgrade_LSkill1", offerText(Offer1));
    SetCaption("WUpgrade_LSkill2", offerText(Offer2));
    if (ui_.IsOnModalStack("WSkills")) ShowSkills();
}

void TUpgradeWindow::Accept() {
    ui_.HideModal("WUpgrade");
    game_.GameState = gsPlaying;
    game_.RedrawAll();
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    bool first = true;
    if (const auto* box = ui_.FindObjectAs<TOrvBoxLabel>("WUpgrade_RBCursorSkill1")) first = box->Checked;
    const int32_t chosen = first || Offer2 < 0 ? Offer1 : Offer2;
    if (chosen < 0) return;
    TPlayLevel& level = rules->Level();
    int32_t& lvl = level.Skills.Levels[size_t(chosen)];
    lvl = std::min(lvl + 1, Skills()[size_t(chosen)].MaxLevel);
    if (lvl >= Skills()[size_t(chosen)].MaxLevel) game_.SkillOfferWeights[size_t(chosen)] = 0;
    level.ComputeBonusWeights();
    Offer1 = Offer2 = -1;
}

void TUpgradeWindow::ShowSkills() {
    TPlayRules* rules = Rules();
    if (rules == nullptr || ui_.FindInterfaceObject("WResource_LLevel") == nullptr) return;
    const std::string word = Caption("WResource_LLevel");
    for (int32_t n = 1; n <= 9; ++n)
        SetCaption("WSkills_LSkill" + std::to_string(n) + "_Label",
                   CurrentText(n - 1, rules->Level().Skills.Levels[size_t(n - 1)], word));
}

void TUpgradeWindow::CloseSkills() {
    ui_.HideModal("WSkills");
    const TOrvInterfaceObject* top = ui_.TopModal();
    if (top != nullptr && top->Name() == "WGame") ui_.ShowModal("WUpgrade");
}

TRect TUpgradeWindow::IconRect(int32_t slot, int32_t skill, TRect* source) const {
    const TSkillInfo& info = Skills()[size_t(skill)];
    const TOrvInterfaceObject* back =
        ui_.FindInterfaceObject(slot == 1 ? "WUpgrade_LSkillBack1" : "WUpgrade_LSkillBack2");
    if (back == nullptr || game_.SurfEngine == nullptr) return {};
    int32_t width = 0;
    int32_t height = 0;
    game_.SurfEngine->GetPictureSize(info.Icon, width, height);
    if (width <= 0 || height <= 0) return {};
    const TRect frame = IconFrame(width, height, info.Frames, game_.NowTime);
    if (source) *source = frame;
    const int32_t fw = frame.Right - frame.Left + 1;
    // The icon is centred on the middle of its slot, moved by the skill's
    // offset from the game parameters.
    const int32_t cx = back->AbsLeft + back->Width / 2 + game_.Params.SkillIconX[size_t(skill)];
    const int32_t cy = back->AbsTop + back->Height / 2 + game_.Params.SkillIconY[size_t(skill)];
    const int32_t x = cx - fw / 2;
    const int32_t y = cy - height / 2;
    return {x, y, x + fw - 1, y + height - 1};
}

void TUpgradeWindow::PostFormDraw(const std::string& formName) {
    if (formName != "WUpgrade" || game_.SurfEngine == nullptr) return;
    const double pulse = 192.0 + 63.0 * std::sin(M_PI * game_.NowTime / 1200.0);
    const uint8_t alpha = static_cast<uint8_t>(static_cast<int32_t>(std::lround(pulse)) & 0xFF);
    int32_t slot = 1;
    for (int32_t skill : {Offer1, Offer2}) {
        if (skill >= 0) {
            TRect source;
            const TRect r = IconRect(slot, skill, &source);
            if (r.Right > r.Left)
                game_.SurfEngine->DrawWithAlphaChannel(Skills()[size_t(skill)].Icon, "MemoryBufer", r.Left, r.Top,
                                                       alpha, &source, 0, 0);
        }
        ++slot;
    }
}

void TUpgradeWindow::Update() {
    UpdateHints();
    if (!ui_.IsOnModalStack("WUpgrade") || ui_.TopModal() == nullptr || ui_.TopModal()->Name() != "WUpgrade") return;
    int32_t slot = 1;
    for (int32_t skill : {Offer1, Offer2}) {
        if (skill >= 0) {
            const TRect r = IconRect(slot, skill, nullptr);
            if (r.Right > r.Left) game_.DirtyRects.push_back(r);
        }
        ++slot;
    }
}

// ---------------------------------------------------------------------------
// Hover hints

bool TUpgradeWindow::MouseOn(const std::string& control) const {
    const TOrvInterfaceObject* obj = ui_.FindInterfaceObject(control);
    if (obj == nullptr || !ui_.IsShown(*obj)) return false;
    return game_.MouseX >= obj->AbsLeft && game_.MouseX < obj->AbsLeft + obj->Width && game_.MouseY >= obj->AbsTop &&
           game_.MouseY < obj->AbsTop + obj->Height;
}

void TUpgradeWindow::HintAt(const std::string& hint, bool wanted, const std::string& anchor, bool aboveRight) {
    auto* h = ui_.FindObjectAs<TOrvHint>(hint);
    if (h == nullptr) return;
    if (!wanted) {
        if (h->Visible) h->SetVisible(false);
        return;
    }
    const TOrvInterfaceObject* a = ui_.FindInterfaceObject(anchor);
    if (a == nullptr) return;
    if (!h->Visible) {
        const bool rested = game_.GetTickCount() - game_.LastMouseMoveTime > kHintRestMs;
        const bool shownThisRest = hint == lastHint_ && lastHintRest_ == game_.LastMouseMoveTime;
        if (!rested || shownThisRest || game_.Options.TurnOffHint != 0) return;
    }
    // Placed every frame it shows: its height follows its text once laid
    // out. Both the hint and its anchor sit in the same window.
    int32_t left = a->Left;
    int32_t top = a->Top - h->Height;
    if (aboveRight) {
        left = a->Left + a->Width - h->Width;
    } else {
        if (top < 0) top = a->Top + a->Height;
        // A hint of the right-hand column stays inside its window rather
        // than running over the play panel beside it.
        if (const TOrvInterfaceObject* form = ui_.TopModal())
            left = std::max(0, std::min(left, form->Width - h->Width - 2 * TOrvHint::kMarginX));
    }
    if (left != h->Left) h->SetLeft(left);
    if (top != h->Top) h->SetTop(top);
    if (!h->Visible) {
        h->SetVisible(true);
        lastHint_ = hint;
        lastHintRest_ = game_.LastMouseMoveTime;
    }
}

void TUpgradeWindow::UpdateHints() {
    const TOrvInterfaceObject* top = ui_.TopModal();
    const std::string form = top ? top->Name() : std::string();
    // A skill's hint in the upgrade window belongs to the offer it sits on.
    std::array<std::string, 9> offerButton;
    if (Offer1 >= 0) offerButton[size_t(Offer1)] = "WUpgrade_RBCursorSkill1";
    if (Offer2 >= 0) offerButton[size_t(Offer2)] = "WUpgrade_RBCursorSkill2";
    for (size_t i = 0; i < 9; ++i) {
        const std::string n = std::to_string(i + 1);
        const std::string& button = offerButton[i];
        HintAt("WUpgrade_HSkill" + n, form == "WUpgrade" && !button.empty() && MouseOn(button), button, true);
        const std::string area = "WSkills_MSkill" + n;
        HintAt("WSkills_HSkill" + n, form == "WSkills" && MouseOn(area), area, false);
    }
}
