#pragma once

#include <QObject>

// The signed-in account's storage quota.
class QuotaController : public QObject {
    Q_OBJECT

public:
    explicit QuotaController(QObject* parent = nullptr) : QObject(parent) {}
};
