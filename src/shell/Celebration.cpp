#include "shell/Celebration.h"

#include "base/FileFolder.h"
#include "fx/OrvFXParticles.h"
#include "game/Main.h"
#include "render/SurfEngine.h"

namespace {

// The play field on the screen (the view of the scene), edges included.
constexpr TRect kField{5, 5, 654, 594};

}  // namespace

TCelebration::TCelebration(TOrvGameEngine& game) : game_(game) {}

TCelebration::~TCelebration() = default;

void TCelebration::Load() {
    template_.reset();
    if (!game_.FileFolder || game_.FileFolder->IndexOf(kEffectFile) < 0) return;
    try {
        auto effect = std::make_unique<TOrvParticleEffect>();
        effect->SetName(kEffectFile);
        effect->SetRandom(&game_.SoundRandom);
        effect->LoadFromStream(*TOrvGameEngine::LoadEffectFile(*game_.FileFolder, kEffectFile));
        template_ = std::move(effect);
    } catch (const std::exception& e) {
        game_.Log(std::string("The celebration effect cannot be read: ") + e.what());
    }
}

void TCelebration::Start() {
    running_.reset();
    if (!template_) return;
    auto fx = std::make_unique<TOrvParticleEffect>();
    if (!fx->Assign(template_.get())) return;
    // Its sparks are drawn from the sounds' source, so a celebration never
    // changes the play that follows.
    fx->SetRandom(&game_.SoundRandom);
    fx->SetStartTick(game_.NowTime);
    if (!fx->Validate()) return;
    running_ = std::move(fx);
}

void TCelebration::Update() {
    if (!running_) return;
    running_->Update(game_.NowTime);
    game_.DirtyRects.push_back(kField);
    if (running_->Finished()) running_.reset();
}

void TCelebration::PostFormDraw(const std::string& formName) {
    if (!running_ || formName != "WGame" || !game_.SurfEngine) return;
    const int32_t cx = (kField.Left + kField.Right) / 2;
    const int32_t cy = (kField.Top + kField.Bottom) / 2;
    DrawParticleEffect(*game_.SurfEngine, *running_, "MemoryBufer", cx, cy, &kField);
}

void TCelebration::Stop() {
    if (running_) game_.RedrawAll();
    running_.reset();
}
