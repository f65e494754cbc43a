#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolBar>

#include "app/core/FeaturesController.h"
#include "app/core/ObjCFeatures.h"
#include "app/core/ObjCSharingFeature.h"
#include "app/core/UserController.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"
#include "app/sharing/ShareTestSupport.h"
#include "app/shell/sharing/ShareInfoViewController.h"
#include "app/shell/sharing/ShareInfoWindowController.h"
#include "app/shell/sharing/ShareSplitViewController.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "support/TestEnvironment.h"

namespace {

// A facade whose list answers only when the test says so.
class HeldSharingFacade : public SharingFacade {
public:
    using SharingFacade::SharingFacade;
    void sharedItems(std::function<void(BusinessResult<Items>)> done) override {
        ++requests;
        held.push_back(std::move(done));
    }
    void answer() {
        auto pending = std::move(held);
        held.clear();
        for (auto& done : pending) done(items);
    }
    int requests = 0;
    std::vector<std::function<void(BusinessResult<Items>)>> held;
};

TEST(ShareSplitViewTest, AFailedLoadEndsLoadingShowsTheErrorOnceAndTheNextRefreshTriesAgain) {
    HeldSharingFacade facade(QStringLiteral("test.group.sharing.split"));
    Alert::clearShownAlerts();
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    ShareSplitViewController split(std::make_unique<ShareController>(OVShareControllerDependencyProvider{&facade}));
    split.view();
    split.refreshShares();
    split.refreshShares();  // dropped while the first is under way
    EXPECT_EQ(facade.requests, 1);
    ShareDataSource* source = split.representedObject();
    ASSERT_TRUE(source);
    EXPECT_TRUE(source->isLoading());
    EXPECT_EQ(split.inspector()->shareController(), split.shareController());
    EXPECT_EQ(split.inspector()->representedObject(), source);

    facade.items = BusinessError::make(BusinessError::Kind::noConnection);
    facade.answer();
    EXPECT_FALSE(source->isLoading());
    EXPECT_TRUE(source->isEmpty());
    EXPECT_EQ(split.inspector()->selectedTab(), ShareInfoViewController::Tab::noSelection);
    EXPECT_EQ(Alert::shownCount(), 1);

    facade.items = SharingFacade::Items{std::make_shared<FakeFile>(QStringLiteral("a.txt"), infoAt(QStringLiteral("root/a.txt")))};
    split.refreshShares();
    EXPECT_EQ(facade.requests, 2);
    facade.answer();
    EXPECT_EQ(source->shares().size(), 1u);
    EXPECT_EQ(split.listView()->count(), 1);
    EXPECT_FALSE(source->isEmpty());
    EXPECT_EQ(split.inspector()->selectedTab(), ShareInfoViewController::Tab::main);
    EXPECT_EQ(Alert::shownCount(), 1);
    Alert::setResponder({});
}

TEST(ShareWindowTest, TheEmailItemNeedsTheAccountsFeature) {
    ScopedSharingFacade scoped;
    for (const bool offered : {true, false}) {
        UserController users;
        FeaturesController features{users};
        features.setFeatures(std::make_shared<ObjCFeatures>(
            nullptr, nullptr, std::make_shared<ObjCSharingFeature>(true, true, offered)));
        ShareWindowController window;
        window.setFeaturesController(&features);
        window.window();
        ASSERT_TRUE(window.toolbar());
        EXPECT_EQ(window.toolbar() == window.fullToolbar(), offered);
        EXPECT_EQ(window.toolbar()->actions().size(), offered ? 5 : 4);
    }
    ShareInfoWindowController single;
    single.window();
    EXPECT_EQ(single.toolbar(), single.partialFeaturesToolbar());
}

// Makes links the way the service does: the item shared is listed from then on, findable or not.
class CreatingFacade : public SharingFacade {
public:
    using SharingFacade::SharingFacade;
    class LinkingFile final : public FakeItem, public File {
    public:
        LinkingFile(CreatingFacade& facade, QString name) : FakeItem(name, std::nullopt, false), facade_(facade), name_(name) {}
        void share(const ShareSettings& s, std::function<void(BusinessResult<QUrl>)> done) override {
            ++facade_.creations;
            if (facade_.refusal) return done(*facade_.refusal);
            // A link whose path does not lead back to the item is never found by the lookup.
            const QString remote = facade_.findable ? QStringLiteral("root/") + name_ : QStringLiteral("root/elsewhere/") + name_;
            Items listed = facade_.items.isSuccess() ? facade_.items.value() : Items{};
            listed.push_back(std::make_shared<FakeFile>(name_, infoAt(remote)));
            facade_.items = listed;
            FakeItem::share(s, std::move(done));
        }

    private:
        CreatingFacade& facade_;
        QString name_;
    };
    std::shared_ptr<BasicItem> makeLocalItem(const QString& path, bool) const override {
        return std::make_shared<LinkingFile>(const_cast<CreatingFacade&>(*this), path.section(u'/', -1));
    }
    int creations = 0;
    bool findable = true;
    std::optional<BusinessError> refusal;  // how the service answers a creation instead of making the link
};

class ShareInfoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        BusinessFacadeHolder::setFacadeForTesting(owned);
        facade.settings()->setSyncRoot(root.path());
        ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/Orvella")));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });
        window.setShareController(std::make_unique<ShareController>(OVShareControllerDependencyProvider{&facade}));
    }
    void TearDown() override {
        Alert::setResponder({});
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }
    int load() {
        int completions = 0;
        window.loadShare(path, [&] { ++completions; });
        return completions;
    }

    QTemporaryDir root;
    // The sync folder is read through the process's facade.
    std::shared_ptr<CreatingFacade> owned = std::make_shared<CreatingFacade>(QStringLiteral("test.group.sharing.window"));
    CreatingFacade& facade = *owned;
    QString path = root.path() + QStringLiteral("/Orvella/f.txt");
    ShareInfoWindowController window;
};

TEST_F(ShareInfoWindowTest, AMissingLinkIsMadeAndShownSelected) {
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(facade.creations, 1);
    ASSERT_EQ(window.dataSource()->shares().size(), 1u);
    EXPECT_EQ(window.dataSource()->selectionIndexes(), ShareDataSource::IndexSet{0});
    EXPECT_FALSE(window.dataSource()->isLoading());
    EXPECT_EQ(Alert::shownCount(), 0);
    // An existing link is shown at once.
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(facade.creations, 1);
}

TEST_F(ShareInfoWindowTest, AFailedLookupMakesNoLinkAndALinkNeverFoundIsMadeTwiceAtMost) {
    facade.items = BusinessError::make(BusinessError::Kind::noConnection);
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(facade.creations, 0);
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].messageText(), LocalizationController().shItemAlertNoInternetConnectionMessage());

    facade.items = SharingFacade::Items{};
    facade.findable = false;
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(facade.creations, 2);
    ASSERT_EQ(Alert::shownCount(), 2);
    EXPECT_EQ(Alert::shownAlerts()[1].messageText(), LocalizationController().shItemAlertRetryShareMessage());
    EXPECT_FALSE(window.dataSource()->isLoading());
}

// The service holds no such item, or the item is gone from the disk: the user learns which, not
// that something went wrong and might work later.
TEST_F(ShareInfoWindowTest, ALinkRefusedForAnItemNotSyncedSaysSo) {
    LocalizationController texts;
    const struct {
        const char* name;
        std::optional<BusinessError> refusal;
        bool gone;
        QString message;
        QString informative;
    } cases[] = {
        {"notInTheOnlineStorage", BusinessError::api(APIError::notFound, QStringLiteral("There is no such item to share.")),
         false, texts.shItemAlertUnableToShareNonSyncedItemMessage(), texts.shItemAlertUnableToShareNonSyncItemInformative()},
        {"unexpectedFailure", BusinessError::make(BusinessError::Kind::unknown), false,
         texts.shItemAlertUnableToShareItemGenericMessage(), texts.shItemAlertUnableToShareItemGenericInformative()},
        {"deletedSinceItWasPicked", std::nullopt, true, texts.shItemAlertItemNotFoundMessage(),
         texts.shItemAlertItemNotFoundInformative()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Alert::clearShownAlerts();
        facade.refusal = c.refusal;
        if (c.gone) {
            ASSERT_TRUE(QFile::remove(path));
        }
        EXPECT_EQ(load(), 1);
        ASSERT_EQ(Alert::shownCount(), 1);
        EXPECT_EQ(Alert::shownAlerts()[0].messageText(), c.message);
        EXPECT_EQ(Alert::shownAlerts()[0].informativeText(), c.informative);
        EXPECT_TRUE(window.dataSource()->shares().empty());
    }
}

TEST(ShareInfoWindowAlertTest, EachFailureGetsItsSheet) {
    LocalizationController texts;
    using W = ShareInfoWindowController;
    struct Row {
        BusinessError error;
        QString message;
        bool retry;
    };
    const Row rows[] = {
        {BusinessError::api(APIError::notFound), texts.shItemAlertRetryShareMessage(), true},
        {BusinessError::make(BusinessError::Kind::noConnection), texts.shItemAlertNoInternetConnectionMessage(), true},
        {BusinessError::api(APIError::forbidden), texts.shItemAlertForbiddenMessage(), false},
        {BusinessError::api(APIError::forbidden, QStringLiteral("Not yours")), texts.shItemAlertUnableToShareItemGenericMessage(), false},
        {BusinessError::api(APIError::requestEntityTooLarge), texts.shItemAlertPathTooLongMessage(), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(textualDescription(row.error).toStdString());
        const W::FailureAlert alert = W::failureAlert(AppError(row.error));
        EXPECT_EQ(alert.message, row.message);
        EXPECT_EQ(alert.offersRetry, row.retry);
    }
    EXPECT_EQ(W::failureAlert(AppError(UnknownError{QStringLiteral("x")})).informative,
              texts.shItemAlertUnableToShareItemGenericInformative());
}

}  // namespace
