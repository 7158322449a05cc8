#pragma once

// The OpenXR API as the layer, the fake runtime and the test harnesses use it: the
// SDK's core header plus the loader negotiation structures, which the SDK we build
// against does not install. Newer SDKs ship them with the same names and layout.
#include <openxr/openxr.h>

#include <cstddef>

#if __has_include(<openxr/openxr_loader_negotiation.h>)
#include <openxr/openxr_loader_negotiation.h>
#else

#define XR_CURRENT_LOADER_API_LAYER_VERSION 1
#define XR_CURRENT_LOADER_RUNTIME_VERSION 1
#define XR_LOADER_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_INFO_STRUCT_VERSION 1
#define XR_RUNTIME_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_NEXT_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_CREATE_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_MAX_SETTINGS_PATH_SIZE 512

extern "C" {

typedef enum XrLoaderInterfaceStructs {
  XR_LOADER_INTERFACE_STRUCT_UNINTIALIZED = 0,
  XR_LOADER_INTERFACE_STRUCT_LOADER_INFO,
  XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST,
  XR_LOADER_INTERFACE_STRUCT_RUNTIME_REQUEST,
  XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO,
  XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO,
} XrLoaderInterfaceStructs;

typedef struct XrNegotiateLoaderInfo {
  XrLoaderInterfaceStructs structType;
  uint32_t structVersion;
  size_t structSize;
  uint32_t minInterfaceVersion;
  uint32_t maxInterfaceVersion;
  XrVersion minApiVersion;
  XrVersion maxApiVersion;
} XrNegotiateLoaderInfo;

struct XrApiLayerCreateInfo;
typedef XrResult(XRAPI_PTR* PFN_xrCreateApiLayerInstance)(const XrInstanceCreateInfo* info,
                                                          const struct XrApiLayerCreateInfo* apiLayerInfo,
                                                          XrInstance* instance);

typedef struct XrNegotiateApiLayerRequest {
  XrLoaderInterfaceStructs structType;
  uint32_t structVersion;
  size_t structSize;
  uint32_t layerInterfaceVersion;
  XrVersion layerApiVersion;
  PFN_xrGetInstanceProcAddr getInstanceProcAddr;
  PFN_xrCreateApiLayerInstance createApiLayerInstance;
} XrNegotiateApiLayerRequest;

typedef struct XrNegotiateRuntimeRequest {
  XrLoaderInterfaceStructs structType;
  uint32_t structVersion;
  size_t structSize;
  uint32_t runtimeInterfaceVersion;
  XrVersion runtimeApiVersion;
  PFN_xrGetInstanceProcAddr getInstanceProcAddr;
} XrNegotiateRuntimeRequest;

typedef struct XrApiLayerNextInfo {
  XrLoaderInterfaceStructs structType;
  uint32_t structVersion;
  size_t structSize;
  char layerName[XR_MAX_API_LAYER_NAME_SIZE];
  PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr;
  PFN_xrCreateApiLayerInstance nextCreateApiLayerInstance;
  struct XrApiLayerNextInfo* next;
} XrApiLayerNextInfo;

typedef struct XrApiLayerCreateInfo {
  XrLoaderInterfaceStructs structType;
  uint32_t structVersion;
  size_t structSize;
  void* loaderInstance;
  char settings_file_location[XR_API_LAYER_MAX_SETTINGS_PATH_SIZE];
  XrApiLayerNextInfo* nextInfo;
} XrApiLayerCreateInfo;

typedef XrResult(XRAPI_PTR* PFN_xrNegotiateLoaderApiLayerInterface)(const XrNegotiateLoaderInfo* loaderInfo,
                                                                    const char* layerName,
                                                                    XrNegotiateApiLayerRequest* apiLayerRequest);
typedef XrResult(XRAPI_PTR* PFN_xrNegotiateLoaderRuntimeInterface)(const XrNegotiateLoaderInfo* loaderInfo,
                                                                   XrNegotiateRuntimeRequest* runtimeRequest);
}

#endif

// The sizes the loader passes and checks (x86-64).
static_assert(sizeof(XrNegotiateLoaderInfo) == 40);
static_assert(sizeof(XrNegotiateApiLayerRequest) == 48);
static_assert(sizeof(XrNegotiateRuntimeRequest) == 40);
static_assert(sizeof(XrApiLayerCreateInfo) == 544);
static_assert(offsetof(XrApiLayerCreateInfo, nextInfo) == 536);
static_assert(sizeof(XrApiLayerNextInfo) == 296);
static_assert(offsetof(XrApiLayerNextInfo, nextGetInstanceProcAddr) == 272);
static_assert(offsetof(XrApiLayerNextInfo, next) == 288);

// A zeroed OpenXR structure with its type set (aggregate initialisation of just the
// type would leave the compiler warning about every other member).
template <typename T>
T xrStruct(XrStructureType type) {
  T value{};
  value.type = type;
  return value;
}
