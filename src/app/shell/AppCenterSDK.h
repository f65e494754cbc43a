#pragma once

#include <QString>

#include <memory>
#include <optional>

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

// The crash service stand-in: whether it was started and whether it is collecting.
class CrashService {
public:
    static CrashService& shared();
    void start(const QString& secret);
    void setEnabled(bool enabled);
    void setDelegate(std::shared_ptr<AppCenterSDKDelegate> delegate);
    bool isStarted() const { return started_; }
    bool isEnabled() const { return started_ && enabled_; }
    QString secret() const { return secret_; }

private:
    bool started_ = false;
    bool enabled_ = false;
    QString secret_;
    std::shared_ptr<AppCenterSDKDelegate> delegate_;
};
