#include "frameworks/business/BusinessFacade.h"

#include <stdexcept>

void BusinessFacade::setUpSync(SyncFacadeImplementation, const SyncFacadeConfiguration&) {
    throw std::runtime_error("This facade cannot set up sync");
}
