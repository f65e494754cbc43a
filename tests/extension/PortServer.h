#pragma once

#include <QThread>

#include <memory>

#include "platform/messageport/MessagePort.h"

// Serves a local port on a thread of its own, as another process would: the test's main thread may
// then block in a request to it.
class PortServer {
public:
    PortServer(const QString& name, MessagePort::Callback callback) {
        thread_.start();
        QObject context;
        context.moveToThread(&thread_);
        QMetaObject::invokeMethod(
            &context, [&] { port_ = MessagePort::createLocal(name, std::move(callback)); },
            Qt::BlockingQueuedConnection);
    }
    ~PortServer() { stop(); }
    bool isServing() const { return port_ != nullptr; }
    // Closes the port on its own thread, as a process quitting would.
    void stop() {
        if (!thread_.isRunning()) return;
        QObject context;
        context.moveToThread(&thread_);
        QMetaObject::invokeMethod(&context, [&] { port_.reset(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }

private:
    QThread thread_;
    std::shared_ptr<MessagePort> port_;
};
