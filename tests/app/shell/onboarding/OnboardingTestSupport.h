#pragma once

// The onboarding window against a test facade with a signed-in user, a delegate that records what
// it hears, alerts answered by a responder and a folder chooser answered by the test.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestBusinessUser.h"
#include "app/shell/onboarding/OnboardingWindowController.h"
#include "app/shell/onboarding/SyncRootSelectionViewController.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/businessui/SignInPage.h"
#include "frameworks/logger/Logger.h"
#include "platform/appkit/Alert.h"
#include "support/TestEnvironment.h"

namespace onboardingtest {

class RecordingDelegate : public OnboardingWindowControllerDelegate {
public:
    void onboardingWindowControllerDidFinishSignIn(OnboardingWindowController&, bool didFinish,
                                                  const std::optional<AppError>& error) override {
        signIns.push_back(didFinish);
        signInErrors.push_back(error.has_value());
        if (onSignIn) onSignIn(didFinish);
    }
    void onboardingDidFinishFirstLaunch() override { calls.push_back("firstLaunch"); }
    void onboardingWindowWillClose() override { calls.push_back("willClose"); }

    std::vector<bool> signIns;
    std::vector<bool> signInErrors;
    std::vector<std::string> calls;
    std::function<void(bool)> onSignIn;
};

// A facade whose sign-in page answers from the test: the request is held until the test answers.
class SignInFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    std::optional<SignInBackend> signInBackend() override {
        if (!offersSignInPage) return std::nullopt;
        ++signInPagesMade;
        SignInBackend backend;
        backend.signIn = [this](const QString&, const QString&, std::function<void(VoidResult)> done) {
            pending = std::move(done);
        };
        backend.createAccount = [](const QString&, const QString&, const QString&, std::function<void(VoidResult)>) {};
        backend.isReachable = [this] { return reachable; };
        return backend;
    }
    bool offersSignInPage = true;
    int signInPagesMade = 0;
    std::function<void(VoidResult)> pending;
};

// Collects the lines of one channel.
class ChannelLines {
public:
    explicit ChannelLines(QString channel) : channel_(std::move(channel)) {
        id_ = Logger::addSink([this](const LogEntry& entry) {
            if (entry.channel == channel_) lines << entry.message;
        });
    }
    ~ChannelLines() { Logger::removeSink(id_); }
    QStringList lines;

private:
    QString channel_;
    Logger::SinkId id_;
};

class OnboardingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        facade = std::make_shared<SignInFacade>(QStringLiteral("test.group.onboarding.%1").arg(++counter));
        BusinessFacadeHolder::setFacadeForTesting(facade);
        ASSERT_TRUE(temp.isValid());
        signIn();
        metadata = std::make_shared<OVFileSystemMetadataController>(userController);
        Alert::clearShownAlerts();
        Alert::setResponder([this](const Alert& alert) {
            answered.push_back(alert.messageText());
            return answer;
        });
        SyncRootSelectionViewController::setOpenPanelResponderForTesting([this](const QString& start) {
            panelStarts << start;
            if (panelAnswers.empty()) return std::optional<QString>();
            auto next = panelAnswers.front();
            panelAnswers.erase(panelAnswers.begin());
            return next;
        });
    }
    void TearDown() override {
        controller.reset();
        QCoreApplication::processEvents();
        SyncRootSelectionViewController::setOpenPanelResponderForTesting(nullptr);
        SyncRootSelectionViewController::setFolderResourceReaderForTesting(nullptr);
        Alert::setResponder(nullptr);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }

    void signIn() {
        facade->user = std::make_shared<TestBusinessUser>(QStringLiteral("acc-1"));
        userController.update();
    }
    OrvellaSettingsManager& settings() const { return *facade->settings(); }

    OnboardingWindowController& show() {
        controller = std::make_unique<OnboardingWindowController>(&delegate);
        controller->userController = &userController;
        controller->fileSystemMetadataController = metadata;
        controller->showWindow();
        return *controller;
    }
    int index() const { return controller->pageController()->selectedIndex(); }
    // Moves to a page by the page controller's own steps (and so its arrival steps).
    void goTo(int target) {
        auto* pages = controller->pageController();
        while (pages->selectedIndex() < target) {
            pages->navigateForward(nullptr);
            // The user signs in on the sign-in page, which signed out whoever was there.
            if (pages->selectedIndex() == 1) signIn();
        }
        QCoreApplication::processEvents();
    }
    QString makeFolder(const QString& relative) const {
        const QString path = temp.filePath(relative);
        QDir().mkpath(path);
        return path;
    }
    static void writeFile(const QString& path, const QByteArray& data = "x") {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    // Marks `syncFolder` as a sync folder of `accountId`.
    static void mark(const QString& syncFolder, const QString& accountId) {
        QDir().mkpath(syncFolder + QStringLiteral("/.ovmd.db"));
        writeFile(syncFolder + QStringLiteral("/.ovmd.db/accountId"), accountId.toUtf8());
    }

    QTemporaryDir temp{QStringLiteral("/dev/shm/orvella-onboarding-XXXXXX")};
    std::shared_ptr<SignInFacade> facade;
    UserController userController;
    std::shared_ptr<OVFileSystemMetadataController> metadata;
    RecordingDelegate delegate;
    std::unique_ptr<OnboardingWindowController> controller;
    int answer = Alert::FirstButtonReturn;
    QStringList answered;
    std::vector<std::optional<QString>> panelAnswers;
    QStringList panelStarts;
};

}  // namespace onboardingtest
