#include "app/config/Api.h"

#include "app/config/ApiConfigurations.h"

std::unique_ptr<ApiProtocol> configuration(Api api) {
    using namespace ApiConfigurations;
    switch (api) {
    case Api::orvella: return std::make_unique<Orvella>();
    case Api::orvellaStaging: return std::make_unique<OrvellaStaging>();
    case Api::varno: return std::make_unique<Varno>();
    case Api::brimvale: return std::make_unique<Brimvale>();
    case Api::brimvaleStaging: return std::make_unique<BrimvaleStaging>();
    case Api::tallmere: return std::make_unique<Tallmere>();
    }
    // Only reachable with a value cast from outside the enumeration.
    return std::make_unique<Orvella>();
}
