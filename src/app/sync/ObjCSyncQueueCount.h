#pragma once

#include <QObject>

#include "frameworks/sync/SyncTypes.h"

// The transfer progress in both directions, for the menu's bindings. The object itself stays for
// the controller's life (observers hold on to it); its two progress values are replaced as the
// engine reports them.
class ObjCSyncQueueCount : public QObject {
    Q_OBJECT
    Q_PROPERTY(SyncProgress download READ download WRITE setDownload NOTIFY downloadChanged)
    Q_PROPERTY(SyncProgress upload READ upload WRITE setUpload NOTIFY uploadChanged)

public:
    explicit ObjCSyncQueueCount(QObject* parent = nullptr) : QObject(parent) {}

    SyncProgress download() const { return download_; }
    SyncProgress upload() const { return upload_; }
    // Each signals only when the value differs from the one held.
    void setDownload(const SyncProgress& progress);
    void setUpload(const SyncProgress& progress);

signals:
    void downloadChanged();
    void uploadChanged();

private:
    SyncProgress download_;
    SyncProgress upload_;
};
