// The options window: full screen or window, the colour depth in full
// screen, the hint switch and the two volumes. The sliders act at once; OK
// stores everything and applies a changed display mode or depth; Cancel
// goes back to the settings last confirmed, without running the sliders'
// change scripts. The controls follow the settings whenever they change
// elsewhere (Alt+Enter, the play screen's button).
#pragma once

#include "game/GameOptions.h"

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvMethodTable;

class TOptionsWindow {
public:
    // Binds the window's handlers in table (all three outlive this object).
    TOptionsWindow(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table);

    // Sets the controls from the engine's options (the sliders without their
    // change scripts) and takes them as the confirmed settings.
    void SyncControls();
    // The window's buttons and sliders (what the handlers call).
    void Confirm();
    void Cancel();
    void MusicVolumeChanged();
    void SoundVolumeChanged();

private:
    bool Checked(const char* name) const;
    void SetChecked(const char* name, bool value);
    void SetSliderQuietly(const char* name, int32_t position);
    int32_t SliderPosition(const char* name) const;

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    TGameOptions confirmed_;
};
