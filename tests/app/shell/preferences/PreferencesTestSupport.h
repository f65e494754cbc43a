#pragma once

// Shared set-up of the preferences tests: a test facade, the preferences scenes, no real desktop
// (links are recorded, alerts answered), and the controllers the window hands to its panes.

#include <QImage>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/core/FeaturesController.h"
#include "app/core/ObjCFeatures.h"
#include "app/core/QuotaController.h"
#include "app/core/ReachabilityController.h"
#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestBusinessUser.h"
#include "app/shell/preferences/GeneralViewController.h"
#include "app/shell/preferences/PreferencesWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/Workspace.h"
#include "support/TestEnvironment.h"

class PreferencesTestBase {
public:
    PreferencesTestBase() {
        registerPreferencesScenes();
        // No login items or file-manager switching from tests.
        Storyboard::registerScene(Storyboard::main(), QStringLiteral("GeneralViewController"), [] {
            GeneralViewController::Environment environment;
            environment.setLoginItemEnabled = [](const QString&, bool) { return true; };
            environment.updateExtensionState = [](bool) {};
            return new GeneralViewController(environment);
        });
        Workspace::setOpener([this](const QUrl& url) {
            openedURLs.push_back(url);
            return true;
        });
        Alert::clearShownAlerts();
    }
    virtual ~PreferencesTestBase() {
        Workspace::setOpener({});
        Alert::setResponder({});
    }

    // Signs a user in at the facade and tells the user controller.
    std::shared_ptr<TestBusinessUser> signIn() {
        auto user = std::make_shared<TestBusinessUser>();
        testFacade.facade().user = user;
        users.update();
        users.setIsLoggedIn(true);
        return user;
    }

    void setBackupFeature(std::optional<bool> enabled) {
        features.setFeatures(std::make_shared<ObjCFeatures>(
            enabled ? std::make_shared<ObjCBackupFeature>(*enabled) : nullptr, nullptr, nullptr));
    }

    static void grab(QWidget* widget, const QString& name) {
        EXPECT_TRUE(TestEnvironment::keepSnapshot(widget->grab().toImage(), QStringLiteral("prefs-%1").arg(name)));
    }

    ScopedTestBusinessFacade testFacade{QStringLiteral("prefs")};
    UserController users;
    FeaturesController features{users};
    std::vector<QUrl> openedURLs;
};
