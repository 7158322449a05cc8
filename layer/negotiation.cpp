// The library's two exports and the entries it hands the loader: negotiation,
// instance creation down the chain, and function lookup.
#include <cstring>
#include <mutex>

#include "layer/layer_identity.h"
#include "layer/layer_state.h"

namespace xrlayer {
namespace {

XRAPI_ATTR XrResult XRAPI_CALL getInstanceProcAddr(XrInstance instance, const char* name, PFN_xrVoidFunction* function);

bool validCreateInfo(const XrApiLayerCreateInfo* info) {
  return info && info->structType == XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO && info->structVersion == 1 &&
         info->structSize == sizeof(XrApiLayerCreateInfo);
}

bool validNextInfo(const XrApiLayerNextInfo* next) {
  return next && next->structType == XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO && next->structVersion == 1 &&
         next->structSize == sizeof(XrApiLayerNextInfo);
}

XRAPI_ATTR XrResult XRAPI_CALL createApiLayerInstance(const XrInstanceCreateInfo* info,
                                                      const XrApiLayerCreateInfo* layerInfo, XrInstance* instance) {
  if (!validCreateInfo(layerInfo) || !validNextInfo(layerInfo->nextInfo)) return XR_ERROR_INITIALIZATION_FAILED;
  // The same library found through two manifests sits twice in the chain and shares
  // these tables; calling into our own copy again would make every call recurse, so
  // step over the duplicates to the first entry that is someone else.
  const XrApiLayerNextInfo* next = layerInfo->nextInfo;
  while (next->nextCreateApiLayerInstance == &createApiLayerInstance) {
    if (!validNextInfo(next->next)) return XR_ERROR_INITIALIZATION_FAILED;
    next = next->next;
  }
  if (!next->nextCreateApiLayerInstance || !next->nextGetInstanceProcAddr) return XR_ERROR_INITIALIZATION_FAILED;

  XrApiLayerCreateInfo down = *layerInfo;
  down.nextInfo = next->next;
  const XrResult result = next->nextCreateApiLayerInstance(info, &down, instance);
  if (result != XR_SUCCESS) return result;

  const DispatchRecord dispatch = fetchDispatch(next->nextGetInstanceProcAddr, *instance);
  {
    LayerState& state = layerState();
    std::unique_lock guard(state.lock);
    state.instances[*instance] = dispatch;
    state.injections[*instance] = InjectionState{};
  }
  mapSharedSections();
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL getInstanceProcAddr(XrInstance instance, const char* name,
                                                   PFN_xrVoidFunction* function) {
  if (!name || !function) return XR_ERROR_VALIDATION_FAILURE;
  if (PFN_xrVoidFunction hooked = hookedFunction(name)) {
    *function = hooked;
    return XR_SUCCESS;
  }
  if (instance == XR_NULL_HANDLE) {
    *function = nullptr;
    return XR_ERROR_FUNCTION_UNSUPPORTED;
  }
  // The instance's own chain when it is known; otherwise the first recorded one.
  std::optional<DispatchRecord> dispatch = dispatchFor(instance);
  if (!dispatch) dispatch = firstDispatch();
  if (!dispatch || !dispatch->GetInstanceProcAddr) {
    *function = nullptr;
    return XR_ERROR_FUNCTION_UNSUPPORTED;
  }
  return dispatch->GetInstanceProcAddr(instance, name, function);
}

}  // namespace

namespace hooks {

XRAPI_ATTR XrResult XRAPI_CALL EnumerateApiLayerProperties(uint32_t capacity, uint32_t* count,
                                                           XrApiLayerProperties* properties) {
  if (count) *count = 1;
  if (capacity == 0 || !properties) return XR_SUCCESS;
  XrApiLayerProperties& first = properties[0];
  first.type = XR_TYPE_API_LAYER_PROPERTIES;
  first.next = nullptr;
  std::strncpy(first.layerName, kLayerName, sizeof first.layerName - 1);
  first.layerName[sizeof first.layerName - 1] = '\0';
  first.specVersion = kLayerApiVersion;
  first.layerVersion = kLayerImplementationVersion;
  std::strncpy(first.description, kLayerDescription, sizeof first.description - 1);
  first.description[sizeof first.description - 1] = '\0';
  return XR_SUCCESS;
}

}  // namespace hooks
}  // namespace xrlayer

extern "C" {

// Exported through exports.map (Linux) and exports.def (Windows); nothing else is.
XRAPI_ATTR XrResult XRAPI_CALL xrNegotiateLoaderApiLayerInterface(const XrNegotiateLoaderInfo* loaderInfo,
                                                                  const char* layerName,
                                                                  XrNegotiateApiLayerRequest* request) {
  if (!loaderInfo || loaderInfo->structType != XR_LOADER_INTERFACE_STRUCT_LOADER_INFO ||
      loaderInfo->structVersion != 1 || loaderInfo->structSize != sizeof(XrNegotiateLoaderInfo)) {
    return XR_ERROR_INITIALIZATION_FAILED;
  }
  if (!request || request->structType != XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST ||
      request->structSize != sizeof(XrNegotiateApiLayerRequest)) {
    return XR_ERROR_INITIALIZATION_FAILED;
  }
  request->layerInterfaceVersion = xrlayer::kLoaderInterfaceVersion;
  request->layerApiVersion = xrlayer::kLayerApiVersion;
  request->getInstanceProcAddr = &xrlayer::getInstanceProcAddr;
  request->createApiLayerInstance = &xrlayer::createApiLayerInstance;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL xrEnumerateApiLayerProperties(uint32_t capacity, uint32_t* count,
                                                             XrApiLayerProperties* properties) {
  return xrlayer::hooks::EnumerateApiLayerProperties(capacity, count, properties);
}
}
