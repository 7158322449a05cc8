#pragma once

#include <functional>

namespace platform {

// Turns RGBA pixels (4 bytes each, rows top to bottom) into a texture the
// window's renderer can draw (an ImTextureID); null on failure.
using TextureUpload = std::function<void*(int width, int height, const unsigned char* rgba)>;

struct GuiWindowHooks {
  // Called once after the user-interface context exists and before its back-ends
  // start: load fonts, apply the style, upload textures.
  std::function<void(const TextureUpload& upload)> setup;
  // Lays out one frame (between the library's NewFrame and Render).
  std::function<void()> drawFrame;
  // Whether something the window shows changed since the last frame (a live
  // value, a log line, a prompt, plot data); the loop draws only then, after
  // input events, or to settle. Empty: the content changes all the time.
  std::function<bool()> contentChanged;
};

// Opens the program's window "StrivoVR" (1200 x 900) with Dear ImGui on the
// platform's graphics back-end (Win32 + Direct3D 11 on Windows, SDL2 + OpenGL 3
// elsewhere) and runs its render loop until the window is closed. Returns 0, or
// 1 when the graphics device (or context) could not be created. The loop rests
// on the event queue between frames (see FramePacer).
int runGuiWindow(const GuiWindowHooks& hooks);

}  // namespace platform
