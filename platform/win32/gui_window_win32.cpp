// The window on Windows: a Win32 window drawn by Direct3D 11 through Dear ImGui's
// Win32 and DX11 back-ends.

// windows.h first: the other Windows headers need its types.
// clang-format off
#include <windows.h>
// clang-format on

#include <d3d11.h>
#include <dwmapi.h>
#include <imgui.h>
#include <imgui_impl_dx11.h>
#include <imgui_impl_win32.h>

#include <chrono>

#include "platform/frame_pacer.h"
#include "platform/gui_window.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace platform {
namespace {

// Newer than some SDK headers.
constexpr DWORD kCaptionColor = 35;  // DWMWA_CAPTION_COLOR
constexpr DWORD kTextColor = 36;     // DWMWA_TEXT_COLOR
constexpr wchar_t kClassName[] = L"StrivoVR";

// The window procedure has no context pointer, so the device lives here (one window per process).
ID3D11Device* g_device = nullptr;
ID3D11DeviceContext* g_context = nullptr;
IDXGISwapChain* g_swapChain = nullptr;
ID3D11RenderTargetView* g_target = nullptr;

template <class T>
void release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

void createRenderTarget() {
  ID3D11Texture2D* backBuffer = nullptr;
  if (SUCCEEDED(g_swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)))) {
    g_device->CreateRenderTargetView(backBuffer, nullptr, &g_target);
    backBuffer->Release();
  }
}

bool createDevice(HWND window) {
  DXGI_SWAP_CHAIN_DESC sd{};
  sd.BufferCount = 2;
  sd.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  sd.BufferDesc.RefreshRate.Numerator = 60;
  sd.BufferDesc.RefreshRate.Denominator = 1;
  sd.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
  sd.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  sd.OutputWindow = window;
  sd.SampleDesc.Count = 1;
  sd.Windowed = TRUE;
  sd.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
  D3D_FEATURE_LEVEL level;
  if (FAILED(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 2, D3D11_SDK_VERSION,
                                           &sd, &g_swapChain, &g_device, &level, &g_context)))
    return false;
  createRenderTarget();
  return g_target != nullptr;
}

void releaseDevice() {
  release(g_target);
  release(g_swapChain);
  release(g_context);
  release(g_device);
}

LRESULT WINAPI windowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (ImGui_ImplWin32_WndProcHandler(window, msg, wParam, lParam)) return TRUE;
  switch (msg) {
    case WM_SIZE:
      if (g_device && wParam != SIZE_MINIMIZED) {
        release(g_target);
        g_swapChain->ResizeBuffers(0, LOWORD(lParam), HIWORD(lParam), DXGI_FORMAT_UNKNOWN, 0);
        createRenderTarget();
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xfff0) == SC_KEYMENU) return 0;  // Alt does not open the system menu
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, msg, wParam, lParam);
}

void* uploadTexture(int width, int height, const unsigned char* rgba) {
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = width;
  desc.Height = height;
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  D3D11_SUBRESOURCE_DATA data{};
  data.pSysMem = rgba;
  data.SysMemPitch = width * 4;
  ID3D11Texture2D* texture = nullptr;
  if (FAILED(g_device->CreateTexture2D(&desc, &data, &texture))) return nullptr;
  D3D11_SHADER_RESOURCE_VIEW_DESC view{};
  view.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  view.Texture2D.MipLevels = 1;
  ID3D11ShaderResourceView* resource = nullptr;
  g_device->CreateShaderResourceView(texture, &view, &resource);
  texture->Release();
  return resource;
}

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int runGuiWindow(const GuiWindowHooks& hooks) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  WNDCLASSEXW windowClass{sizeof(windowClass),
                          CS_CLASSDC,
                          windowProc,
                          0,
                          0,
                          instance,
                          icon,
                          LoadCursorA(nullptr, IDC_ARROW),
                          nullptr,
                          nullptr,
                          kClassName,
                          icon};
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowW(kClassName, L"StrivoVR", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 1200, 900,
                              nullptr, nullptr, instance, nullptr);
  if (!window) {
    UnregisterClassW(kClassName, instance);
    return 1;
  }
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  const COLORREF caption = RGB(0x0C, 0x10, 0x15), text = RGB(0xFF, 0xFF, 0xFF);
  DwmSetWindowAttribute(window, kCaptionColor, &caption, sizeof caption);  // failures are cosmetic
  DwmSetWindowAttribute(window, kTextColor, &text, sizeof text);

  if (!createDevice(window)) {
    releaseDevice();
    DestroyWindow(window);
    UnregisterClassW(kClassName, instance);
    return 1;
  }
  ShowWindow(window, SW_SHOWDEFAULT);
  UpdateWindow(window);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;  // every window of ours is fixed; nothing to remember
  if (hooks.setup) hooks.setup(uploadTexture);
  ImGui_ImplWin32_Init(window);
  ImGui_ImplDX11_Init(g_device, g_context);

  FramePacer pacer;
  bool done = false;
  double waitSeconds = 0;
  while (!done) {
    // Rest until a message comes or the pacer's wait is over.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(waitSeconds * 1000.0 + 0.999), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0U, 0U, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      pacer.noteEvent();
      if (msg.message == WM_QUIT) done = true;
    }
    if (done) break;
    const FramePacer::Decision decision =
        pacer.next(monotonicSeconds(), IsIconic(window), GetForegroundWindow() == window, hooks.contentChanged);
    waitSeconds = decision.waitSeconds;
    if (!decision.draw) continue;
    ImGui_ImplDX11_NewFrame();
    ImGui_ImplWin32_NewFrame();
    ImGui::NewFrame();
    if (hooks.drawFrame) hooks.drawFrame();
    ImGui::Render();
    const float clear[4] = {0.043f, 0.059f, 0.102f, 1.0f};
    g_context->OMSetRenderTargets(1, &g_target, nullptr);
    g_context->ClearRenderTargetView(g_target, clear);
    ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
    g_swapChain->Present(1, 0);
  }

  ImGui_ImplDX11_Shutdown();
  ImGui_ImplWin32_Shutdown();
  ImGui::DestroyContext();
  releaseDevice();
  DestroyWindow(window);
  UnregisterClassW(kClassName, instance);
  return 0;
}

}  // namespace platform
