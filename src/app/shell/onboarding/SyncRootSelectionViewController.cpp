#include "app/shell/onboarding/SyncRootSelectionViewController.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

#include "app/common/LogChannels.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/shell/onboarding/OnboardingPages.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/MountTable.h"

namespace {

std::mutex hooksMutex;
SyncRootSelectionViewController::FolderResourceReader& readerHook() {
    static SyncRootSelectionViewController::FolderResourceReader value;
    return value;
}
std::function<std::optional<QString>(const QString&)>& openPanelHook() {
    static std::function<std::optional<QString>(const QString&)> value;
    return value;
}

}  // namespace

SyncRootSelectionViewController::SyncRootSelectionViewController(
    std::shared_ptr<OVFileSystemMetadataController> metadataController, QWidget* parent)
    : InfoViewController(parent), fileSystemMetadataController_(std::move(metadataController)) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* label = new QLabel(l10n_.obLabelRootSyncSelectionFolderLocation(), this);
    label->setObjectName(QStringLiteral("folderLocationLabel"));
    row->addWidget(label);
    syncRootButton_ = new QPushButton(this);
    syncRootButton_->setObjectName(QStringLiteral("syncRootButton"));
    syncRootButton_->setMinimumWidth(220);
    syncRootMenu_ = new QMenu(syncRootButton_);
    syncRootMenu_->setObjectName(QStringLiteral("syncRootMenu"));
    QAction* current = syncRootMenu_->addAction(QString());
    connect(current, &QAction::triggered, this, [this] {
        const auto root = SettingsController().settings()->syncRoot();
        syncRootButton_->setText(root ? QFileInfo(*root).fileName().isEmpty() ? *root : QFileInfo(*root).fileName()
                                      : QString());
        syncRootButton_->setToolTip(root.value_or(QString()));
    });
    syncRootMenu_->addSeparator();
    QAction* other = syncRootMenu_->addAction(l10n_.obMenuItemOtherFolder());
    other->setObjectName(QStringLiteral("otherFolderItem"));
    connect(other, &QAction::triggered, this, [this] { showOpenPanel(this); });
    syncRootButton_->setMenu(syncRootMenu_);
    row->addWidget(syncRootButton_);
    row->addStretch(1);
    addContentLayout(row);
    updateSyncRootMenu();
}

SyncRootSelectionViewController::~SyncRootSelectionViewController() = default;

void SyncRootSelectionViewController::updateTexts(const Info* model) {
    InfoViewController::updateTexts(model);
    // The page model carries no texts of its own: the page's are the ones to show.
    if (!model || !model->title()) titleLabel()->setText(l10n_.obLabelRootSyncSelectionTitle());
    if (!model || !model->subtitle()) setSubtitleString(l10n_.obLabelRootSyncSelectionSubtitle());
}

void SyncRootSelectionViewController::updateSyncRootMenu() {
    const auto root = SettingsController().settings()->syncRoot();
    QAction* first = syncRootMenu_->actions().value(0);
    if (!first) return;
    first->setText(root.value_or(QString()));
    if (root) first->setIcon(QFileIconProvider().icon(QFileInfo(*root)));
    first->trigger();
}

QWidget* SyncRootSelectionViewController::hostWindow() const {
    QWidget* top = window();
    if (!top || !top->isVisible()) return nullptr;
    return top;
}

// --- The folder check ---

MountTable::Mount SyncRootSelectionViewController::mountOf(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty()) return {};
    MountTable::Mount best;
    for (const MountTable::Mount& mount : MountTable::read()) {
        if (!SyncFolderPaths::isInside(canonical, mount.mountPoint)) continue;
        // Later lines of the same mount point are mounted over earlier ones.
        if (mount.mountPoint.size() >= best.mountPoint.size()) best = mount;
    }
    return best;
}

QString SyncRootSelectionViewController::fileSystemType(const QString& path) { return mountOf(path).type; }

bool SyncRootSelectionViewController::isSystemLocation(const QString& canonicalPath, const MountTable::Mount& mount,
                                                       const QString& homePath) {
    static const QStringList pseudoFileSystems = {
        QStringLiteral("proc"),      QStringLiteral("sysfs"),       QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),    QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),
        QStringLiteral("debugfs"),   QStringLiteral("tracefs"),     QStringLiteral("securityfs"),
        QStringLiteral("pstore"),    QStringLiteral("bpf"),         QStringLiteral("configfs"),
        QStringLiteral("fusectl"),   QStringLiteral("mqueue"),      QStringLiteral("hugetlbfs"),
        QStringLiteral("autofs"),    QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"),       QStringLiteral("selinuxfs"),
        QStringLiteral("nfsd")};
    static const QStringList systemFolders = {
        QStringLiteral("/proc"),  QStringLiteral("/sys"),   QStringLiteral("/dev"),   QStringLiteral("/etc"),
        QStringLiteral("/usr"),   QStringLiteral("/bin"),   QStringLiteral("/sbin"),  QStringLiteral("/boot"),
        QStringLiteral("/lib"),   QStringLiteral("/lib32"), QStringLiteral("/lib64"), QStringLiteral("/libx32"),
        QStringLiteral("/var"),   QStringLiteral("/run"),   QStringLiteral("/snap"),  QStringLiteral("/lost+found")};
    if (pseudoFileSystems.contains(mount.type)) return true;
    const QString path = QDir::cleanPath(canonicalPath);
    if (path == QLatin1String("/")) return true;
    // Fedora's atomic desktops keep homes in /var/home: the user's own folder wins.
    const QString home = QDir::cleanPath(homePath);
    if (!home.isEmpty() && home != QLatin1String("/") && SyncFolderPaths::isInside(path, home)) return false;
    for (const QString& folder : systemFolders) {
        if (!SyncFolderPaths::isInside(path, folder)) continue;
        // A disk of its own mounted below (/run/media/<user>/<disk>) is the user's.
        const bool ownVolumeBelow = !mount.mountPoint.isEmpty() && mount.mountPoint != folder &&
                                    SyncFolderPaths::isInside(mount.mountPoint, folder);
        return !ownVolumeBelow;
    }
    return false;
}

bool SyncRootSelectionViewController::isNetworkFileSystem(const QString& type) {
    static const QStringList network = {
        QStringLiteral("nfs"),        QStringLiteral("nfs4"),        QStringLiteral("cifs"),
        QStringLiteral("smb3"),       QStringLiteral("smbfs"),       QStringLiteral("ncpfs"),
        QStringLiteral("afs"),        QStringLiteral("ceph"),        QStringLiteral("glusterfs"),
        QStringLiteral("lustre"),     QStringLiteral("9p"),          QStringLiteral("davfs"),
        QStringLiteral("fuse.sshfs"), QStringLiteral("fuse.davfs2"), QStringLiteral("fuse.rclone"),
        QStringLiteral("fuse.s3fs"),  QStringLiteral("fuse.gvfsd-fuse"), QStringLiteral("fuse.glusterfs"),
        QStringLiteral("fuse.cephfs")};
    return network.contains(type);
}

bool SyncRootSelectionViewController::hasPersistentFileIdentifiers(const QString& type) {
    // FAT-family volumes number their files by position, so identities change as folders change.
    static const QStringList withoutIdentifiers = {QStringLiteral("vfat"), QStringLiteral("msdos"),
                                                   QStringLiteral("fat"), QStringLiteral("exfat"),
                                                   QStringLiteral("umsdos")};
    return !withoutIdentifiers.contains(type);
}

std::variant<SyncRootSelectionViewController::FolderResourceValues, QString>
SyncRootSelectionViewController::readFolderResourceValues(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) return QString::fromLocal8Bit(strerror(errno)) + QStringLiteral(": ") + folder;
    if (!S_ISDIR(info.st_mode)) return QStringLiteral("Not a folder: ") + folder;
    FolderResourceValues values;
    // access() also answers a read-only mount, which permission bits do not show.
    values.isWritable = ::access(native.constData(), W_OK) == 0;
    const MountTable::Mount mount = mountOf(folder);
    const QString& type = mount.type;
    values.isSystemLocation = isSystemLocation(QFileInfo(folder).canonicalFilePath(), mount,
                                               QFileInfo(QDir::homePath()).canonicalFilePath());
    if (!type.isEmpty()) {
        values.volumeIsLocal = !isNetworkFileSystem(type);
        values.volumeSupportsPersistentIDs = hasPersistentFileIdentifiers(type);
    }
    // Internal and ejectable volumes are not told apart here, and no local folder is a cloud item.
    values.isUbiquitousItem = false;
    return values;
}

SyncRootSelectionViewController::RootDirectoryCheck SyncRootSelectionViewController::checkRootDirectory(
    const QString& folder) const {
    FolderResourceReader reader;
    {
        std::lock_guard lock(hooksMutex);
        reader = readerHook();
    }
    const auto read = reader ? reader(folder) : readFolderResourceValues(folder);
    if (const auto* failure = std::get_if<QString>(&read)) return {std::nullopt, *failure};
    const auto& values = std::get<FolderResourceValues>(read);
    const auto refuse = [](RootDirectorySelectionError error) { return RootDirectoryCheck{error, std::nullopt}; };

    // First: as root even /proc and / are writable, and the reason to refuse is the place itself.
    if (values.isSystemLocation.value_or(false)) return refuse(RootDirectorySelectionError::systemLocation);
    if (!values.isWritable.value_or(false)) return refuse(RootDirectorySelectionError::notWritable);
    if (!values.volumeIsLocal.value_or(false)) return refuse(RootDirectorySelectionError::volumeNotLocal);
    if (!values.volumeSupportsPersistentIDs.value_or(false)) return refuse(RootDirectorySelectionError::incompatibleVolume);
    if (values.isUbiquitousItem.value_or(false)) return refuse(RootDirectorySelectionError::incompatibleVolume);
    if (!fileSystemMetadataController_) return refuse(RootDirectorySelectionError::childOfAnotherRootFolder);
    const auto otherAccount = fileSystemMetadataController_->belongsToOtherAccount(folder);
    if (!otherAccount.isSuccess() || otherAccount.value()) return refuse(RootDirectorySelectionError::anotherUserOwns);
    if (fileSystemMetadataController_->isInsideSyncRoot(folder))
        return refuse(RootDirectorySelectionError::childOfAnotherRootFolder);
    return {};
}

QString SyncRootSelectionViewController::errorName(RootDirectorySelectionError error) {
    switch (error) {
    case RootDirectorySelectionError::incompatibleVolume: return QStringLiteral("incompatibleVolume");
    case RootDirectorySelectionError::volumeNotLocal: return QStringLiteral("volumeNotLocal");
    case RootDirectorySelectionError::anotherUserOwns: return QStringLiteral("anotherUserOwns");
    case RootDirectorySelectionError::childOfAnotherRootFolder: return QStringLiteral("childOfAnotherRootFolder");
    case RootDirectorySelectionError::notWritable: return QStringLiteral("notWritable");
    case RootDirectorySelectionError::systemLocation: return QStringLiteral("systemLocation");
    }
    return {};
}

// --- Alerts ---

void SyncRootSelectionViewController::showRootDirectoryError(RootDirectorySelectionError error, QWidget* window) {
    QString message;
    QString informative;
    switch (error) {
    case RootDirectorySelectionError::incompatibleVolume:
        message = l10n_.syAlertRootFolderVolumeIncompatibleMessage();
        informative = l10n_.syAlertRootFolderVolumeIncompatibleInformative();
        break;
    case RootDirectorySelectionError::volumeNotLocal:
        message = l10n_.syAlertRootFolderVolumeNotLocalMessage();
        informative = l10n_.syAlertRootFolderVolumeNotLocalInformative();
        break;
    case RootDirectorySelectionError::anotherUserOwns:
        message = l10n_.syAlertRootFolderOwnedByAnotherAccountMessage();
        informative = l10n_.syAlertRootFolderOwnedByAnotherAccountInformative();
        break;
    case RootDirectorySelectionError::childOfAnotherRootFolder:
        message = l10n_.syAlertRootFolderIsChildOfAnotherRootFolderMessage();
        informative = l10n_.syAlertRootFolderIsChildOfAnotherRootFolderInformative();
        break;
    case RootDirectorySelectionError::notWritable:
        message = l10n_.syAlertRootFolderNotWritableMessage();
        informative = l10n_.syAlertRootFolderNotWritableInformative();
        break;
    case RootDirectorySelectionError::systemLocation:
        message = l10n_.syAlertRootFolderSystemLocationMessage();
        informative = l10n_.syAlertRootFolderSystemLocationInformative();
        break;
    }
    auto alert = std::make_shared<Alert>();
    alert->setMessageText(message);
    alert->setInformativeText(informative);
    if (window) {
        QPointer<SyncRootSelectionViewController> self(this);
        alert->beginSheetModal(window, [alert, self](int) {
            // The user picks again until a folder passes or the chooser is cancelled.
            if (self) self->showOpenPanel(self);
        });
        return;
    }
    alert->runModal();
    showOpenPanel(this);
}

void SyncRootSelectionViewController::confirmSyncFolderLocation(const QString& path,
                                                                std::function<void(bool, bool)> completion) {
    const QString cleaned = QDir::cleanPath(path);
    if (QFileInfo(cleaned).fileName() != SyncFolderPaths::folderName) {
        completion(true, false);
        return;
    }
    const QString newSyncFolder = SyncFolderPaths::appendingPathComponent(cleaned, SyncFolderPaths::folderName);
    // The folder is already the sync root and its sync folder is in place: the move was settled
    // when it was chosen, and asking again would move whatever lies beside the sync folder now.
    const auto stored = SettingsController().settings()->syncRoot();
    if (stored && QDir::cleanPath(*stored) == cleaned && QFileInfo(newSyncFolder).isDir()) {
        completion(true, false);
        return;
    }
    auto alert = std::make_shared<Alert>();
    alert->setMessageText(l10n_.obAlertMoveSyncFolderMessage());
    alert->setInformativeText(l10n_.obAlertMoveSyncFolderInformative().arg(newSyncFolder));
    alert->addButton(l10n_.obAlertButtonMoveSyncFolderMove());
    alert->addButton(l10n_.obAlertButtonMoveSyncFolderCancel());
    if (QWidget* window = hostWindow()) {
        alert->beginSheetModal(window, [alert, completion](int response) {
            const bool accepted = response == Alert::FirstButtonReturn;
            completion(accepted, accepted);
        });
        return;
    }
    const bool accepted = alert->runModal() == Alert::FirstButtonReturn;
    completion(accepted, accepted);
}

void SyncRootSelectionViewController::setSyncRoot(bool accepted, bool move, std::function<void(bool)> completion,
                                                  const QString& folder) {
    if (!accepted) {
        if (completion) completion(true);
        return;
    }
    const QString cleaned = QDir::cleanPath(folder);
    SettingsController().settings()->setSyncRoot(cleaned);
    const FileMoveReport report =
        move ? fileController_.move(cleaned, SyncFolderPaths::appendingPathComponent(cleaned, SyncFolderPaths::folderName))
             : FileMoveReport{};
    updateSyncRootMenu();
    if (!report.isComplete()) {
        // What stayed behind lies outside the sync folder and would silently not be synced.
        auto alert = std::make_shared<Alert>();
        alert->setMessageText(l10n_.syAlertRootFolderNotWritableMessage());
        alert->setInformativeText(report.description() + QStringLiteral("\n\n") +
                                  l10n_.syAlertRootFolderNotWritableInformative());
        if (QWidget* window = hostWindow())
            alert->beginSheetModal(window, [alert](int) {});
        else
            alert->runModal();
    }
    if (completion) completion(report.isComplete());
}

// --- The chooser ---

void SyncRootSelectionViewController::showOpenPanel(QObject*) {
    if (QAction* first = syncRootMenu_->actions().value(0)) first->trigger();
    QWidget* window = hostWindow();
    if (!window) return;
    const QString start = SettingsController::realHomeDirectory();
    QPointer<SyncRootSelectionViewController> self(this);
    const auto chosen = [self](const std::optional<QString>& folder) {
        if (!self || !folder || folder->isEmpty()) return;
        self->applyChosenFolder(*folder);
    };

    std::function<std::optional<QString>(const QString&)> responder;
    {
        std::lock_guard lock(hooksMutex);
        responder = openPanelHook();
    }
    if (responder) {
        // Like the sheet, the answer comes after this call has returned.
        MainQueue::async([responder, start, chosen] { chosen(responder(start)); });
        return;
    }
    auto* panel = new QFileDialog(window);
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly, true);
    panel->setDirectory(start);
    panel->setWindowModality(Qt::WindowModal);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::finished, panel, [panel, chosen](int result) {
        if (result == QDialog::Rejected) return;
        const QStringList files = panel->selectedFiles();
        if (!files.isEmpty()) chosen(files.first());
    });
    panel->open();
}

void SyncRootSelectionViewController::applyChosenFolder(const QString& folder) {
    const RootDirectoryCheck check = checkRootDirectory(folder);
    if (!check.isPassed()) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot perform root directory checks."));
        if (check.refusal) showRootDirectoryError(*check.refusal, hostWindow());
        return;
    }
    QPointer<SyncRootSelectionViewController> self(this);
    confirmSyncFolderLocation(folder, [self, folder](bool accepted, bool move) {
        if (self) self->setSyncRoot(accepted, move, {}, folder);
    });
}

void SyncRootSelectionViewController::setFolderResourceReaderForTesting(FolderResourceReader reader) {
    std::lock_guard lock(hooksMutex);
    readerHook() = std::move(reader);
}

void SyncRootSelectionViewController::setOpenPanelResponderForTesting(
    std::function<std::optional<QString>(const QString&)> responder) {
    std::lock_guard lock(hooksMutex);
    openPanelHook() = std::move(responder);
}
