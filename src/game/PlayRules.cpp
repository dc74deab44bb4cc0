#include "game/PlayRules.h"

#include <algorithm>
#include <cmath>
#include <future>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvParallel.h"
#include "base/OrvParser.h"
#include "fx/OrvFXParticles.h"
#include "game/AutoPlayer.h"
#include "game/PlayFieldPainter.h"
#include "platform/Platform.h"
#include "render/ResourceList.h"
#include "render/SurfEngine.h"

namespace {

constexpr TRect kWholeScreen{0, 0, 799, 599};

std::string Bool(bool b) {
    return b ? "true" : "false";
}

}  // namespace

TPlayRules::TPlayRules() {
    TOrvRandom* random = GameEngine ? &GameEngine->Random : nullptr;
    static TOrvRandom fallback;
    static TGameParams noParams;
    level_ = std::make_unique<TPlayLevel>(tables_, GameEngine ? GameEngine->Params : noParams,
                                          random ? *random : fallback, *this);
    painter_ = std::make_unique<TPlayFieldPainter>(*this);
}

// The turning frames being made on other threads: the upright frames,
// taken out of the surfaces, and what each is turned by.
struct TPlayRules::TRotationJob {
    std::vector<SurfaceRecord> Upright;
    std::vector<double> Angles;
    std::vector<SurfaceRecord> Turned;
    std::vector<char> Ok;
    std::future<void> Done;
};

TPlayRules::~TPlayRules() {
    // The threads read the surface engine's format; they end before it.
    if (rotation_ && rotation_->Done.valid()) rotation_->Done.wait();
    if (trace_) std::fclose(trace_);
}

// ---------------------------------------------------------------------------
// Start-up

void TPlayRules::LoadTables() {
    TOrvGameEngine& e = *GameEngine;
    if (!e.FileFolder) return;
    // An archive without scenes (a bare test archive) has no tables either;
    // the game then runs without play.
    if (e.FileFolder->IndexOf("TriSqrPoints.dat") < 0) {
        e.Log("No shape tables in the archive: play is not available.");
        return;
    }
    tables_.Load(*e.FileFolder);
    e.Shapes = &tables_;
    MakeShadows();
    MakeRotationFrames();
    level_->SceneInd = 1;
}

void TPlayRules::SurfacesRemade() {
    TSurfEngine* s = GameEngine->SurfEngine.get();
    if (!s) return;
    for (const TShape& shape : tables_.Shapes()) s->DeleteSurface(shape.ShadowPicture);
    MakeShadows();
    MakeRotationFrames();
    painter_->SceneLoaded();
}

void TPlayRules::MakeShadows() {
    TSurfEngine* s = GameEngine->SurfEngine.get();
    if (!s) return;
    for (const TShape& shape : tables_.Shapes()) {
        const SurfaceRecord* pic = s->GetSurface(shape.Picture);
        if (!pic || s->FindSurface(shape.ShadowPicture) >= 0) continue;
        if (!s->CreateEmptySurface(shape.ShadowPicture, pic->Width, pic->Height)) continue;
        s->ClearSurface(shape.ShadowPicture, 0);
        pic = s->GetSurface(shape.Picture);
        SurfaceRecord* sh = s->GetSurface(shape.ShadowPicture);
        sh->AlphaStride = sh->Width;
        sh->AlphaMap.assign(size_t(sh->Width) * size_t(sh->Height), 0);
        // A soft shadow: half as opaque as the piece, blurred by one pixel.
        for (int32_t y = 0; y < sh->Height; ++y)
            for (int32_t x = 0; x < sh->Width; ++x) {
                int32_t sum = 0;
                int32_t n = 0;
                for (int32_t dy = -1; dy <= 1; ++dy)
                    for (int32_t dx = -1; dx <= 1; ++dx) {
                        const int32_t px = x + dx;
                        const int32_t py = y + dy;
                        if (px < 0 || py < 0 || px >= pic->Width || py >= pic->Height) continue;
                        sum += pic->HasAlpha() ? pic->AlphaMap[size_t(py) * size_t(pic->Width) + size_t(px)] : 255;
                        ++n;
                    }
                sh->AlphaMap[size_t(y) * size_t(sh->Width) + size_t(x)] = static_cast<uint8_t>(sum / 9 * 50 / 100);
                (void)n;
            }
    }
}

void TPlayRules::MakeRotationFrames() {
    FinishTables();
    TSurfEngine* s = GameEngine->SurfEngine.get();
    if (!s) return;
    struct TFrame {
        std::string Name;
        double Angle = 0;
    };
    std::vector<TFrame> frames;
    const std::pair<const char*, const char*> sets[2] = {{"Boxy.png", "BoxyRotate"}, {"Hum.png", "ChameleonRotate"}};
    for (const auto& [source, prefix] : sets) {
        const SurfaceRecord* src = s->GetSurface(source);
        if (!src) continue;
        for (int k = 0; k < 36; ++k) {
            const std::string name = prefix + std::to_string(k);
            s->DeleteSurface(name);
            if (!s->CreateEmptySurface(name, 170, 170)) continue;
            s->CreateAlphaChannel(name, 0);
            // The picture centred on the square's centre, then turned.
            const SurfaceRecord* from = s->GetSurface(source);
            const int32_t ox = 85 - from->Width / 2;
            const int32_t oy = 85 - from->Height / 2;
            s->DrawSurface(source, name, ox, oy);
            s->AddAlphaChannel(source, name, ox, oy, nullptr, 255);
            TFrame& frame = frames.emplace_back();
            frame.Name = name;
            frame.Angle = -10.0 * k * M_PI / 180.0;
        }
    }
    // Turning is most of the work and each frame is its own, and nothing
    // shows them before play: every core turns them while the title comes
    // up. Their upright records leave the list, so the list may change
    // meanwhile; FinishTables puts the turned ones in.
    auto job = std::make_unique<TRotationJob>();
    for (TFrame& f : frames) {
        SurfaceRecord upright;
        if (!s->TakeSurface(f.Name, upright)) continue;
        job->Upright.push_back(std::move(upright));
        job->Angles.push_back(f.Angle);
    }
    job->Turned.resize(job->Upright.size());
    job->Ok.assign(job->Upright.size(), 0);
    TRotationJob* j = job.get();
    const TSurfEngine* engine = s;
    job->Done = std::async(std::launch::async, [j, engine] {
        ForEachItem(j->Upright.size(), CoreCount(), [j, engine](size_t i) {
            j->Ok[i] = engine->RotatedCopy(j->Upright[i], 85, 85, j->Angles[i], j->Turned[i]);
        });
    });
    rotation_ = std::move(job);
}

void TPlayRules::FinishTables() {
    if (!rotation_) return;
    std::unique_ptr<TRotationJob> job = std::move(rotation_);
    job->Done.get();
    TSurfEngine* s = GameEngine->SurfEngine.get();
    if (!s) return;
    for (size_t i = 0; i < job->Upright.size(); ++i) {
        // A frame that could not be turned stays upright rather than missing.
        SurfaceRecord& made = job->Ok[i] ? job->Turned[i] : job->Upright[i];
        s->DeleteSurface(made.Name);
        s->AddSurface(std::move(made));
    }
}

void TPlayRules::GameStarted() {
    const TRunOptions& run = GameEngine->RunOptions();
    if (!run.TraceFile.empty()) {
        trace_ = std::fopen(run.TraceFile.c_str(), "wb");
        if (!trace_) GameEngine->Log("Cannot write the trace " + run.TraceFile);
    }
    if (run.Autoplay) bot_ = std::make_unique<TAutoPlayer>(*this);
    if (run.StartScene <= 0) return;
    directPlay_ = true;
    try {
        StartGame(run.StartMode, run.StartScene, run.StartLayer);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "moswick: cannot start scene %d: %s\n", run.StartScene, e.what());
        GameEngine->Terminate(1);
    }
}

void TPlayRules::StartGame(int32_t mode, int32_t scene, int32_t layer) {
    level_->NewGame(mode);
    level_->SceneInd = scene;
    PlayScene(layer);
}

void TPlayRules::RestartLostLevel() {
    const int32_t layer = level_->CurrentLayer;
    level_->RestoreSnapshot();
    PlayScene(layer);
}

void TPlayRules::SaveRestartPoint(bool midLevel) {
    TOrvGameEngine& e = *GameEngine;
    TSavedGame start = CaptureGame();
    // A game loaded in the middle of a level restarts from the score the
    // level began with; at a level's start the game as it stands is that.
    if (midLevel) {
        start.TotalScore = level_->SnapshotScore;
        start.Skills = level_->SnapshotSkills.Levels;
    }
    start.PrevScore = start.TotalScore;
    start.HasSkills = true;
    start.Fishkas.clear();
    for (auto& belt : start.Belts) belt.clear();
    try {
        Platform::ForceDirectories(e.WriteDir + "saves");
        WriteSavedGameFile(start, e.WriteDir + kRestartFile);
    } catch (const std::exception& ex) {
        e.Log(std::string("The start of the level could not be saved: ") + ex.what());
    }
}

bool TPlayRules::RestartLostLevelFromFile() {
    TOrvGameEngine& e = *GameEngine;
    const std::string path = e.WriteDir + kRestartFile;
    try {
        const TSavedGame start = ReadSavedGameFile(path);
        // A file left by another game must not replace this one.
        if (start.SceneInd != level_->SceneInd || start.Current != level_->CurrentLayer || start.Mode != level_->Mode)
            throw OrvException(path + " holds another level than the one lost");
        RestoreGame(start, path, true);
    } catch (const std::exception& ex) {
        e.Log(std::string("The lost level restarts from memory: ") + ex.what());
        return false;
    }
    return true;
}

bool TPlayRules::StartCurrentLevel() {
    SyncFromEngine();
    const TLayer* layer = level_->Layer();
    if (layer == nullptr) return false;
    if (layer->Complete) {
        if (!level_->AdvanceToNextLayer()) return false;
    } else {
        level_->StartLevel(level_->CurrentLayer);
    }
    SyncToEngine();
    SaveRestartPoint();
    return true;
}

void TPlayRules::LeavePlay() {
    effects_.clear();
    level_->Scene.Clear();
    level_->FishkaUnderCursor = -1;
    level_->State = GameEngine->GameState;
    GameEngine->FishkaUnderCursor = -1;
}

void TPlayRules::PlayScene(int32_t layer) {
    LoadScene("Scene" + std::to_string(level_->SceneInd) + ".xml");
    if (layer < 0 || layer >= static_cast<int32_t>(level_->Scene.Layers.size()))
        throw OrvException("the scene has no layer " + std::to_string(layer));
    // The layers before the one started with count as played: their
    // pictures are part of the scene.
    for (int32_t i = 0; i < layer; ++i) {
        TLayer& l = level_->Scene.Layers[size_t(i)];
        l.Complete = true;
        PaintIntoScene(l.Picture, l.X + l.PictureX, l.Y + l.PictureY);
    }
    SyncFromEngine();
    level_->StartLevel(layer);
    SyncToEngine();
    SaveRestartPoint();
    // Played straight from the command line, a scene has its own tune as
    // in a game (where the level flow starts it).
    if (directPlay_ && !level_->Scene.SceneMusic.empty())
        GameEngine->Audio.SwitchMusic(level_->Scene.SceneMusic, 1000, 0, 1000, GameEngine->NowTime);
}

// ---------------------------------------------------------------------------
// Scenes

TScene TPlayRules::ReadScene(const std::string& fileName) {
    TOrvGameEngine& e = *GameEngine;
    if (!e.FileFolder) throw OrvException("Can not find " + fileName + "in file folder");
    TMemoryStream* stream = e.FileFolder->IndexOf(fileName) >= 0 ? e.FileFolder->Stream(fileName) : nullptr;
    if (!stream) throw OrvException("Can not find " + fileName + "in file folder");
    TOrvParser doc;
    stream->Seek(0);
    WhileReading(fileName, [&] { doc.LoadFromStream(*stream); });
    TScene scene;
    scene.LoadFromDocument(doc, fileName, tables_, e.Random);
    return scene;
}

void TPlayRules::LoadScene(const std::string& fileName) {
    TakeLoadedScene(ReadScene(fileName));
}

void TPlayRules::RestoreGame(const TSavedGame& game, const std::string& fileName, bool restarting) {
    TScene scene = ReadScene(game.Scene);
    CheckSavedGameFits(game, scene, tables_.ShapeCount(), fileName);
    TakeLoadedScene(std::move(scene));
    SyncFromEngine();
    level_->RestoreSaved(game, restarting);
    painter_->InvalidateLayer();
    SyncToEngine();
    if (!restarting) SaveRestartPoint(true);
}

void TPlayRules::AutoSave() {
    TOrvGameEngine& e = *GameEngine;
    try {
        Platform::ForceDirectories(e.WriteDir + "saves");
        WriteSavedGameFile(CaptureGame(), e.WriteDir + kAutoSaveFile);
    } catch (const std::exception& ex) {
        e.Log(std::string("The game could not be saved automatically: ") + ex.what());
    }
}

void TPlayRules::TakeLoadedScene(TScene&& scene) {
    TOrvGameEngine& e = *GameEngine;
    const std::vector<std::string> previous = level_->Scene.PictureNames;
    const std::string previousPicture = level_->Scene.ScenePicture;
    for (TOneShotEffect& fx : effects_) fx.Effect.reset();
    effects_.clear();
    level_->TakeScene(std::move(scene));
    // The scene picture is painted on during play (finished layers,
    // delivered fishes): a fresh copy every time the scene is loaded.
    if (e.SurfEngine) {
        if (!previousPicture.empty()) e.SurfEngine->DeleteSurface(previousPicture);
        e.SurfEngine->DeleteSurface(level_->Scene.ScenePicture);
    }
    LoadScenePictures(previous);
    for (size_t i = 0; i < level_->Scene.Belts.size() && e.SurfEngine; ++i) {
        TLenta& b = level_->Scene.Belts[i];
        const TPoint size = PictureSize(b.PartImage);
        b.PartWidth = size.X;
        b.PartHeight = size.Y;
    }
    painter_->SceneLoaded();
    SyncToEngine();
}

void TPlayRules::LoadScenePictures(const std::vector<std::string>& previous) {
    TOrvGameEngine& e = *GameEngine;
    if (!e.SurfEngine || !e.ResourceList || !e.FileFolder) return;
    std::vector<std::string> old = previous;
    const auto needed = [&](const std::string& name) {
        return !name.empty() && e.SurfEngine->FindSurface(name) < 0 && e.FileFolder->IndexOf(name) >= 0;
    };
    // The loading window's bar follows the pictures as they come in.
    size_t total = needed(level_->Scene.ScenePicture) ? 1 : 0;
    for (const std::string& name : level_->Scene.PictureNames) total += needed(name) ? 1 : 0;
    size_t done = 0;
    auto load = [&](const std::string& name) {
        if (!needed(name)) return;
        const bool png = name.size() >= 3 && name.compare(name.size() - 3, 3, "png") == 0;
        if (png)
            e.ResourceList->LoadPNGFromArchive(*e.FileFolder, name, name);
        else
            e.ResourceList->LoadJPEGFromArchive(*e.FileFolder, name, name);
        ++done;
        if (e.SurfEngine->ProgressCallback && total > 0)
            e.SurfEngine->ProgressCallback(static_cast<int32_t>(done * 100 / total));
    };
    load(level_->Scene.ScenePicture);
    for (const std::string& name : level_->Scene.PictureNames) {
        old.erase(std::remove(old.begin(), old.end(), name), old.end());
        load(name);
    }
    for (const std::string& name : old) e.SurfEngine->DeleteSurface(name);
}

void TPlayRules::FreeScene() {
    effects_.clear();
    level_->Scene.Clear();
    level_->FishkaUnderCursor = -1;
    if (trace_) {
        std::fclose(trace_);
        trace_ = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Clock and frames

void TPlayRules::AdvanceEffects() {
    TOrvGameEngine& e = *GameEngine;
    const uint32_t tick = e.NowTime;
    if (!clockStarted_) {
        clockStarted_ = true;
        lastTick_ = tick;
    }
    // Game time runs only while a level is on screen and the game is not
    // frozen; a stalled frame counts as at most a quarter second, so no
    // timer jumps past what the player could see.
    const int64_t delta = static_cast<int32_t>(tick - lastTick_);
    lastTick_ = tick;
    const int32_t s = e.GameState;
    const bool running = !e.Paused && (s == gsPlaying || s == gsScrollToLayer || s == gsGameOverPause ||
                                       s == gsLayerStart || s == gsLayerComplete);
    if (running) clock_ += std::clamp<int64_t>(delta, 0, 250);
    for (size_t i = 0; i < effects_.size();) {
        TOneShotEffect& fx = effects_[i];
        if (fx.Effect) fx.Effect->Update(static_cast<uint32_t>(clock_));
        if (!fx.Effect || fx.Effect->Finished()) {
            effects_.erase(effects_.begin() + static_cast<std::ptrdiff_t>(i));
            e.RedrawAll();
            continue;
        }
        ++i;
    }
    for (const TLenta& b : level_->Scene.Belts)
        for (const TFishka& f : b.BeltFishkas)
            if (f.BonusEffect) f.BonusEffect->Update(static_cast<uint32_t>(clock_));
    if (bot_ && s == gsPlaying && !e.Paused) bot_->Act();
}

void TPlayRules::SyncFromEngine() {
    TOrvGameEngine& e = *GameEngine;
    TPlayLevel& l = *level_;
    l.State = e.GameState;
    l.ScrollX = e.ScrollX;
    l.ScrollY = e.ScrollY;
}

void TPlayRules::SyncToEngine() {
    TOrvGameEngine& e = *GameEngine;
    const TPlayLevel& l = *level_;
    e.GameState = l.State;
    e.ScrollX = l.ScrollX;
    e.ScrollY = l.ScrollY;
    e.ScrollTargetX = l.ScrollTargetX;
    e.ScrollTargetY = l.ScrollTargetY;
    e.FishkaUnderCursor = l.FishkaUnderCursor;
}

void TPlayRules::UpdatePlay() {
    if (level_->Scene.Empty()) return;
    SyncFromEngine();
    level_->Step(clock_);
    if (delayedSoundAt_ >= 0 && clock_ > delayedSoundAt_) {
        delayedSoundAt_ = -1;
        Sound(delayedSound_);
    }
    SyncToEngine();
}

void TPlayRules::UpdateState(int32_t state) {
    (void)state;
    UpdatePlay();
}

void TPlayRules::ShiftFrozenTime(uint32_t frozenMs, uint32_t nowTime) {
    // The play clock does not run while the game is frozen, so nothing has
    // to be moved.
    (void)frozenMs, (void)nowTime;
}

void TPlayRules::AfterThaw() {
    painter_->InvalidateLayer();
}

// ---------------------------------------------------------------------------
// Input

TPoint TPlayRules::HeldPiecePosition() const {
    const TFishka* h = level_->Held();
    if (!h) return {};
    return level_->ToScreen(h->X, h->Y);
}

void TPlayRules::MoveHeldPiece(int32_t x, int32_t y) {
    level_->MouseMove(x, y);
    painter_->HeldMoved();
}

bool TPlayRules::HeldIsExtraFish() const {
    const TFishka* h = level_->Held();
    return h && h->IsExtraFish();
}

void TPlayRules::RotateNext() {
    level_->RotateHeld(false);
}

void TPlayRules::RotatePrevious() {
    level_->RotateHeld(true);
}

void TPlayRules::RemoveHeldPiece() {
    level_->RemoveHeld();
    SyncToEngine();
}

void TPlayRules::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    SyncFromEngine();
    if (button == mbLeft)
        level_->LeftClick(x, y);
    else if (button == mbRight)
        level_->RightClick(x, y, (shift & ssShift) != 0);
    SyncToEngine();
}

int32_t TPlayRules::BeltClears() const {
    return level_->BeltClears;
}

void TPlayRules::ClearFirstBelt() {
    level_->ClearFirstBelt();
}

int32_t TPlayRules::DropResets() const {
    return level_->DropResets;
}

void TPlayRules::FreeDropSection() {
    level_->FreeDropSection();
}

void TPlayRules::CompleteLayerNow() {
    level_->CompleteLayerNow();
    SyncToEngine();
}

void TPlayRules::OpenArtefactWindowNow() {
    level_->ArtefactWindowTime = clock_;
}

// ---------------------------------------------------------------------------
// Events of the rules

void TPlayRules::Sound(const std::string& name) {
    if (!name.empty()) GameEngine->PlaySound(name);
}

void TPlayRules::DelayedSound(const std::string& name, TGameTime at) {
    delayedSound_ = name;
    delayedSoundAt_ = at;
}

void TPlayRules::MusicFadeOut(int32_t ms) {
    GameEngine->Audio.FadeOutMusic(static_cast<uint32_t>(std::max(0, ms)));
}

void TPlayRules::Redraw(const TRect& rect) {
    GameEngine->DirtyRects.push_back(rect);
}

void TPlayRules::RedrawAll() {
    GameEngine->DirtyRects.push_back(kWholeScreen);
}

void TPlayRules::ShowHint(const std::string& name, int32_t x, int32_t y) {
    GameEngine->Interface->ShowHint(name, x, y);
}

void TPlayRules::HideHint(const std::string& name) {
    GameEngine->Interface->HideHint(name);
}

std::unique_ptr<TOrvParticleEffect> TPlayRules::NewEffect(const std::string& templateName, TGameTime start) {
    const TOrvParticleEffect* proto = GameEngine->FindEffectTemplate(templateName);
    if (!proto) return nullptr;
    auto fx = std::make_unique<TOrvParticleEffect>();
    if (!fx->Assign(proto)) return nullptr;
    fx->SetRandom(&GameEngine->Random);
    fx->SetStartTick(static_cast<uint32_t>(std::max<TGameTime>(0, start)));
    return fx;
}

void TPlayRules::ThrowOffEffect(const TFishka& piece, const std::string& picture, int32_t frames, double dirX,
                                double dirY) {
    TOrvRandom& r = GameEngine->Random;
    auto fx = NewEffect("FallDownEffect.xml", clock_ + r.Between(0, 100));
    if (!fx) return;
    // A bonus picture is a strip of animation frames: the falling piece
    // shows one of them, not the whole strip side by side.
    TOrvParticleSystemLib& systems = fx->Systems();
    for (int32_t i = 0; i < systems.Count(); ++i)
        if (TOrvParticleSystem* s = systems.Get(i)) s->FrameCount = std::max(1, frames);
    if (TOrvParabolicFunc* f = fx->FindParabolic("FContour")) {
        const TPoint size = level_->PieceSize(piece);
        const TPoint at = level_->ToScreen(piece.X + size.X / 2, piece.Y + size.Y / 2);
        const double k = GameEngine->Params.FallK;
        f->P0 = TOrvVector(float(at.X), float(at.Y));
        f->V0 = TOrvVector(float(k * (dirX + r.Unit() - 0.5)), float(k * (dirY + r.Unit() - 0.5)));
        f->A = TOrvVector(float(GameEngine->Params.FallGX), float(GameEngine->Params.FallGY));
    }
    if (!fx->Validate()) return;
    TOneShotEffect one;
    one.Name = "btBigBombEffect";
    one.Picture = picture;
    one.Effect = std::move(fx);
    effects_.push_back(std::move(one));
}

void TPlayRules::Sparkle(const std::string& effect, int32_t x, int32_t y, int32_t delayMs) {
    auto fx = NewEffect(effect, clock_ + delayMs);
    if (!fx || !fx->Validate()) return;
    TOneShotEffect one;
    one.Name = "SparkleEffect";
    one.Effect = std::move(fx);
    const TPoint s = level_->ToScreen(x, y);
    one.Origin = s;
    effects_.push_back(std::move(one));
}

void TPlayRules::ContourSparkle(const std::vector<TPoint>& outline) {
    if (outline.size() < 2) return;
    auto fx = NewEffect("Contour.xml", clock_);
    if (!fx) return;
    if (TOrvPiecewiseFunc* path = fx->FindPiecewise("FContour")) {
        std::string script = "set linear; path";
        for (const TPoint& p : outline)
            script += " (" + std::to_string(p.X - outline[0].X) + "," + std::to_string(p.Y - outline[0].Y) + ")";
        script += " (0,0); ending loop;";
        try {
            path->BuildFromScript(script);
        } catch (const std::exception&) {
            return;
        }
        const int32_t n = FXRound(path->TotalLength) / 10;
        if (TOrvParticleSystem* s = fx->FindSystem("SContour")) s->SetInitParticles(n, n);
    }
    if (!fx->Validate()) return;
    TOneShotEffect one;
    one.Name = "ContourEffect";
    one.Effect = std::move(fx);
    const TPoint s = level_->ToScreen(outline[0].X, outline[0].Y);
    one.Origin = s;
    effects_.push_back(std::move(one));
}

void TPlayRules::ScoreText(int32_t score, int32_t x, int32_t y) {
    auto fx = NewEffect("GiveScoreEffect.xml", clock_);
    if (!fx || !fx->Validate()) return;
    TOneShotEffect one;
    one.Name = "ScoreEffect";
    one.Text = "+" + std::to_string(score);
    one.Effect = std::move(fx);
    const TPoint s = level_->ToScreen(x, y);
    one.Origin = s;
    effects_.push_back(std::move(one));
}

void TPlayRules::BonusSpawned(TFishka& piece) {
    const std::string name = piece.BonusType == btReverse ? "BonusAmulet.xml" : "BonusBombPauk.xml";
    auto fx = NewEffect(name, clock_);
    if (fx && fx->Validate()) piece.BonusEffect = std::shared_ptr<TOrvParticleEffect>(fx.release());
}

void TPlayRules::PaintIntoScene(const std::string& image, int32_t x, int32_t y) {
    TSurfEngine* s = GameEngine->SurfEngine.get();
    if (s) s->DrawWithAlphaChannel(image, level_->Scene.ScenePicture, x, y, 255);
    RedrawAll();
}

void TPlayRules::FragmentsChanged() {
    painter_->InvalidateLayer();
}

TPoint TPlayRules::PictureSize(const std::string& name) const {
    TPoint p;
    if (GameEngine && GameEngine->SurfEngine && !name.empty()) GameEngine->SurfEngine->GetPictureSize(name, p.X, p.Y);
    return p;
}

void TPlayRules::Trace(const std::string& event) {
    if (!trace_) return;
    const std::string line = std::to_string(clock_) + " " + event + "\n";
    std::fwrite(line.data(), 1, line.size(), trace_);
}

void TPlayRules::FlushTrace() {
    if (trace_) std::fflush(trace_);
}

void TPlayRules::LayerCompleteEnded() {
    TLayer* l = level_->Layer();
    if (l) {
        painter_->InvalidateLayer();
        painter_->RebuildLayer();
    }
    if (!directPlay_) {
        GameEngine->Interface->ShowWindow("WLevelComplete");
        return;
    }
    // A direct start plays the scene's layers one after the other and ends
    // after the last, or goes on with the next scene when it runs endless.
    if (level_->AdvanceToNextLayer()) return;
    Trace("scene-complete scene=" + std::to_string(level_->SceneInd) + " total=" + std::to_string(level_->TotalScore));
    if (!GameEngine->RunOptions().Endless) {
        GameEngine->Terminate(0);
        return;
    }
    const int32_t next = level_->SceneInd + 1;
    const bool exists =
        GameEngine->FileFolder && GameEngine->FileFolder->IndexOf("Scene" + std::to_string(next) + ".xml") >= 0;
    level_->SceneInd = exists ? next : 1;
    PlayEndless(0, false);
}

void TPlayRules::GameOverEnded() {
    if (!directPlay_) {
        GameEngine->Interface->ShowWindow("WGameOver");
        return;
    }
    if (!GameEngine->RunOptions().Endless) {
        GameEngine->Terminate(0);
        return;
    }
    PlayEndless(level_->CurrentLayer, true);
}

void TPlayRules::PlayEndless(int32_t layer, bool again) {
    try {
        if (again)
            RestartLostLevel();
        else
            PlayScene(layer);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "moswick: cannot go on with scene %d: %s\n", level_->SceneInd, e.what());
        GameEngine->Terminate(1);
    }
}

void TPlayRules::ArtefactWindowDue() {
    if (!directPlay_) GameEngine->Interface->ShowWindow("WUpgrade");
}

void TPlayRules::ScoreChanged(uint32_t score) {
    GameEngine->Interface->SetScore(score);
}

void TPlayRules::LevelChanged(int32_t scene, int32_t layer) {
    GameEngine->Interface->SetLevel(scene, layer);
}

void TPlayRules::ChargesChanged(int32_t clears, int32_t resets) {
    GameEngine->Interface->SetCharges(clears, resets);
}

// ---------------------------------------------------------------------------
// Drawing

void TPlayRules::DrawPlayField(int32_t state) {
    if (level_->Scene.Empty() || !GameEngine->SurfEngine) return;
    SyncFromEngine();
    painter_->Draw(state);
}

void TPlayRules::DrawHeldPiece() {
    if (level_->Scene.Empty() || !GameEngine->SurfEngine) return;
    painter_->DrawHeld();
}

// ---------------------------------------------------------------------------
// The state dump

void TPlayRules::DumpState(TOrvXMLTag& root) const {
    const TPlayLevel& l = *level_;
    const TLayer* layer = l.Layer();
    root.AddAttribute("Mode", std::to_string(l.Mode));
    root.AddAttribute("SceneInd", std::to_string(l.SceneInd));
    root.AddAttribute("Scene", l.Scene.SceneFileName);
    root.AddAttribute("CurrentLayer", std::to_string(l.CurrentLayer));
    root.AddAttribute("Layers", std::to_string(l.Scene.Layers.size()));
    root.AddAttribute("LayerComplete", Bool(layer && layer->Complete));
    root.AddAttribute("TotalScore", std::to_string(l.TotalScore));
    root.AddAttribute("PrevScore", std::to_string(l.PrevScore));
    root.AddAttribute("FreeFragments", std::to_string(layer ? layer->FreeFragments() : 0));
    int32_t open = 0;
    if (layer)
        for (int32_t v : layer->FragsLevel) open += v > 0 ? 1 : 0;
    root.AddAttribute("OpenFragments", std::to_string(open));
    root.AddAttribute("PlacedPieces", std::to_string(l.PlacedPieces));
    root.AddAttribute("Lost", Bool(l.Lost));
    root.AddAttribute("GameTime", std::to_string(l.Now));
    root.AddAttribute("BeltClears", std::to_string(l.BeltClears));
    root.AddAttribute("DropResets", std::to_string(l.DropResets));
    root.AddAttribute("ScrollX", std::to_string(l.ScrollX));
    root.AddAttribute("ScrollY", std::to_string(l.ScrollY));
    auto piece = [&l](TOrvXMLTag& t, const TFishka& f) {
        t.AddAttribute("FType", std::to_string(f.FType));
        t.AddAttribute("BonusType", std::to_string(f.BonusType));
        t.AddAttribute("ExtraFishType", std::to_string(f.ExtraFishType));
        t.AddAttribute("x", std::to_string(f.X));
        t.AddAttribute("y", std::to_string(f.Y));
        t.AddAttribute("OnLayer", std::to_string(f.OnLayer));
        t.AddAttribute("Age", std::to_string(l.Now - f.BornTime));
        t.AddAttribute("Acceleration", std::to_string(f.Acceleration));
        t.AddAttribute("Trans", std::to_string(f.Trans));
    };
    TOrvXMLTag* belts = root.AddTag("Belts");
    for (size_t i = 0; i < l.Scene.Belts.size(); ++i) {
        const TLenta& b = l.Scene.Belts[i];
        TOrvXMLTag* t = belts->AddTag("Lenta");
        t->AddAttribute("Index", std::to_string(i));
        t->AddAttribute("PathTime", std::to_string(b.PathTime));
        t->AddAttribute("PathLength", std::to_string(b.PathLength));
        t->AddAttribute("ReverseUntil", std::to_string(b.ReverseUntil));
        t->AddAttribute("StopUntil", std::to_string(b.StopUntil));
        t->AddAttribute("RushUntil", std::to_string(b.RushUntil));
        t->AddAttribute("ChameleonShots", std::to_string(b.ChameleonShots));
        t->AddAttribute("ChameleonRenewTime", std::to_string(b.ChameleonRenewTime));
        for (const TFishka& f : b.BeltFishkas) piece(*t->AddTag("Fishka"), f);
    }
    TOrvXMLTag* free = root.AddTag("Fishkas");
    free->AddAttribute("FishkaUnderCursor", std::to_string(l.FishkaUnderCursor));
    for (const TFishka& f : l.Scene.Fishkas) piece(*free->AddTag("Fishka"), f);
    if (const TFishka* h = l.Held()) piece(*root.AddTag("Held"), *h);
    TOrvXMLTag* skills = root.AddTag("Skills");
    for (int32_t i = 0; i < TSkills::kCount; ++i)
        skills->AddTag(TSkills::kNames[size_t(i)], std::to_string(l.Skills.Levels[size_t(i)]));
    TOrvXMLTag* timers = root.AddTag("Timers");
    timers->AddAttribute("DropBusy", Bool(l.DropBusy));
    timers->AddAttribute("DropStart", std::to_string(l.DropStart));
    timers->AddAttribute("DropTime", std::to_string(l.DropTime));
    timers->AddAttribute("GameOverTime", std::to_string(l.GameOverTime));
    timers->AddAttribute("LayerCompleteTime", std::to_string(l.LayerCompleteTime));
    timers->AddAttribute("ArtefactWindowTime", std::to_string(l.ArtefactWindowTime));
    timers->AddAttribute("NextAlarmTime", std::to_string(l.NextAlarmTime));
    timers->AddAttribute("AlarmOn", Bool(l.AlarmOn));
    if (layer) {
        TOrvXMLTag* t = root.AddTag("Layer");
        std::string levels;
        std::string busy;
        for (int32_t v : layer->FragsLevel) levels += " " + std::to_string(v);
        for (int32_t v : layer->FragsBusy) busy += " " + std::to_string(v);
        t->AddTag("FragsLevel", levels);
        t->AddTag("FragsBusy", busy);
        t->AddTag("FishesBeforeExtra", std::to_string(layer->FishesBeforeExtra));
        t->AddTag("Art", Bool(layer->Art));
    }
}
