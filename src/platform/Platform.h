// System services the game needs beside the window: the millisecond tick
// count, the system cursor, the clipboard, opening a link or file with the
// desktop's handler, message boxes, and the folders the game reads from and
// writes to.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Window;

namespace Platform {

// Milliseconds since an arbitrary origin, wrapping at 2^32 like the Windows
// tick count. The one real clock of the game (the engine may replace it by a
// virtual clock for scripted runs).
uint32_t GetTickCount();

// Sleeps the calling thread for about ms milliseconds.
void Delay(uint32_t ms);
// Waits until a window or input event is pending or timeoutMs have passed,
// without taking the event; true when one is pending. Without an event
// system (no window) it only sleeps.
bool WaitForEvent(uint32_t timeoutMs);
// True when the video driver is SDL's dummy driver (a window that nobody
// sees: headless runs and tests).
bool IsHeadlessVideo();

// Shows or hides the system mouse pointer (the game draws its own cursor).
// Does nothing when SDL video is not running.
void ShowSystemCursor(bool show);

// Clipboard text as UTF-8; empty when there is none or no video is running.
std::string GetClipboardText();
// Puts UTF-8 text on the clipboard; false when that failed.
bool SetClipboardText(const std::string& text);

// Opens a web address or a file with the desktop's handler (SDL_OpenURL,
// falling back to xdg-open started in the background with the target passed
// as a single argument, never through a shell). A plain path is turned into
// a file:// address. False when no handler could be started.
bool OpenWithDesktop(const std::string& target);

// Shows an error message box with an OK button over the window and waits for
// it. When message boxes are disabled (headless or scripted runs) or cannot
// be shown, the message goes to standard error instead.
void ShowErrorBox(SDL_Window* parent, const std::string& title, const std::string& message);
// Turns modal message boxes off or on for the whole process (headless runs).
void SetMessageBoxesEnabled(bool enabled);

// Folder of the running program with a trailing '/' ("./" if unknown).
std::string ProgramDir();
// True when a file can be created in the folder (tested by creating and
// removing a probe file).
bool IsFolderWritable(const std::string& dir);
// Creates a folder and its missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& dir);
// Per-user folder for the game's written files:
// $XDG_DATA_HOME/moswick/ (default ~/.local/share/moswick/), trailing '/'.
std::string UserDataDir();
// Per-user configuration folder: $XDG_CONFIG_HOME/moswick/ (default
// ~/.config/moswick/), trailing '/'.
std::string UserConfigDir();
// Appends '/' when the path does not end with one (empty stays empty).
std::string WithTrailingSlash(const std::string& dir);

}  // namespace Platform
