#include <cstdio>
#include <vector>

#include "platform/shared_library.h"
#include "testing/xr_game/xr_chain.h"

namespace testsupport {
namespace {

class HarnessChain;
HarnessChain* current = nullptr;  // the create-instance entry is a plain function

class HarnessChain : public XrChain {
 public:
  explicit HarnessChain(int layerCopies) {
    current = this;
    if (!layer_.load(STRIVO_LAYER_LIBRARY)) {
      error_ = "layer: " + layer_.error();
      return;
    }
    if (!runtimeLibrary_.load(STRIVO_FAKE_XR_RUNTIME)) {
      error_ = "runtime: " + runtimeLibrary_.error();
      return;
    }
    if (!control_.load([this](const char* name) { return runtimeLibrary_.symbol(name); })) {
      error_ = "runtime: control functions missing";
      return;
    }
    const XrNegotiateLoaderInfo info = loaderInfo();
    auto negotiateLayer =
        reinterpret_cast<PFN_xrNegotiateLoaderApiLayerInterface>(layer_.symbol("xrNegotiateLoaderApiLayerInterface"));
    XrNegotiateApiLayerRequest layerRequest{};
    layerRequest.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST;
    layerRequest.structVersion = 1;
    layerRequest.structSize = sizeof layerRequest;
    if (!negotiateLayer || negotiateLayer(&info, "XR_APILAYER_STRIVO_input", &layerRequest) != XR_SUCCESS) {
      error_ = "layer negotiation failed";
      return;
    }
    auto negotiateRuntime = reinterpret_cast<PFN_xrNegotiateLoaderRuntimeInterface>(
        runtimeLibrary_.symbol("xrNegotiateLoaderRuntimeInterface"));
    XrNegotiateRuntimeRequest runtimeRequest{};
    runtimeRequest.structType = XR_LOADER_INTERFACE_STRUCT_RUNTIME_REQUEST;
    runtimeRequest.structVersion = 1;
    runtimeRequest.structSize = sizeof runtimeRequest;
    if (!negotiateRuntime || negotiateRuntime(&info, &runtimeRequest) != XR_SUCCESS) {
      error_ = "runtime negotiation failed";
      return;
    }
    layerProcAddr_ = layerRequest.getInstanceProcAddr;
    layerCreate_ = layerRequest.createApiLayerInstance;
    runtimeProcAddr_ = runtimeRequest.getInstanceProcAddr;
    // The chain below the top layer: further copies of the layer, then the runtime.
    nextInfos_.resize(layerCopies);
    for (int i = 0; i < layerCopies; ++i) {
      XrApiLayerNextInfo& next = nextInfos_[i];
      next.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO;
      next.structVersion = 1;
      next.structSize = sizeof next;
      const bool last = i + 1 == layerCopies;
      std::snprintf(next.layerName, sizeof next.layerName, "%s", last ? "runtime" : "XR_APILAYER_STRIVO_input");
      next.nextGetInstanceProcAddr = last ? runtimeProcAddr_ : layerProcAddr_;
      next.nextCreateApiLayerInstance = last ? &terminatorCreate : layerCreate_;
      next.next = last ? nullptr : &nextInfos_[i + 1];
    }
  }
  ~HarnessChain() override { current = nullptr; }

  PFN_xrGetInstanceProcAddr getProcAddr() override { return layerProcAddr_; }
  XrGame::CreateInstance createInstance() override { return &createThroughChain; }
  FakeRuntimeControl& runtime() override { return control_; }
  const std::string& error() const override { return error_; }

 private:
  static XrNegotiateLoaderInfo loaderInfo() {
    XrNegotiateLoaderInfo info{};
    info.structType = XR_LOADER_INTERFACE_STRUCT_LOADER_INFO;
    info.structVersion = 1;
    info.structSize = sizeof info;
    info.minInterfaceVersion = 1;
    info.maxInterfaceVersion = 1;
    info.minApiVersion = XR_MAKE_VERSION(1, 0, 0);
    info.maxApiVersion = XR_MAKE_VERSION(1, 1023, 4095);
    return info;
  }

  static XrResult XRAPI_CALL createThroughChain(const XrInstanceCreateInfo* info, XrInstance* instance) {
    XrApiLayerCreateInfo layerInfo{};
    layerInfo.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO;
    layerInfo.structVersion = 1;
    layerInfo.structSize = sizeof layerInfo;
    layerInfo.nextInfo = current->nextInfos_.data();
    return current->layerCreate_(info, &layerInfo, instance);
  }

  // Stands where the loader's own terminator stands: every layer above must have
  // stepped along the next-info chain to its end.
  static XrResult XRAPI_CALL terminatorCreate(const XrInstanceCreateInfo* info, const XrApiLayerCreateInfo* layerInfo,
                                              XrInstance* instance) {
    if (!layerInfo || layerInfo->nextInfo != nullptr) return XR_ERROR_INITIALIZATION_FAILED;
    PFN_xrVoidFunction create = nullptr;
    current->runtimeProcAddr_(XR_NULL_HANDLE, "xrCreateInstance", &create);
    return reinterpret_cast<PFN_xrCreateInstance>(create)(info, instance);
  }

  platform::SharedLibrary layer_;
  platform::SharedLibrary runtimeLibrary_;
  FakeRuntimeControl control_;
  PFN_xrGetInstanceProcAddr layerProcAddr_ = nullptr;
  PFN_xrCreateApiLayerInstance layerCreate_ = nullptr;
  PFN_xrGetInstanceProcAddr runtimeProcAddr_ = nullptr;
  std::vector<XrApiLayerNextInfo> nextInfos_;
  std::string error_;
};

}  // namespace

std::unique_ptr<XrChain> makeHarnessChain(int layerCopies) { return std::make_unique<HarnessChain>(layerCopies); }

std::string builtLayerLibrary() { return STRIVO_LAYER_LIBRARY; }

}  // namespace testsupport
