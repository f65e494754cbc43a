#include "app/sync/FinderSyncInstance.h"

#include "platform/messageport/MessagePort.h"

FinderSyncInstance::FinderSyncInstance(QString messagePortName, std::shared_ptr<MessagePort> messagePort)
    : messagePortName_(std::move(messagePortName)), messagePort_(std::move(messagePort)) {}

bool FinderSyncInstance::isValid() const { return messagePort_ && messagePort_->isValid(); }
