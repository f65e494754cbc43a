#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QUrlQuery>

#include "app/sharing/ObjCShare.h"
#include "app/sharing/ObjCShareInfo.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"
#include "app/sharing/ShareTestSupport.h"
#include "app/shell/sharing/ShareInfoViewController.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Workspace.h"
#include "support/TestEnvironment.h"

namespace {

ShareInfo info(ShareStatus status, double ttl, std::int64_t maxDownloads, std::int64_t remaining) {
    ShareInfo i = infoAt(QStringLiteral("root/a"));
    i.status = status;
    i.ttl = ttl;
    i.maxDownloads = maxDownloads;
    i.remainingDownloads = remaining;
    return i;
}

class InspectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Alert::clearShownAlerts();
        Workspace::setOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
        inspector.setShareController(&controller);
        inspector.setRepresentedObject(&dataSource);
    }
    void TearDown() override {
        Workspace::setOpener({});
        Alert::setResponder({});
    }
    std::shared_ptr<ObjCShare> show(std::shared_ptr<FakeItem> item) {
        items.push_back(item);
        auto share = ObjCShare::make(item);
        dataSource.setShares({share});
        dataSource.setIsEmpty(false);
        dataSource.setSelectionIndexes({0});
        return share;
    }

    ScopedSharingFacade scoped;
    ShareController controller{OVShareControllerDependencyProvider{&scoped.facade()}};
    ShareDataSource dataSource;
    ShareInfoViewController inspector;
    std::vector<std::shared_ptr<FakeItem>> items;
    QList<QUrl> opened;
};

struct StateRow {
    const char* name;
    bool directory;
    ShareStatus status;
    bool linkShown;        // the link, else the expired text
    bool downloadLimitRow; // files have a download limit, folders write access
};

class InspectorStateTest : public InspectorTest, public ::testing::WithParamInterface<StateRow> {};

TEST_P(InspectorStateTest, ShowsWhatTheShareOffers) {
    const StateRow& row = GetParam();
    std::shared_ptr<FakeItem> item;
    if (row.directory) item = std::make_shared<FakeDirectory>(QStringLiteral("D"), info(row.status, 86400, -1, -1));
    else item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), info(row.status, 86400, -1, -1));
    show(item);
    const QString link = QStringLiteral("https://www.orvella.example/s/token");
    EXPECT_EQ(inspector.isCurrentShareExpired(), !row.linkShown);
    EXPECT_EQ(inspector.url(), row.linkShown ? link : LocalizationController().shItemLabelShareAlreadyExpired());
    EXPECT_EQ(!inspector.maxDownloadsPopUpButton()->isHidden(), row.downloadLimitRow);
    EXPECT_EQ(!inspector.writeAccessButton()->isHidden(), !row.downloadLimitRow);

    // An expired link's text is no link: nothing is copied, opened or mailed.
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    inspector.copy();
    inspector.openShareInExternalBrowser();
    inspector.shareItem();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), row.linkShown ? link : QStringLiteral("before"));
    ASSERT_EQ(opened.size(), row.linkShown ? 2 : 0);
    if (row.linkShown) {
        EXPECT_EQ(opened[0], QUrl(link));
        EXPECT_EQ(opened[1].scheme(), QStringLiteral("mailto"));
        EXPECT_TRUE(QUrlQuery(opened[1]).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded).endsWith(link));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, InspectorStateTest,
                         ::testing::Values(StateRow{"File", false, ShareStatus::active, true, true},
                                           StateRow{"Folder", true, ShareStatus::active, true, false},
                                           StateRow{"ExpiredFile", false, ShareStatus::expired, false, true}),
                         [](const ::testing::TestParamInfo<StateRow>& info) { return std::string(info.param.name); });

// The link field starts at the link's start, and Copy tells it copied only what it did copy, and
// only for the link still shown.
TEST_F(InspectorTest, TheLinkShowsItsStartAndCopySaysItCopied) {
    const LocalizationController texts;
    const QString longLink = QStringLiteral("https://www.orvella.example/s/") + QString(200, u'x');
    const struct {
        const char* name;
        ShareStatus status;
        const char* then;  // "wait", "another" or nothing
        bool saysCopied;
    } rows[] = {
        {"copied", ShareStatus::active, "", true},
        {"expiredCopiesNothing", ShareStatus::expired, "", false},
        {"aMomentLater", ShareStatus::active, "wait", false},
        {"anotherLinkShown", ShareStatus::active, "another", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), info(row.status, 86400, -1, -1));
        item->urlResult = QUrl(longLink);
        dataSource.setSelectionIndexes({});
        show(item);
        auto* field = inspector.view()->findChild<QLineEdit*>(QStringLiteral("urlField"));
        auto* copy = inspector.view()->findChild<QPushButton*>(QStringLiteral("copyButton"));
        ASSERT_TRUE(field && copy);
        if (row.status == ShareStatus::active) {
            ASSERT_TRUE(TestEnvironment::waitUntil([&] { return field->text() == longLink; }));
            EXPECT_EQ(field->cursorPosition(), 0) << "scrolled to the link's tail";
            EXPECT_EQ(field->toolTip(), longLink);
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        copy->click();
        EXPECT_EQ(copy->text(), row.status == ShareStatus::active ? texts.shItemButtonCopied() : texts.shItemButtonCopy());
        if (std::string(row.then) == "wait")
            TestEnvironment::waitUntil([&] { return copy->text() == texts.shItemButtonCopy(); }, 3000);
        if (std::string(row.then) == "another") {
            dataSource.setSelectionIndexes({});
            show(std::make_shared<FakeFile>(QStringLiteral("g.txt"), info(ShareStatus::active, 86400, -1, -1)));
        }
        EXPECT_EQ(copy->text() == texts.shItemButtonCopied(), row.saysCopied);
    }
}

TEST(ShareToolbarValidationTest, LinkItemsNeedALiveLinkDeleteNeedsAShare) {
    using W = ShareWindowController;
    struct Row {
        QString identifier;
        bool hasShares, expired, enabled;
    };
    const Row rows[] = {
        {W::deleteFull, true, true, true},          {W::deletePartial, false, false, false},
        {W::openInBrowserFull, true, false, true},  {W::openInBrowserPartial, true, true, false},
        {W::sendEmailFull, false, false, false},    {W::sendEmailPartial, true, true, false},
        {W::shareItemFull, true, true, false},      {W::shareItemPartial, true, false, true},
        {QStringLiteral("refresh"), false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.identifier.toStdString());
        EXPECT_EQ(ShareInfoViewController::isToolbarItemEnabled(row.identifier, row.hasShares, row.expired), row.enabled);
    }
}

TEST_F(InspectorTest, ChoicesHoldTheCurrentValuesAndASaveKeepsTheMaximumNotWhatIsLeft) {
    // 45 days, at most 10 downloads of which 7 are left.
    auto item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), info(ShareStatus::active, 3888000, 10, 7));
    auto share = show(item);
    const std::vector<std::int64_t> days{-1, 1, 3, 5, 7, 10, 30, 45, 60, 90};
    EXPECT_EQ(inspector.daysValidLimits(), days);
    EXPECT_EQ(inspector.maxDownloadLimits(), (std::vector<std::int64_t>{-1, 1, 3, 5, 10, 50, 100, 200, 1000}));
    EXPECT_EQ(inspector.maxDownloadsPopUpButton()->currentText(), QStringLiteral("10"));
    EXPECT_EQ(inspector.daysValidPopUpButton()->currentText(), QStringLiteral("45"));

    // Choosing the value it had sends nothing.
    inspector.daysValidPopUpButton()->activated(7);
    EXPECT_TRUE(item->settings.size() == 1);  // only the link lookup
    // Another validity: the update carries the maximum, not the 7 left.
    item->infoResult = info(ShareStatus::active, 86400, 10, 7);
    inspector.daysValidPopUpButton()->activated(1);
    ASSERT_EQ(item->settings.size(), 2u);
    EXPECT_EQ(item->settings[1].maxDownloads, 10);
    EXPECT_EQ(item->settings[1].ttl, 86400.0);
    EXPECT_FALSE(inspector.hasChanges());

    // Another inspector's choices do not change this one's menu.
    ShareDataSource otherSource;
    ShareInfoViewController other;
    other.setRepresentedObject(&otherSource);
    otherSource.setShares({ObjCShare::make(std::make_shared<FakeFile>(QStringLiteral("g"), info(ShareStatus::active, 86400 * 12, 4, 4)))});
    otherSource.setSelectionIndexes({0});
    EXPECT_EQ(inspector.daysValidLimits(), days);
    inspector.daysValidPopUpButton()->activated(2);
    EXPECT_EQ(item->settings.back().ttl, 3 * 86400.0);
}

TEST_F(InspectorTest, AFailedSaveRevertsAndAnUnsavedEditIsUndoneOnLeaving) {
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    auto item = std::make_shared<FakeDirectory>(QStringLiteral("D"), info(ShareStatus::active, 86400, -1, -1));
    auto share = show(item);
    item->infoResult = BusinessError::make(BusinessError::Kind::noConnection);
    inspector.writeAccessButton()->click();
    EXPECT_FALSE(share->shareInfo()->isWritable());
    EXPECT_FALSE(inspector.writeAccessButton()->isChecked());
    EXPECT_EQ(Alert::shownCount(), 1);

    share->shareInfo()->setTtl(5 * 86400);  // edited, not saved
    auto second = ObjCShare::make(std::make_shared<FakeFile>(QStringLiteral("g"), info(ShareStatus::active, 86400, -1, -1)));
    dataSource.setShares({share, second});
    dataSource.setSelectionIndexes({1});
    EXPECT_EQ(share->shareInfo()->ttl(), 86400.0);
}

TEST_F(InspectorTest, NeitherReturnNorEscapeRemovesAndRemovingTheLastShowsNoSelection) {
    auto item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), info(ShareStatus::active, 86400, -1, -1));
    show(item);
    QWidget window;
    inspector.view()->setParent(&window);
    std::optional<Alert> asked;
    Alert::setResponder([&](const Alert& alert) {
        asked = alert;
        return alert.closeResponse();
    });
    inspector.removeShare();
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->responseForKey(Alert::ReturnKey), Alert::SecondButtonReturn);
    EXPECT_EQ(asked->closeResponse(), Alert::SecondButtonReturn);
    TestEnvironment::waitUntil([] { return false; }, 50);
    EXPECT_EQ(dataSource.shares().size(), 1u);

    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    inspector.removeShare();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return inspector.selectedTab() == ShareInfoViewController::Tab::noSelection; }));
    EXPECT_TRUE(dataSource.shares().empty());
    EXPECT_TRUE(dataSource.isEmpty());
    inspector.view()->setParent(nullptr);
}

}  // namespace
