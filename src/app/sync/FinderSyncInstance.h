#pragma once

#include <QString>

#include <memory>

class MessagePort;

// A registered extension instance: its port name and the send port to it, which it owns.
class FinderSyncInstance {
public:
    FinderSyncInstance(QString messagePortName, std::shared_ptr<MessagePort> messagePort);

    const QString& messagePortName() const { return messagePortName_; }
    MessagePort& messagePort() const { return *messagePort_; }
    // Whether the instance still serves its port.
    bool isValid() const;

private:
    QString messagePortName_;
    std::shared_ptr<MessagePort> messagePort_;
};
