#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "frameworks/business/BackupTypes.h"
#include "frameworks/business/BusinessError.h"

// The business framework's backup service. Progress handlers and completions run on the service's
// own queue, never on the caller's; each operation calls its completion exactly once. Only one
// preview, backup or restore runs at a time; cancel() ends the running one with the cancellation
// error (BusinessError::Kind::cancelled).
class BackupFacade {
public:
    using PreviewProgressHandler = std::function<void(const OVProgress&)>;
    using ProgressHandler = std::function<void(const BackupProgress&)>;

    virtual ~BackupFacade() = default;

    // None for a blank name or when no category is chosen.
    virtual std::optional<BackupSettings> backupSettings(const QString& name, const OVBackupAndRestoreOptions& options,
                                                         bool keepDeletedItems) const = 0;
    // None when no category is chosen.
    virtual std::optional<RestoreSettings> restoreSettings(const OVBackupAndRestoreOptions& options) const = 0;

    virtual void preview(const BackupSettings& settings, PreviewProgressHandler progress,
                         std::function<void(BusinessResult<BackupPreview>)> completion) = 0;
    virtual void backUp(const BackupPreview& preview, ProgressHandler progress,
                        std::function<void(BusinessResult<BackupProcessReport>)> completion) = 0;
    virtual void restore(const BackupObject& backup, const RestoreSettings& settings, ProgressHandler progress,
                         std::function<void(BusinessResult<BackupProcessReport>)> completion) = 0;
    virtual void cancel(std::function<void()> completion = {}) = 0;
    virtual void list(std::function<void(BusinessResult<std::vector<BackupObject>>)> completion) = 0;
    // The local folder a backup writes into, which may not exist yet; empty when the service
    // writes nowhere on this machine.
    virtual QString destinationFolder() const { return {}; }
};
