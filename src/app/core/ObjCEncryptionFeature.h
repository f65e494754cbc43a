#pragma once

#include <QObject>

// Whether the account may encrypt its items.
class ObjCEncryptionFeature : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled CONSTANT)

public:
    explicit ObjCEncryptionFeature(bool isEnabled, QObject* parent = nullptr)
        : QObject(parent), isEnabled_(isEnabled) {}

    bool isEnabled() const { return isEnabled_; }

private:
    const bool isEnabled_;
};
