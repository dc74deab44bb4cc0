#include "shell/ClickHere.h"

#include "base/FileFolder.h"
#include "fx/OrvFXParticles.h"
#include "game/Main.h"
#include "platform/KeyStore.h"
#include "render/SurfEngine.h"
#include "shell/ShellLanguages.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"

namespace {

// How far around the button the glints may go.
constexpr int32_t kMargin = 40;

}  // namespace

TClickHere::TClickHere(TOrvGameEngine& game, TOrvInterfaceEngine& ui) : game_(game), ui_(ui) {}

TClickHere::~TClickHere() = default;

void TClickHere::Load(const TKeyStore& store) {
    running_.reset();
    if (store.ValueExists(TShellLanguages::kKey, kStartedValue)) return;
    if (!game_.FileFolder || game_.FileFolder->IndexOf(kEffectFile) < 0) return;
    try {
        auto fx = std::make_unique<TOrvParticleEffect>();
        fx->SetName("ClickHereEffect");
        // Its glints are drawn from the sounds' source, so they never change
        // the play that follows.
        fx->SetRandom(&game_.SoundRandom);
        fx->LoadFromStream(*TOrvGameEngine::LoadEffectFile(*game_.FileFolder, kEffectFile));
        fx->SetStartTick(game_.NowTime);
        if (fx->Validate()) running_ = std::move(fx);
    } catch (const std::exception& e) {
        game_.Log(std::string("The new-game glints cannot be read: ") + e.what());
    }
}

void TClickHere::GameStarted(TKeyStore& store) {
    if (running_) game_.RedrawAll();
    running_.reset();
    if (!store.ValueExists(TShellLanguages::kKey, kStartedValue))
        store.WriteString(TShellLanguages::kKey, kStartedValue, "1");
}

void TClickHere::Update() {
    if (!running_) return;
    running_->Update(game_.NowTime);
    const TOrvInterfaceObject* button = ui_.FindInterfaceObject(kButton);
    if (button == nullptr || !ui_.IsShown(*button)) return;
    game_.DirtyRects.push_back(TRect{button->AbsLeft - kMargin, button->AbsTop - kMargin,
                                     button->AbsLeft + button->Width + kMargin,
                                     button->AbsTop + button->Height + kMargin});
}

void TClickHere::PostFormDraw(const std::string& formName) {
    if (!running_ || formName != "WTitle" || !game_.SurfEngine) return;
    const TOrvInterfaceObject* button = ui_.FindInterfaceObject(kButton);
    if (button == nullptr || !ui_.IsShown(*button)) return;
    const TRect clip{button->AbsLeft - kMargin, button->AbsTop - kMargin, button->AbsLeft + button->Width + kMargin,
                     button->AbsTop + button->Height + kMargin};
    DrawParticleEffect(*game_.SurfEngine, *running_, "MemoryBufer", button->AbsLeft + button->Width / 2,
                       button->AbsTop + button->Height / 2, &clip);
}
