#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <optional>

#include "frameworks/business/BusinessError.h"
#include "service/ServiceClient.h"

class SerialQueue;

// One signed-in session as the user, its folders and its shared items reach the service. The
// client holds whichever session is signed in now; an object of an earlier session must not act
// in a later one, so each request asks `ended()` first. Sign-in and sign-out run on `queue` like
// those requests, so the answer holds for the request's whole turn.
struct OrvellaSession {
    std::shared_ptr<ServiceClient> client;
    std::shared_ptr<SerialQueue> queue;  // the facade's worker queue
    QString userName;
    std::atomic<bool> current{true};

    // invalidSession once the user signed out, the session ended or someone else signed in.
    std::optional<BusinessError> ended() const {
        if (current.load()) return std::nullopt;
        return BusinessError::make(BusinessError::Kind::invalidSession);
    }
};
