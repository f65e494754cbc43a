#pragma once

#include <QString>

// A message-port server of the application: it owns the local port it opens.
class Server {
public:
    virtual ~Server() = default;
    // Opens a local port under the name and serves it on the main loop; false (logged) when the
    // port cannot be created.
    virtual bool addSourceForNewLocalMessagePort(const QString& name) = 0;
};
