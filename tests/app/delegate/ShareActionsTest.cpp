#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "app/common/AppActions.h"
#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"
#include "app/delegate/AppDelegate.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Storyboard.h"
#include "support/TestEnvironment.h"

namespace {

QWidget* shownShareWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ShareWindow") && widget->isVisible()) return widget;
    return nullptr;
}

class ShareActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        registerShareScenes();
        TestEnvironment::waitUntil([] { return false; }, 50);  // the launch's sign-out of nobody
        SettingsController().settings()->setSyncRoot(root.path());
        ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/Orvella")));
        ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/Orvella 1")));
        for (const QString& name : {QStringLiteral("/Orvella/a.txt"), QStringLiteral("/Orvella 1/a.txt")}) {
            QFile file(root.path() + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert& alert) { return alert.closeResponse(); });
    }
    void TearDown() override {
        Alert::setResponder({});
        SettingsController().settings()->setSyncRoot(std::nullopt);
    }

    QTemporaryDir root;
    AppDelegate delegate{AppDelegate::Environment{}};
};

TEST_F(ShareActionsTest, OneFileInsideTheSyncFolderOpensTheShareWindowAnythingElseExplains) {
    LocalizationController texts;
    struct Row {
        QStringList paths;
        QString alert;  // empty: the window opens
    };
    const QString inside = root.path() + QStringLiteral("/Orvella/a.txt");
    const Row rows[] = {
        {{inside, root.path() + QStringLiteral("/Orvella")}, texts.shItemAlertMultipleItemsMessage()},
        {{root.path() + QStringLiteral("/Orvella 1/a.txt")}, texts.shItemAlertOutsideSyncRootMessage()},
        {{inside}, QString()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.paths.join(u' ').toStdString());
        Alert::clearShownAlerts();
        delegate.shareItems(row.paths);
        if (row.alert.isEmpty()) {
            EXPECT_TRUE(shownShareWindow());
            continue;
        }
        ASSERT_EQ(Alert::shownCount(), 1);
        EXPECT_EQ(Alert::shownAlerts()[0].messageText(), row.alert);
        EXPECT_FALSE(shownShareWindow());
    }
}

TEST_F(ShareActionsTest, TheSharedItemsWindowOpensOnceAndCloses) {
    EXPECT_TRUE(Application::shared().sendAction(AppAction::showSharedItems));
    QWidget* window = shownShareWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(Application::shared().sendAction(AppAction::showSharedItems));
    EXPECT_EQ(shownShareWindow(), window);
    EXPECT_TRUE(Application::shared().sendAction(AppAction::closeShareWindow));
    EXPECT_FALSE(shownShareWindow());
}

}  // namespace
