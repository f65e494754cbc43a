#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "app/common/LocalizationController.h"
#include "platform/foundation/MountTable.h"
#include "app/shell/onboarding/InfoViewController.h"
#include "app/sync/FileController.h"

class OVFileSystemMetadataController;
class QMenu;
class QPushButton;

// The onboarding page on which the user chooses the sync folder's parent (the setting `syncRoot`).
// Every candidate is checked; a refusal is explained and the folder chooser comes back. A folder
// itself named "Orvella" is only taken after the user agreed to move its content into the new
// sync folder inside it. Main thread only.
class SyncRootSelectionViewController : public InfoViewController {
    Q_OBJECT

public:
    enum class RootDirectorySelectionError {
        incompatibleVolume,
        volumeNotLocal,
        anotherUserOwns,
        childOfAnotherRootFolder,
        notWritable,
        systemLocation,
    };

    // What the check reads of a folder and its volume; an absent value counts as false.
    struct FolderResourceValues {
        std::optional<bool> volumeSupportsPersistentIDs;
        std::optional<bool> volumeIsInternal;
        std::optional<bool> isWritable;
        std::optional<bool> volumeIsEjectable;
        std::optional<bool> volumeIsLocal;
        std::optional<bool> isUbiquitousItem;
        std::optional<bool> isSystemLocation;
    };
    // The values, or why they cannot be read.
    using FolderResourceReader = std::function<std::variant<FolderResourceValues, QString>(const QString& folder)>;

    // The outcome of the folder check: passed, refused for one of the page's own reasons, or the
    // folder's values could not be read.
    struct RootDirectoryCheck {
        std::optional<RootDirectorySelectionError> refusal;
        std::optional<QString> readFailure;
        bool isPassed() const { return !refusal && !readFailure; }
    };

    explicit SyncRootSelectionViewController(std::shared_ptr<OVFileSystemMetadataController> metadataController = nullptr,
                                             QWidget* parent = nullptr);
    ~SyncRootSelectionViewController() override;

    QMenu* syncRootMenu() const { return syncRootMenu_; }
    QPushButton* syncRootButton() const { return syncRootButton_; }
    const LocalizationController& l10n() const { return l10n_; }
    const FileController& fileController() const { return fileController_; }
    const std::shared_ptr<OVFileSystemMetadataController>& fileSystemMetadataController() const {
        return fileSystemMetadataController_;
    }

    // The folder chooser: after the first menu item's action, a directory chooser starting in the
    // real home folder, modal to the page's window; the chosen folder is checked, confirmed and
    // stored. Without a window only the first step runs.
    void showOpenPanel(QObject* sender);
    RootDirectoryCheck checkRootDirectory(const QString& folder) const;
    // The refusal's alert: a sheet on `window` that brings the chooser back when it ends, else
    // application-modal followed by showOpenPanel.
    void showRootDirectoryError(RootDirectorySelectionError error, QWidget* window);
    // Asks before a folder named "Orvella" is used: (accepted, move). Other folders are accepted
    // without a move at once. A sheet on the page's window, else application-modal.
    void confirmSyncFolderLocation(const QString& path, std::function<void(bool accepted, bool move)> completion);
    // Stores an accepted choice, moving the folder's content into its sync folder when asked.
    // Completes with false, after telling the user what stayed behind, when the move fell short.
    void setSyncRoot(bool accepted, bool move, std::function<void(bool)> completion, const QString& folder);

    // The page's window: the window it is shown in; none for a page that is not on screen.
    QWidget* hostWindow() const;
    // The first menu item names the stored folder.
    void updateSyncRootMenu();

    static std::variant<FolderResourceValues, QString> readFolderResourceValues(const QString& folder);
    // The file-system type of the mount holding `path` (from the process's mount table); empty when unknown.
    static QString fileSystemType(const QString& path);
    // The mount holding `path`; empty fields when unknown.
    static MountTable::Mount mountOf(const QString& path);
    // A file system the kernel makes up (proc, sysfs, cgroup, ...), the root folder, or a folder of
    // the operating system's own ("/usr", "/etc", ...) on the same volume as that folder: nothing
    // the user's files belong in. A folder inside `homePath` is the user's, wherever home lies.
    static bool isSystemLocation(const QString& canonicalPath, const MountTable::Mount& mount, const QString& homePath);
    static bool isNetworkFileSystem(const QString& type);
    static bool hasPersistentFileIdentifiers(const QString& type);

    // Tests read folders through their own reader; an empty function brings the real one back.
    static void setFolderResourceReaderForTesting(FolderResourceReader reader);
    // Tests answer the folder chooser: the chosen folder, or none for cancel; given the folder it
    // starts in. While one is set no dialog is shown; the answer still arrives later.
    static void setOpenPanelResponderForTesting(std::function<std::optional<QString>(const QString& startFolder)> responder);

    static QString errorName(RootDirectorySelectionError error);

protected:
    void updateTexts(const Info* model) override;

private:
    void applyChosenFolder(const QString& folder);

    QMenu* syncRootMenu_ = nullptr;
    QPushButton* syncRootButton_ = nullptr;
    LocalizationController l10n_;
    FileController fileController_;
    std::shared_ptr<OVFileSystemMetadataController> fileSystemMetadataController_;
};
