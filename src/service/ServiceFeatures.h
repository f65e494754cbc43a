#pragma once

#include <optional>

// What an account may use. A part the service leaves out is absent, not switched off.
struct ServiceFeatures {
    struct Sharing {
        bool directorySharing = true;
        bool fileSharing = true;
        bool shareEmailViaBackend = true;
        bool operator==(const Sharing&) const = default;
    };
    std::optional<bool> backupEnabled;
    std::optional<bool> encryptionEnabled;
    std::optional<Sharing> sharing;

    // A new account's set: backup on, no encryption part, every kind of sharing on.
    static ServiceFeatures defaults() {
        ServiceFeatures features;
        features.backupEnabled = true;
        features.sharing = Sharing{};
        return features;
    }
    bool operator==(const ServiceFeatures&) const = default;
};
