#pragma once

#include <QString>

#include <functional>

#include "frameworks/business/BusinessError.h"

// What the sign-in page asks of the service. The completions may run on any thread.
struct SignInBackend {
    std::function<void(const QString& userName, const QString& password, std::function<void(VoidResult)>)> signIn;
    std::function<void(const QString& userName, const QString& mailAddress, const QString& password,
                       std::function<void(VoidResult)>)>
        createAccount;
    std::function<bool()> isReachable;
};
