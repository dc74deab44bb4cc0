#include "platform/Platform.h"

#include <SDL.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/SFunctions.h"

extern char** environ;

namespace Platform {

void Delay(uint32_t ms) {
    SDL_Delay(ms);
}

bool WaitForEvent(uint32_t timeoutMs) {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) {
        SDL_Delay(timeoutMs);
        return false;
    }
    return SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint32_t>(timeoutMs, 0x7FFFFFFF))) == 1;
}

bool IsHeadlessVideo() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::string(driver) == "dummy";
}

namespace {

bool& MessageBoxesEnabled() {
    static bool enabled = true;
    return enabled;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
    return fallback;
}

std::string HomeDir() {
    return EnvOr("HOME", "/tmp");
}

// An XDG base folder from the environment; a relative path there is invalid
// and ignored, so the game never writes into whatever folder it started in.
std::string XdgBase(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    if (v && v[0] == '/') return v;
    return fallback;
}

}  // namespace

uint32_t GetTickCount() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

void ShowSystemCursor(bool show) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

std::string GetClipboardText() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return {};
    char* text = SDL_GetClipboardText();
    if (!text) return {};
    std::string result(text);
    SDL_free(text);
    return result;
}

bool SetClipboardText(const std::string& text) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    return SDL_SetClipboardText(text.c_str()) == 0;
}

bool OpenWithDesktop(const std::string& target) {
    if (target.empty()) return false;
    std::string url = target;
    if (url.find("://") == std::string::npos && url.rfind("mailto:", 0) != 0) {
        std::error_code ec;
        const auto abs = std::filesystem::absolute(target, ec);
        url = "file://" + (ec ? target : abs.string());
    }
    if (SDL_OpenURL(url.c_str()) == 0) return true;
    // Started without a shell so that nothing in the target is interpreted.
    pid_t pid = 0;
    char prog[] = "xdg-open";
    std::string arg = url;
    char* argv[] = {prog, arg.data(), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    // xdg-open hands the target over and ends; reap it so no zombie stays.
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SetMessageBoxesEnabled(bool enabled) {
    MessageBoxesEnabled() = enabled;
}

void ShowErrorBox(SDL_Window* parent, const std::string& title, const std::string& message) {
    if (MessageBoxesEnabled() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), message.c_str(), parent) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", PrintableText(title).c_str(), PrintableText(message).c_str());
}

std::string WithTrailingSlash(const std::string& dir) {
    if (dir.empty() || dir.back() == '/') return dir;
    return dir + "/";
}

std::string ProgramDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return "./";
    return WithTrailingSlash(exe.parent_path().string());
}

bool IsFolderWritable(const std::string& dir) {
    if (dir.empty()) return false;
    const std::string probe = WithTrailingSlash(dir) + ".moswick-write-probe-" + std::to_string(getpid());
    FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) return false;
    std::fclose(f);
    std::remove(probe.c_str());
    return true;
}

bool ForceDirectories(const std::string& dir) {
    if (dir.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}

std::string UserDataDir() {
    return WithTrailingSlash(XdgBase("XDG_DATA_HOME", HomeDir() + "/.local/share")) + "moswick/";
}

std::string UserConfigDir() {
    return WithTrailingSlash(XdgBase("XDG_CONFIG_HOME", HomeDir() + "/.config")) + "moswick/";
}

}  // namespace Platform
