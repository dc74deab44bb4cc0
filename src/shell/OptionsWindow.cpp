#include "shell/OptionsWindow.h"

#include <algorithm>

#include "game/Main.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMethodTable.h"
#include "ui/OrvSlider.h"

TOptionsWindow::TOptionsWindow(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table)
    : game_(game), ui_(ui) {
    table.Bind("WOptions_BOk_MouseUp", [this] { Confirm(); });
    table.Bind("WOptions_BCancel_MouseUp", [this] { Cancel(); });
    table.Bind("WOptions_SMusicVolume_Change", [this] { MusicVolumeChanged(); });
    table.Bind("WOptions_SSoundVolume_Change", [this] { SoundVolumeChanged(); });
}

bool TOptionsWindow::Checked(const char* name) const {
    const auto* box = ui_.FindObjectAs<TOrvCheckBox>(name);
    return box != nullptr && box->Checked;
}

void TOptionsWindow::SetChecked(const char* name, bool value) {
    if (auto* box = ui_.FindObjectAs<TOrvCheckBox>(name)) box->SetChecked(value);
}

void TOptionsWindow::SetSliderQuietly(const char* name, int32_t position) {
    auto* slider = ui_.FindObjectAs<TOrvSlider>(name);
    if (!slider) return;
    // Setting the position queues the slider's change script; with it
    // empty for the moment nothing runs, so Cancel never re-applies what it
    // restores.
    const std::string script = slider->OnChange;
    slider->OnChange.clear();
    slider->SetPosition(position);
    slider->OnChange = script;
}

int32_t TOptionsWindow::SliderPosition(const char* name) const {
    const auto* slider = ui_.FindObjectAs<TOrvSlider>(name);
    return slider ? std::clamp(slider->Position, 0, 100) : 0;
}

void TOptionsWindow::SyncControls() {
    const TGameOptions& o = game_.Options;
    const bool full = o.FullScreenMode == 1;
    SetChecked("WOptions_CBFullScreen", full);
    if (auto* depth = ui_.FindObjectAs<TOrvCheckBox>("WOptions_CB32bitColor")) {
        depth->SetVisible(full);
        if (full) depth->SetChecked(o.BitsPerPixel == 32);
    }
    SetChecked("WOptions_CBTurnOffHints", o.TurnOffHint != 0);
    SetSliderQuietly("WOptions_SMusicVolume", o.MusicVolume);
    SetSliderQuietly("WOptions_SSoundVolume", o.SoundVolume);
    confirmed_ = o;
}

void TOptionsWindow::MusicVolumeChanged() {
    game_.Options.MusicVolume = SliderPosition("WOptions_SMusicVolume");
    game_.Audio.SetMusicVolume(game_.Options.MusicVolume);
}

void TOptionsWindow::SoundVolumeChanged() {
    game_.Options.SoundVolume = SliderPosition("WOptions_SSoundVolume");
    game_.Audio.SetSoundVolume(game_.Options.SoundVolume);
}

void TOptionsWindow::Confirm() {
    TGameOptions& o = game_.Options;
    // The hint switch is the player's to set, so it is read back here.
    o.TurnOffHint = Checked("WOptions_CBTurnOffHints") ? 1 : 0;
    game_.StoreOptions();
    const bool wantFull = Checked("WOptions_CBFullScreen");
    bool depthChanged = false;
    if (o.FullScreenMode == 1) {
        const int32_t bpp = Checked("WOptions_CB32bitColor") ? 32 : 16;
        if (bpp != o.BitsPerPixel) {
            o.BitsPerPixel = bpp;
            game_.StoreOptions();
            depthChanged = true;
        }
    }
    if (wantFull != (o.FullScreenMode == 1))
        game_.ChangewindowMode();
    else if (depthChanged)
        game_.RebuildDisplay();
    SyncControls();
}

void TOptionsWindow::Cancel() {
    TGameOptions& o = game_.Options;
    // Only what this window edits goes back; the display mode may have been
    // switched meanwhile with Alt+Enter and stays.
    o.MusicVolume = confirmed_.MusicVolume;
    o.SoundVolume = confirmed_.SoundVolume;
    o.TurnOffHint = confirmed_.TurnOffHint;
    o.BitsPerPixel = confirmed_.BitsPerPixel;
    game_.Audio.SetMusicVolume(o.MusicVolume);
    game_.Audio.SetSoundVolume(o.SoundVolume);
    SyncControls();
}
