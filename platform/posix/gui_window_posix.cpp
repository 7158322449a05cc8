// The window on Linux: SDL2 + OpenGL 3 through Dear ImGui's SDL2 and OpenGL 3 back-ends.
#include <SDL.h>
#include <SDL_opengl.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "platform/frame_pacer.h"
#include "platform/gui_window.h"

namespace platform {
namespace {

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void* uploadTexture(int width, int height, const unsigned char* rgba) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  if (texture == 0) return nullptr;
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(texture));
}

}  // namespace

int runGuiWindow(const GuiWindowHooks& hooks) {
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "[Main] Window: SDL could not start: %s\n", SDL_GetError());
    return 1;
  }
  // Without a display SDL may fall back to its invisible off-screen driver; a
  // window nobody can see is no window, unless that driver was asked for.
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
  if (invisible && !SDL_getenv("SDL_VIDEODRIVER")) {
    std::fprintf(stderr, "[Main] Window: no display to open a window on.\n");
    SDL_Quit();
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("StrivoVR", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1200, 900,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "[Main] Window: no OpenGL 3 context: %s\n", SDL_GetError());
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    return 1;
  }
  SDL_GL_MakeCurrent(window, context);
  SDL_GL_SetSwapInterval(1);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;  // every window of ours is fixed; nothing to remember
  if (hooks.setup) hooks.setup(uploadTexture);
  ImGui_ImplSDL2_InitForOpenGL(window, context);
  ImGui_ImplOpenGL3_Init("#version 150");

  FramePacer pacer;
  bool done = false;
  double waitSeconds = 0;
  while (!done) {
    SDL_Event event;
    // Rest on the event queue until an event comes or the pacer's wait is over.
    bool got = SDL_WaitEventTimeout(&event, static_cast<int>(waitSeconds * 1000.0 + 0.999)) != 0;
    while (got) {
      ImGui_ImplSDL2_ProcessEvent(&event);
      pacer.noteEvent();
      if (event.type == SDL_QUIT) done = true;
      if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
          event.window.windowID == SDL_GetWindowID(window))
        done = true;
      got = SDL_PollEvent(&event) != 0;
    }
    if (done) break;
    const Uint32 flags = SDL_GetWindowFlags(window);
    const FramePacer::Decision decision = pacer.next(monotonicSeconds(), flags & SDL_WINDOW_MINIMIZED,
                                                     flags & SDL_WINDOW_INPUT_FOCUS, hooks.contentChanged);
    waitSeconds = decision.waitSeconds;
    if (!decision.draw) continue;
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    if (hooks.drawFrame) hooks.drawFrame();
    ImGui::Render();
    const ImGuiIO& io = ImGui::GetIO();
    glViewport(0, 0, static_cast<int>(io.DisplaySize.x * io.DisplayFramebufferScale.x),
               static_cast<int>(io.DisplaySize.y * io.DisplayFramebufferScale.y));
    glClearColor(0.043f, 0.059f, 0.102f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window);
  }

  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}

}  // namespace platform
