#include "app/shell/AppCenterSDK.h"

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

CrashService& CrashService::shared() {
    static CrashService service;
    return service;
}

void CrashService::start(const QString& secret) {
    started_ = true;
    secret_ = secret;
}

void CrashService::setEnabled(bool enabled) { enabled_ = enabled; }

void CrashService::setDelegate(std::shared_ptr<AppCenterSDKDelegate> delegate) { delegate_ = std::move(delegate); }
