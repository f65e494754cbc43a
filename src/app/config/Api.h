#pragma once

#include <array>
#include <memory>

#include "app/config/ApiProtocol.h"

// The brands and environments of the service. This build always uses `orvella`.
enum class Api { orvella, orvellaStaging, varno, brimvale, brimvaleStaging, tallmere };

inline constexpr std::array<Api, 6> allApis{Api::orvella,  Api::orvellaStaging,  Api::varno,
                                            Api::brimvale, Api::brimvaleStaging, Api::tallmere};

// A new configuration value of `api`; never null.
std::unique_ptr<ApiProtocol> configuration(Api api);
