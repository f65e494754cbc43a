#include <gtest/gtest.h>

#include <QImage>

#include "platform/findersync/FinderSyncController.h"

namespace {

QImage dot(QColor color) {
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QUrl file(const char* path) { return QUrl::fromLocalFile(QString::fromUtf8(path)); }

// One step applied to a controller that has "synced" and "error" registered, and what the item
// shows afterwards.
struct BadgeCase {
    const char* name;
    std::vector<std::pair<QString, QUrl>> steps;  // identifier set on URL, in order
    QUrl looked;
    QString identifier;  // what badgeIdentifier answers
    bool shows;          // whether a badge is shown
};

class ControllerBadges : public ::testing::TestWithParam<BadgeCase> {};

TEST_P(ControllerBadges, ItemShowsTheLastRegisteredIdentifier) {
    const BadgeCase& c = GetParam();
    FinderSyncController controller;
    controller.setBadgeImage(dot(Qt::green), QStringLiteral("Synced"), QStringLiteral("synced"));
    controller.setBadgeImage(dot(Qt::red), QStringLiteral("Error"), QStringLiteral("error"));
    for (const auto& [identifier, url] : c.steps) controller.setBadgeIdentifier(identifier, url);
    EXPECT_EQ(controller.badgeIdentifier(c.looked), c.identifier);
    EXPECT_EQ(controller.badge(c.looked).has_value(), c.shows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControllerBadges,
    ::testing::Values(
        BadgeCase{"NothingSet", {}, file("/s/a"), "", false},
        BadgeCase{"Registered", {{"synced", file("/s/a")}}, file("/s/a"), "synced", true},
        BadgeCase{"LastWins", {{"synced", file("/s/a")}, {"error", file("/s/a")}}, file("/s/a"), "error", true},
        BadgeCase{"EmptyClears", {{"synced", file("/s/a")}, {"", file("/s/a")}}, file("/s/a"), "", false},
        BadgeCase{"UnregisteredKeptButNotShown", {{"unknown", file("/s/a")}}, file("/s/a"), "unknown", false},
        BadgeCase{"UnregisteredReplacesShownBadge", {{"synced", file("/s/a")}, {"unknown", file("/s/a")}},
                  file("/s/a"), "unknown", false},
        BadgeCase{"TrailingSlashIsTheSameItem", {{"synced", file("/s/dir/")}}, file("/s/dir"), "synced", true},
        BadgeCase{"DotSegmentsAreTheSameItem", {{"error", file("/s/x/../dir")}}, file("/s/dir"), "error", true},
        BadgeCase{"OtherItemUntouched", {{"synced", file("/s/a")}}, file("/s/ab"), "", false},
        BadgeCase{"ClearingOneLeavesTheOther", {{"synced", file("/s/a")}, {"synced", file("/s/b")}, {"", file("/s/a")}},
                  file("/s/b"), "synced", true}),
    [](const ::testing::TestParamInfo<BadgeCase>& info) { return std::string(info.param.name); });

TEST(FinderSyncController, RegistrationKeepsOrderAndTheLatestImageAndRefusesTheEmptyIdentifier) {
    FinderSyncController controller;
    controller.setBadgeImage(dot(Qt::green), QStringLiteral("Synced"), QStringLiteral("synced"));
    controller.setBadgeImage(dot(Qt::red), QStringLiteral("Error"), QStringLiteral("error"));
    controller.setBadgeImage(dot(Qt::blue), QStringLiteral("In sync"), QStringLiteral("synced"));
    controller.setBadgeImage(dot(Qt::gray), QStringLiteral("None"), QString());
    EXPECT_EQ(controller.registeredBadgeIdentifiers(), (QStringList{"synced", "error"}));
    const auto synced = controller.registeredBadge(QStringLiteral("synced"));
    ASSERT_TRUE(synced);
    EXPECT_EQ(synced->label, QStringLiteral("In sync"));
    EXPECT_EQ(synced->image.pixelColor(1, 1), QColor(Qt::blue));
    EXPECT_FALSE(controller.registeredBadge(QString()));
}

TEST(FinderSyncController, ObserversHearChangesOnlyWhenTheIdentifierChanges) {
    FinderSyncController controller;
    QStringList heard;
    controller.setBadgeObserver([&](const QUrl& url, const QString& id) {
        heard << url.toLocalFile() + QLatin1Char('=') + id;
    });
    int directoryCalls = 0;
    controller.setDirectoriesObserver([&](const QSet<QUrl>&) { ++directoryCalls; });
    controller.setBadgeIdentifier(QStringLiteral("synced"), file("/s/a"));
    controller.setBadgeIdentifier(QStringLiteral("synced"), file("/s/a"));
    controller.setBadgeIdentifier(QString(), file("/s/a"));
    controller.setBadgeIdentifier(QString(), file("/s/b"));
    EXPECT_EQ(heard, (QStringList{"/s/a=synced", "/s/a="}));
    controller.setDirectoryURLs({file("/s")});
    controller.setDirectoryURLs({file("/s")});
    EXPECT_EQ(directoryCalls, 2) << "setting the same folders again is news to the host";
    EXPECT_EQ(controller.directoryURLs(), QSet<QUrl>{file("/s")});
}

TEST(FinderSyncController, DefaultControllerFollowsTheHost) {
    FinderSyncController& own = FinderSyncController::defaultController();
    FinderSyncController host;
    FinderSyncController::setDefaultController(&host);
    EXPECT_EQ(&FinderSyncController::defaultController(), &host);
    FinderSyncController::setDefaultController(nullptr);
    EXPECT_EQ(&FinderSyncController::defaultController(), &own);
}

}  // namespace
