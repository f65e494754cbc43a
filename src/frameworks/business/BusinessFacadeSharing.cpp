#include "frameworks/business/BasicItem.h"
#include "frameworks/business/BusinessFacade.h"
#include "platform/foundation/MainQueue.h"

void BusinessFacade::sharedItems(std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion) {
    MainQueue::async([completion = std::move(completion)] {
        if (completion) completion(BusinessError::make(BusinessError::Kind::notSupported));
    });
}

std::shared_ptr<BasicItem> BusinessFacade::makeLocalItem(const QString&, bool) const { return nullptr; }
