// The game around play: a new game in one of three modes, the between-levels
// window (tabs, chapter page, caption, economy), the next level or the next
// scene, the level-complete and game-over windows, restarting a lost level,
// leaving for the title, the end of the game with its high-score entry, and
// the music that goes with each step. It binds those handlers of the table
// and reaches play through the rules' public calls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvMethodTable;
class TPlayRules;
class THighScoreScreen;
class TCelebration;
class TChapterShadow;

class TLevelFlow {
public:
    static constexpr const char* kBetweenLevelsMusic = "vibe-hah.mo3";

    // Binds its handlers in table (all three outlive this object).
    TLevelFlow(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table, THighScoreScreen& scores,
               TCelebration& celebration, TChapterShadow& shadow);

    // Set when the current scene's last layer is restored and the next click
    // on the between-levels window loads the next scene.
    bool SceneDone = false;

    // New game: score and skills reset, normal mode, scene 1 loaded, the
    // between-levels window shown. A scene that cannot be loaded leaves the
    // title screen as it was (logged); returns whether the game started.
    bool NewGame();
    // Sets the mode (1 no-lose, 2 normal, 3 hard) with its economy level and
    // prepares the window again, so the economy labels follow at once.
    void ChooseMode(int32_t mode);
    // Fills the between-levels window from the game's progress.
    void PrepareBetweenLevels();
    // The window's play button: loads the next scene when the scene is done
    // (staying on the window), else starts the level (advancing to the next
    // layer first when the current one is complete).
    void NextLevel();
    // The level-complete window's button: back to the between-levels window,
    // the scene done when its last layer was the one completed.
    void LevelCompleteOk();
    // The lost (or given up) level again, with the score and skills of its
    // start, from the between-levels window. The one place that decides how a
    // lost level is restarted.
    void RestartLostLevel();
    // Back to the title: the title music plays and the scene is freed.
    void ExitToTitle();
    // The end of the game: the name from the name box and the final score go
    // into the high scores; the title with the table is shown.
    void FinishGame();
    // A window of play is due (the rules call it through the interface).
    void ShowPlayWindow(const std::string& name);

    // Each frame: when the between-levels window has just come up by other
    // means (a loaded game, a script), it is filled as if the flow had
    // shown it, the scene done when its last layer is restored.
    void WatchBetweenLevels();
    // Each frame during a game: the play screen's counters of belt clears
    // and drop resets follow the rules.
    void UpdateCounters();

    // Whether the archive has the scene file of scene number n.
    bool HasScene(int32_t n) const;
    // The bar positions the loading window was drawn with during the last
    // scene load, in order (empty before the first load).
    const std::vector<int32_t>& LoadingSteps() const { return loadingSteps_; }

private:
    TPlayRules* Rules() const;
    void Bind();
    void StartMusic(const std::string& name, uint32_t fadeOut, uint32_t fadeIn, bool randomStart, int64_t delay = -1);
    bool LoadScene(int32_t scene);
    // Runs work (which loads a scene) under the loading window with its bar
    // following the pictures; false (logged) when work throws.
    bool Loading(const std::string& what, const std::function<void()>& work);
    // The loading window over the screen with its bar at 0 and following
    // the pictures that load; hidden again with the bar at 100 first when
    // the load finished.
    void ShowLoadingWindow();
    void HideLoadingWindow(bool finished);
    void ShowBetweenLevels();
    void UpdatePlayLabels();
    std::string Caption(const std::string& name) const;
    void SetCaption(const std::string& name, const std::string& text);
    void SetVisible(const std::string& name, bool visible);
    void SetLoadingProgress(int32_t percent);

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    TOrvMethodTable& table_;
    THighScoreScreen& scores_;
    TCelebration& celebration_;
    TChapterShadow& shadow_;
    bool betweenShown_ = false;
    int32_t shownClears_ = -1;
    int32_t shownResets_ = -1;
    std::vector<int32_t> loadingSteps_;
};
