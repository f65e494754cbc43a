#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "frameworks/business/BackupFacade.h"
#include "frameworks/business/BackupSources.h"

class SerialQueue;
class ServiceClient;

// Which machine makes the backups: they are told apart by this identifier.
struct BackupDeviceIdentity {
    QString identifier;
    QString name;
    // The machine id (systemd's), else the host name.
    static BackupDeviceIdentity current();
};

// The backup service over the storage service's client. Backups go to the signed-in user's
// backups at the service (one per device and name, brought up to date by each run); restores write
// into the source folders and never replace a file there: a differing file of the same name is
// kept and the restored copy gets a new name ("photo (restored).jpg", "photo (restored 2).jpg");
// an identical file is left as it is. Every piece of work runs on the facade's own queue.
class OrvellaBackupFacade final : public BackupFacade {
public:
    // The signed-in user's name, read at each call; none while nobody is signed in.
    using UserNameProvider = std::function<std::optional<QString>()>;

    OrvellaBackupFacade(std::shared_ptr<ServiceClient> client, UserNameProvider userName,
                        BackupSources sources = BackupSources::fromEnvironment(),
                        BackupDeviceIdentity device = BackupDeviceIdentity::current());
    ~OrvellaBackupFacade() override;

    std::optional<BackupSettings> backupSettings(const QString& name, const OVBackupAndRestoreOptions& options,
                                                 bool keepDeletedItems) const override;
    std::optional<RestoreSettings> restoreSettings(const OVBackupAndRestoreOptions& options) const override;
    void preview(const BackupSettings& settings, PreviewProgressHandler progress,
                 std::function<void(BusinessResult<BackupPreview>)> completion) override;
    void backUp(const BackupPreview& preview, ProgressHandler progress,
                std::function<void(BusinessResult<BackupProcessReport>)> completion) override;
    void restore(const BackupObject& backup, const RestoreSettings& settings, ProgressHandler progress,
                 std::function<void(BusinessResult<BackupProcessReport>)> completion) override;
    void cancel(std::function<void()> completion = {}) override;
    void list(std::function<void(BusinessResult<std::vector<BackupObject>>)> completion) override;
    // Where the signed-in user's data lies when the service keeps it on this machine (its backups
    // are on the same volume); empty across the network and while nobody is signed in.
    QString destinationFolder() const override;

    // The name a restored copy gets when `path` is taken: "<stem> (restored)<suffix>", then
    // "<stem> (restored 2)<suffix>" and so on, the first one that does not exist.
    static QString freeRestoreName(const QString& path);

    struct Core;

private:
    template <typename Work>
    void submit(Work work);

    std::shared_ptr<Core> core_;
    std::unique_ptr<SerialQueue> queue_;
    // Lists answer while a long backup holds the work queue.
    std::unique_ptr<SerialQueue> listQueue_;
};
