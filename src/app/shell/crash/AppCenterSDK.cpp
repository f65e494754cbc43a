#include "app/shell/crash/AppCenterSDK.h"

#include "app/common/ConfigurationProvider.h"
#include "frameworks/logger/Logger.h"
#include "platform/foundation/Bundle.h"

namespace {
std::shared_ptr<AppCenterSDKDelegate>& delegateSlot() {
    static std::shared_ptr<AppCenterSDKDelegate> slot;
    return slot;
}
}  // namespace

std::optional<AppCenterSDKDelegate::Attachment> AppCenterSDKDelegate::attachmentForCrashReport() const {
    if (!isLogUploadEnabled_) return std::nullopt;
    QString text = Logger::logFilesContent(1500000);
    if (text.isEmpty()) text = QStringLiteral("No Log found");
    return Attachment{text, QStringLiteral("KVTLogger.log")};
}

std::vector<AppCenterSDKDelegate::Attachment> AppCenterSDKDelegate::attachmentsWithCrashes(const CrashReport&) const {
    std::vector<Attachment> attachments;
    if (auto attachment = attachmentForCrashReport()) attachments.push_back(std::move(*attachment));
    return attachments;
}

QString AppCenterSDK::appSecret(std::optional<QString> secret) {
    if (secret) return *secret;
    const QVariant value = Bundle::main().object(QStringLiteral("AppCenterAppSecret"));
    if (value.typeId() == QMetaType::QString) return value.toString();
    qFatal("You have to set the `AppCenterAppSecret` key in the info plist or specify your own when "
           "initializing the SDK.");
}

void AppCenterSDK::start(const QString& secret, bool crashReportingEnabled, bool logUploadEnabled) {
    delegateSlot() = std::make_shared<AppCenterSDKDelegate>(logUploadEnabled);
    if (!crashReportingEnabled) return;
    CrashService::shared().start(secret);
    CrashService::shared().setEnabled(true);
    CrashService::shared().setDelegate(delegateSlot());
}

std::shared_ptr<AppCenterSDKDelegate> AppCenterSDK::currentDelegate() { return delegateSlot(); }
