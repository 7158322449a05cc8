#pragma once

#include "common/xr/openxr_api.h"

namespace xrlayer {

inline constexpr char kLayerName[] = "XR_APILAYER_STRIVO_input";
inline constexpr char kLayerDescription[] = "Strivo OpenXR Input Injection Layer";
inline constexpr XrVersion kLayerApiVersion = XR_MAKE_VERSION(1, 0, 34);
inline constexpr uint32_t kLayerImplementationVersion = 1;
inline constexpr uint32_t kLoaderInterfaceVersion = 1;

static_assert(kLayerApiVersion == 0x0001000000000022);

}  // namespace xrlayer
