#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "app/shell/crash/CrashService.h"

struct CrashReport;

// Attaches the log text to every crash report when log upload is on.
class AppCenterSDKDelegate {
public:
    explicit AppCenterSDKDelegate(bool isLogUploadEnabled) : isLogUploadEnabled_(isLogUploadEnabled) {}
    bool isLogUploadEnabled() const { return isLogUploadEnabled_; }

    struct Attachment {
        QString text;
        QString fileName;
    };
    // One "KVTLogger.log" attachment with the log files' text, or none when log upload is off.
    std::optional<Attachment> attachmentForCrashReport() const;
    // The attachments of a report: the log attachment when log upload is on, else none. The
    // report itself is not looked at. Any thread.
    std::vector<Attachment> attachmentsWithCrashes(const CrashReport& report) const;

private:
    bool isLogUploadEnabled_;
};

// Configures and starts the crash-reporting service.
class AppCenterSDK {
public:
    // The secret to start with: the given one, else the information key's text.
    static QString appSecret(std::optional<QString> secret);
    static void start(const QString& secret, bool crashReportingEnabled, bool logUploadEnabled);
    // The delegate of the last start; none before the first.
    static std::shared_ptr<AppCenterSDKDelegate> currentDelegate();
};
