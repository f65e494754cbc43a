#pragma once

#include <QObject>

// Whether the account may back up to the service.
class ObjCBackupFeature : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled CONSTANT)

public:
    explicit ObjCBackupFeature(bool isEnabled, QObject* parent = nullptr) : QObject(parent), isEnabled_(isEnabled) {}

    bool isEnabled() const { return isEnabled_; }

private:
    const bool isEnabled_;
};
