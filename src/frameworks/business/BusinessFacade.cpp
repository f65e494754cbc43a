#include "frameworks/business/BusinessFacade.h"

#include <stdexcept>

void BusinessFacade::setUpSync(SyncFacadeImplementation, const SyncFacadeConfiguration&) {
    throw std::runtime_error("This facade cannot set up sync");
}

void BusinessUser::importCryptoKey(const QString&, const QString&, std::function<void(VoidResult)> completion) const {
    if (completion) completion(BusinessError::genericError(QStringLiteral("This account cannot hold encryption keys.")));
}
