#include "app/shell/crash/CrashService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include "app/common/ConfigurationProvider.h"
#include "app/common/LogChannels.h"
#include "app/shell/crash/AppCenterSDK.h"
#include "app/shell/crash/CrashHandler.h"
#include "app/shell/crash/CrashReport.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"
#include "service/StorageService.h"

namespace {

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size() && file.flush();
}

}  // namespace

CrashService& CrashService::shared() {
    static CrashService service;
    return service;
}

CrashService::CrashService() : queue_(std::make_unique<SerialQueue>(QStringLiteral("Orvella.crashes"))) {}

CrashService::~CrashService() = default;

void CrashService::start(const QString& secret) {
    {
        std::lock_guard lock(mutex_);
        secret_ = secret;
    }
    started_ = true;
}

void CrashService::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!started_) return;
    if (!enabled) {
        CrashHandler::uninstall();
        return;
    }
    if (!CrashHandler::install(pendingReportsFolder(), applicationVersionString().trimmed()))
        OVLOG_ERROR(AppLog::flow(), QStringLiteral("Cannot install the crash handler in ") + pendingReportsFolder());
    // The delegate is set right after the service is enabled: send once it is in place.
    MainQueue::async([this] { sendPendingReports(); });
}

void CrashService::setDelegate(std::shared_ptr<AppCenterSDKDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

QString CrashService::secret() const {
    std::lock_guard lock(mutex_);
    return secret_;
}

QString CrashService::defaultPendingReportsFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(infoPlistString(QStringLiteral("AppBundleIdentifier")) + QStringLiteral("/CrashReports"));
}

QString CrashService::defaultServiceReportsFolder() {
    return QDir(StorageService::defaultRoot()).filePath(QStringLiteral("crash-reports"));
}

QString CrashService::pendingReportsFolder() const {
    std::lock_guard lock(mutex_);
    return pendingFolder_.isEmpty() ? defaultPendingReportsFolder() : pendingFolder_;
}

QString CrashService::serviceReportsFolder() const {
    std::lock_guard lock(mutex_);
    return serviceFolder_.isEmpty() ? defaultServiceReportsFolder() : serviceFolder_;
}

void CrashService::setFolders(const QString& pendingFolder, const QString& serviceFolder) {
    std::lock_guard lock(mutex_);
    pendingFolder_ = pendingFolder;
    serviceFolder_ = serviceFolder;
}

void CrashService::sendPendingReports(std::function<void(int)> completion) {
    queue_->async([this, completion = std::move(completion)] {
        const int sent = sendPendingReportsNow();
        if (completion) MainQueue::async([completion, sent] { completion(sent); });
    });
}

void CrashService::waitUntilIdle() {
    queue_->sync([] {});
}

void CrashService::resetForTesting() {
    waitUntilIdle();
    CrashHandler::uninstall();
    std::lock_guard lock(mutex_);
    started_ = false;
    enabled_ = false;
    secret_.clear();
    delegate_.reset();
    pendingFolder_.clear();
    serviceFolder_.clear();
}

int CrashService::sendPendingReportsNow() {
    int sent = 0;
    for (const QString& path : CrashReport::pendingReportPaths(pendingReportsFolder())) {
        // Consent withdrawn meanwhile stops the sending at once.
        if (!isEnabled()) break;
        std::shared_ptr<AppCenterSDKDelegate> delegate;
        {
            std::lock_guard lock(mutex_);
            delegate = delegate_;
        }
        if (send(path, delegate)) ++sent;
    }
    return sent;
}

bool CrashService::send(const QString& reportPath, const std::shared_ptr<AppCenterSDKDelegate>& delegate) {
    const std::optional<CrashReport> report = CrashReport::read(reportPath);
    if (!report) {
        OVLOG_ERROR(AppLog::flow(), QStringLiteral("Dropping unreadable crash report ") + reportPath);
        QFile::remove(reportPath);
        return false;
    }
    const QDir service(serviceReportsFolder());
    const QString finalFolder = service.filePath(report->identifier);
    const QString partialFolder = service.filePath(QStringLiteral(".") + report->identifier + QStringLiteral(".partial"));
    QDir(partialFolder).removeRecursively();
    if (!QDir().mkpath(partialFolder)) {
        OVLOG_ERROR(AppLog::flow(), QStringLiteral("Cannot reach the crash service at ") + service.path());
        return false;
    }
    const QDir package(partialFolder);
    bool ok = QFile::copy(reportPath, package.filePath(QFileInfo(reportPath).fileName()));
    QJsonArray attachmentNames;
    const std::vector<AppCenterSDKDelegate::Attachment> attachments =
        delegate ? delegate->attachmentsWithCrashes(*report) : std::vector<AppCenterSDKDelegate::Attachment>{};
    for (const auto& attachment : attachments) {
        // The name comes from the delegate: keep it inside the package.
        const QString name = QFileInfo(attachment.fileName).fileName();
        if (name.isEmpty() || name.startsWith(u'.')) continue;
        ok = ok && writeFile(package.filePath(name), attachment.text.toUtf8());
        attachmentNames.append(name);
    }
    const QJsonObject meta{{QStringLiteral("appSecret"), secret()},
                           {QStringLiteral("identifier"), report->identifier},
                           {QStringLiteral("version"), report->version},
                           {QStringLiteral("signal"), report->signal},
                           {QStringLiteral("signalName"), report->signalName},
                           {QStringLiteral("crashTime"), report->time.toString(Qt::ISODate)},
                           {QStringLiteral("attachments"), attachmentNames}};
    ok = ok && writeFile(package.filePath(QStringLiteral("report.json")), QJsonDocument(meta).toJson());
    // The package appears whole or not at all; a report sent before is replaced.
    if (ok) {
        QDir(finalFolder).removeRecursively();
        ok = QDir().rename(partialFolder, finalFolder);
    }
    if (!ok) {
        QDir(partialFolder).removeRecursively();
        OVLOG_ERROR(AppLog::flow(), QStringLiteral("Cannot send crash report ") + reportPath);
        return false;
    }
    QFile::remove(reportPath);
    OVLOG_INFO(AppLog::flow(), QStringLiteral("Sent crash report ") + report->identifier);
    return true;
}
