#pragma once

#include <QObject>

// Switches the application's file-manager extension on and off.
class SyncExtensionController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isConverging READ isConverging NOTIFY isConvergingChanged)

public:
    static SyncExtensionController& shared();

    bool isConverging() const { return isConverging_; }
    // On when a user is signed in and badges are wanted; otherwise off.
    void updateExtensionState(bool enabled);
    void disableExtension();
    // The state last asked for (the switching itself arrives with the extension).
    bool requestedEnabled() const { return requestedEnabled_; }

signals:
    void isConvergingChanged();

private:
    SyncExtensionController() = default;
    bool isConverging_ = false;
    bool requestedEnabled_ = false;
};
