#include "layer/hooked_functions.h"

#include <cstring>

namespace xrlayer {

DispatchRecord fetchDispatch(PFN_xrGetInstanceProcAddr next, XrInstance instance) {
  DispatchRecord record;
  record.GetInstanceProcAddr = next;
#define STRIVO_FETCH(name)                                                                                           \
  {                                                                                                                  \
    PFN_xrVoidFunction function = nullptr;                                                                           \
    if (next(instance, "xr" #name, &function) == XR_SUCCESS) record.name = reinterpret_cast<PFN_xr##name>(function); \
  }
  STRIVO_XR_NEXT_FUNCTIONS(STRIVO_FETCH)
#undef STRIVO_FETCH
  return record;
}

PFN_xrVoidFunction hookedFunction(const char* name) {
  struct Entry {
    const char* name;
    PFN_xrVoidFunction function;
  };
  static const Entry kEntries[] = {
#define STRIVO_ENTRY(fn) {"xr" #fn, reinterpret_cast<PFN_xrVoidFunction>(static_cast<PFN_xr##fn>(&hooks::fn))},
      STRIVO_XR_HOOKED_FUNCTIONS(STRIVO_ENTRY)
#undef STRIVO_ENTRY
  };
  for (const Entry& entry : kEntries) {
    if (std::strcmp(entry.name, name) == 0) return entry.function;
  }
  return nullptr;
}

}  // namespace xrlayer
