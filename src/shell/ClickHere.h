// The glints that point a first-time player at the title's new-game button:
// "ClickHereEffect.xml" runs over the button while the title is shown until
// a game is started once; the key store remembers that from then on.
#pragma once

#include <memory>
#include <string>

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvParticleEffect;
class TKeyStore;

class TClickHere {
public:
    static constexpr const char* kEffectFile = "ClickHereEffect.xml";
    static constexpr const char* kButton = "WTitle_BNewGame";
    // The value set in the game's key once a game was started.
    static constexpr const char* kStartedValue = "GameStarted";

    TClickHere(TOrvGameEngine& game, TOrvInterfaceEngine& ui);
    ~TClickHere();

    // Reads the effect from the archive and starts it when store has no game
    // started yet. Without the effect there are no glints (logged), never a
    // failed start.
    void Load(const TKeyStore& store);
    // A game was started: the glints stop for good (remembered in store; a
    // store that cannot be written only loses the memory of it).
    void GameStarted(TKeyStore& store);
    bool Running() const { return running_ != nullptr; }
    // Each frame: advances it and marks the button for redraw.
    void Update();
    // Draws it over the title window.
    void PostFormDraw(const std::string& formName);

private:
    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    std::unique_ptr<TOrvParticleEffect> running_;
};
