// The celebration of a restored scene: "SceneCompleteEffect.xml" played once
// at the middle of the play field when the scene's last layer is restored,
// on the frame clock (it goes on while the level-complete window waits for
// the player), drawn over the field and under the windows above the game.
#pragma once

#include <memory>
#include <string>

class TOrvGameEngine;
class TOrvParticleEffect;

class TCelebration {
public:
    static constexpr const char* kEffectFile = "SceneCompleteEffect.xml";

    explicit TCelebration(TOrvGameEngine& game);
    ~TCelebration();

    // Reads the effect from the archive; without it there is no celebration
    // (logged), never a failed start.
    void Load();
    // Starts it now (a running one starts again).
    void Start();
    bool Running() const { return running_ != nullptr; }
    // Each frame: advances it, marks the field for redraw, ends it when done.
    void Update();
    // Draws it after the play screen's window ("WGame").
    void PostFormDraw(const std::string& formName);
    // Ends it at once (leaving the level).
    void Stop();

private:
    TOrvGameEngine& game_;
    std::unique_ptr<TOrvParticleEffect> template_;
    std::unique_ptr<TOrvParticleEffect> running_;
};
