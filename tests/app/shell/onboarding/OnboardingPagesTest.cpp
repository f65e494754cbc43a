#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "OnboardingTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/shell/onboarding/InfoViewController.h"
#include "app/shell/onboarding/OnboardingImages.h"
#include "app/shell/onboarding/OnboardingPages.h"
#include "app/shell/onboarding/SelectiveSyncOnboardingViewController.h"
#include "app/shell/onboarding/WelcomeViewController.h"

namespace {

struct PageRow {
    const char* name;
    const char* model;  // the most derived model class
    QString image;
    QString title;
    QString subtitle;
    bool scrollable;
    bool backwards;
    bool alert;
    // The chrome the window shows on the page.
    bool refreshHidden;
    bool backHidden;
    bool forwardHidden;
    bool closeDisabled;
    const char* identifier;
};

std::vector<PageRow> pageRows() {
    LocalizationController t;
    return {
        {"welcome", "Welcome", {}, {}, {}, true, true, false, true, true, true, false, "WelcomeViewController"},
        {"signIn", "Login", {}, {}, {}, true, true, false, false, true, true, false, "LoginViewController"},
        {"info1", "Info", OnboardingImages::menuBarExtras, t.obLabelTitle1(), t.obLabelSubtitle1(), true, false, true,
         true, false, false, true, "InfoViewController"},
        {"info2", "Info", OnboardingImages::sharing, t.obLabelTitle2(), t.obLabelSubtitle2(), true, true, false, true,
         false, false, true, "InfoViewController"},
        {"info3", "Info", OnboardingImages::security, t.obLabelTitle3(), t.obLabelSubtitle3(), true, true, false, true,
         false, false, true, "InfoViewController"},
        {"syncRoot", "SyncRoot", OnboardingImages::genericDevice, {}, {}, true, true, false, true, false, false, true,
         "SyncRootSelectionViewController"},
        {"selectiveSync", "SelectiveSync", OnboardingImages::genericBlank, t.obLabelSelectiveSyncTitle(),
         t.obLabelSelectiveSyncSubtitle(), false, false, false, true, false, false, true,
         "SelectiveSyncOnboardingViewController"},
    };
}

TEST(OnboardingPagesTest, SevenPagesInOrderWithTheirModelsImagesTextsAndChrome) {
    const auto pages = C::onboardingPages();
    const auto rows = pageRows();
    ASSERT_EQ(pages.size(), rows.size());
    OnboardingWindowController identifiers(nullptr);
    OnboardingPageController pageController;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const PageRow& row = rows[i];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(pages[i]->metaObject()->className(), row.model);
        const auto* navigable = dynamic_cast<const OnboardingPageControllerNavigable*>(pages[i].get());
        ASSERT_TRUE(navigable);
        EXPECT_EQ(navigable->isRefreshButtonHidden(), row.refreshHidden);
        EXPECT_EQ(navigable->isBackButtonHidden(), row.backHidden);
        EXPECT_EQ(navigable->isForwardButtonHidden(), row.forwardHidden);
        EXPECT_EQ(navigable->isWindowCloseButtonDisabled(), row.closeDisabled);
        EXPECT_EQ(navigable->bottomBoxFillColor(), QColor(Qt::transparent));
        const auto behaviour = navigable->scrollingBehavior();
        ASSERT_TRUE(behaviour);
        EXPECT_EQ(behaviour->isScrollable, row.scrollable);
        EXPECT_EQ(behaviour->isBackwardsScrollable, row.backwards);
        EXPECT_EQ(behaviour->navigateBackAlert != nullptr, row.alert);
        EXPECT_EQ(identifiers.pageControllerIdentifierForObject(pageController, pages[i]),
                  QString::fromLatin1(row.identifier));
        if (const auto* info = qobject_cast<const Info*>(pages[i].get())) {
            EXPECT_EQ(info->image(), *OnboardingImages::named(row.image));
            EXPECT_EQ(info->title().value_or("<none>"), row.title.isEmpty() ? "<none>" : row.title);
            EXPECT_EQ(info->subtitle().value_or("<none>"), row.subtitle.isEmpty() ? "<none>" : row.subtitle);
        }
    }
}

TEST(OnboardingPagesTest, TheSignInAlertGoesBackOnItsFirstButton) {
    const auto pages = C::onboardingPages();
    ASSERT_EQ(pages.size(), 7u);
    const auto alert = qobject_cast<Info*>(pages[2].get())->scrollingBehavior()->navigateBackAlert;
    ASSERT_TRUE(alert);
    LocalizationController t;
    EXPECT_EQ(alert->messageText(), t.obAlertSignInMessage());
    EXPECT_EQ(alert->informativeText(), t.obAlertSignInInformative());
    EXPECT_EQ(alert->buttonTitles(), QStringList({t.obAlertButtonSignInAgain(), t.obAlertButtonSignInCancel()}));
    // Return and Escape both keep the user signed in; signing out takes the click.
    EXPECT_EQ(alert->responseForKey(Alert::ReturnKey), Alert::SecondButtonReturn);
    EXPECT_EQ(alert->closeResponse(), Alert::SecondButtonReturn);
    // The same alert object at every read of the page's behaviour.
    EXPECT_EQ(qobject_cast<Info*>(pages[2].get())->scrollingBehavior()->navigateBackAlert, alert);
}

TEST(OnboardingPagesTest, WelcomeAndLoginHandOutANewBehaviourAtEveryRead) {
    Welcome welcome;
    Login login;
    EXPECT_NE(welcome.scrollingBehavior(), welcome.scrollingBehavior());
    EXPECT_NE(login.scrollingBehavior(), login.scrollingBehavior());
}

class MissingImageTest : public ::testing::TestWithParam<QString> {
protected:
    void TearDown() override { OnboardingImages::setProviderForTesting(nullptr); }
};

TEST_P(MissingImageTest, LeavesWelcomeAndSignInOnly) {
    const QString missing = GetParam();
    OnboardingImages::setProviderForTesting([missing](const QString& name) -> std::optional<QImage> {
        if (name == missing) return std::nullopt;
        return QImage(4, 4, QImage::Format_ARGB32);
    });
    const auto pages = C::onboardingPages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(qobject_cast<Welcome*>(pages[0].get()));
    EXPECT_TRUE(qobject_cast<Login*>(pages[1].get()));
}

INSTANTIATE_TEST_SUITE_P(EachImage, MissingImageTest, ::testing::ValuesIn(OnboardingImages::names().toVector()),
                         [](const auto& info) { return info.param.toStdString(); });

TEST(OnboardingPagesTest, EveryNamedImageIsDrawnAndOthersAreMissing) {
    for (const QString& name : OnboardingImages::names()) {
        SCOPED_TRACE(name.toStdString());
        const auto image = OnboardingImages::named(name);
        ASSERT_TRUE(image);
        EXPECT_FALSE(image->isNull());
        // Something is drawn on the transparent ground.
        bool painted = false;
        for (int y = 0; y < image->height() && !painted; y += 2)
            for (int x = 0; x < image->width() && !painted; x += 2) painted = qAlpha(image->pixel(x, y)) > 0;
        EXPECT_TRUE(painted);
    }
    EXPECT_FALSE(OnboardingImages::named(QStringLiteral("OnboardingUnknown")));
}

TEST(InfoViewControllerTest, SubtitleKeepsItsTextWhenItsLineHeightIsSet) {
    auto model = std::make_shared<Info>(QImage(8, 8, QImage::Format_ARGB32), QStringLiteral("Title <b>"),
                                        QStringLiteral("A & B < C"), std::make_shared<ScrollingBehavior>(true, true));
    InfoViewController page;
    page.setRepresentedObject(model);
    EXPECT_EQ(page.titleLabel()->text(), QStringLiteral("Title <b>"));
    EXPECT_EQ(page.subtitleString(), QStringLiteral("A & B < C"));
    page.viewWillAppear();
    EXPECT_EQ(page.subtitleString(), QStringLiteral("A & B < C"));
    EXPECT_TRUE(page.subtitleLabel()->text().contains(QStringLiteral("line-height:20px")));
    // The labels follow the model.
    model->setTitle(QStringLiteral("Other"));
    model->setSubtitle(std::nullopt);
    EXPECT_EQ(page.titleLabel()->text(), QStringLiteral("Other"));
    EXPECT_EQ(page.subtitleString(), QString());
    EXPECT_FALSE(page.imageView()->pixmap().isNull());
}

class RecordingWelcomeDelegate : public WelcomeViewControllerDelegate {
public:
    void welcomeViewControllerDidFinish(WelcomeViewController&) override { ++finished; }
    int finished = 0;
};

TEST(WelcomeViewControllerTest, TheSignInButtonTellsTheDelegateWhenThereIsOne) {
    WelcomeViewController page;
    page.loginButton()->click();  // no delegate: nothing happens
    RecordingWelcomeDelegate delegate;
    page.setDelegate(&delegate);
    page.loginButton()->click();
    EXPECT_EQ(delegate.finished, 1);
    EXPECT_EQ(page.loginButton()->text(), LocalizationController().obButtonSignIn());
}

}  // namespace
