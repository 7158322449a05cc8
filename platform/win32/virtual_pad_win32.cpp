#include <windows.h>

#include "platform/virtual_pad.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

// The bus driver's client library, loaded at run time so the program starts (with
// the pad unavailable) on machines without it.
class ViGEmClientBus final : public VirtualPadBus {
 public:
  explicit ViGEmClientBus(std::string path) : path_(std::move(path)) {}
  ~ViGEmClientBus() override {
    if (module_) ::FreeLibrary(module_);
  }

  Handle alloc() override { return load() ? api_.alloc() : nullptr; }
  void free(Handle client) override {
    if (loaded_ && client) api_.free(client);
  }
  std::uint32_t connect(Handle client) override { return loaded_ && client ? api_.connect(client) : kErrorBusNotFound; }
  void disconnect(Handle client) override {
    if (loaded_ && client) api_.disconnect(client);
  }
  Handle targetX360Alloc() override { return loaded_ ? api_.targetX360Alloc() : nullptr; }
  void targetFree(Handle target) override {
    if (loaded_ && target) api_.targetFree(target);
  }
  std::uint32_t targetAdd(Handle client, Handle target) override {
    return loaded_ && client && target ? api_.targetAdd(client, target) : kErrorBusNotFound;
  }
  std::uint32_t targetRemove(Handle client, Handle target) override {
    return loaded_ && client && target ? api_.targetRemove(client, target) : kErrorBusNotFound;
  }
  std::uint32_t targetX360Update(Handle client, Handle target, const XusbReport& report) override {
    return loaded_ && client && target ? api_.targetX360Update(client, target, report) : kErrorBusNotFound;
  }

 private:
  // The library's C interface (its enum error type is 32 bits wide).
  struct Api {
    Handle (*alloc)();
    void (*free)(Handle);
    std::uint32_t (*connect)(Handle);
    void (*disconnect)(Handle);
    Handle (*targetX360Alloc)();
    void (*targetFree)(Handle);
    std::uint32_t (*targetAdd)(Handle, Handle);
    std::uint32_t (*targetRemove)(Handle, Handle);
    std::uint32_t (*targetX360Update)(Handle, Handle, XusbReport);
  };

  template <class F>
  bool bind(F& slot, const char* name) {
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    return slot != nullptr;
  }

  // Loads the library; a library without every operation counts as absent. Tried
  // again on each client allocation until it loads, so a driver installed while the
  // program runs is found the next time the pad is selected.
  bool load() {
    if (loaded_) return true;
    module_ = ::LoadLibraryW(win32::widen(path_).c_str());
    if (!module_) return false;
    loaded_ = bind(api_.alloc, "vigem_alloc") && bind(api_.free, "vigem_free") && bind(api_.connect, "vigem_connect") &&
              bind(api_.disconnect, "vigem_disconnect") && bind(api_.targetX360Alloc, "vigem_target_x360_alloc") &&
              bind(api_.targetFree, "vigem_target_free") && bind(api_.targetAdd, "vigem_target_add") &&
              bind(api_.targetRemove, "vigem_target_remove") && bind(api_.targetX360Update, "vigem_target_x360_update");
    if (!loaded_) {
      ::FreeLibrary(module_);
      module_ = nullptr;
    }
    return loaded_;
  }

  std::string path_;
  HMODULE module_ = nullptr;
  bool loaded_ = false;
  Api api_{};
};

}  // namespace

std::unique_ptr<VirtualPadBus> createVirtualPadBus(const std::string& location) {
  return std::make_unique<ViGEmClientBus>(location.empty() ? "ViGEmClient.dll" : location);
}

}  // namespace platform
