#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <vector>

#include "frameworks/business/FacadeTestSupport.h"
#include "frameworks/api/ServerChoice.h"
#include "frameworks/businessui/SignInPage.h"
#include "service/ServiceWire.h"

namespace {

// Everything the page reported, with the thread each report came on.
struct Reports {
    explicit Reports(SignInPage& page) {
        QObject::connect(&page, &SignInPage::loadingChanged, &page, [this](bool loading) {
            loadings.push_back(loading);
            allOnMain = allOnMain && MainQueue::isMainThread();
        });
        QObject::connect(&page, &SignInPage::didFinishSignIn, &page, [this] {
            ++finished;
            allOnMain = allOnMain && MainQueue::isMainThread();
        });
        QObject::connect(&page, &SignInPage::didFailSignIn, &page, [this](const BusinessError& error) {
            failures.push_back(error);
            allOnMain = allOnMain && MainQueue::isMainThread();
        });
    }
    bool settled() const { return finished + int(failures.size()) > 0 && !loadings.empty() && !loadings.back(); }

    std::vector<bool> loadings;
    int finished = 0;
    std::vector<BusinessError> failures;
    bool allOnMain = true;
};

void fill(SignInPage& page, const QString& user, const QString& password, const QString& mail = {},
          const QString& repeat = {}) {
    page.userNameField()->setText(user);
    page.passwordField()->setText(password);
    page.mailAddressField()->setText(mail);
    page.repeatPasswordField()->setText(repeat);
}

using SignInPageTest = FacadeFixture;

TEST_F(SignInPageTest, CreatesAnAccountThenSignsInThroughTheFacade) {
    std::unique_ptr<SignInPage> page(SignInPage::make(*facade, nullptr));
    ASSERT_TRUE(page);
    page->show();
    Reports reports(*page);

    page->modeButton()->click();
    ASSERT_EQ(page->mode(), SignInPage::Mode::createAccount);
    EXPECT_TRUE(page->repeatPasswordField()->isVisible());
    fill(*page, "dora", "password1", "dora@example.org", "password1");
    page->submitButton()->click();
    EXPECT_TRUE(page->isLoading());
    EXPECT_FALSE(page->submitButton()->isEnabled());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return reports.settled(); }));
    EXPECT_EQ(reports.finished, 1);
    EXPECT_TRUE(reports.failures.empty());
    EXPECT_EQ(reports.loadings, (std::vector<bool>{true, false}));
    EXPECT_TRUE(reports.allOnMain);
    ASSERT_TRUE(facade->currentUser());
    EXPECT_EQ(facade->currentUser()->name(), "dora");
    EXPECT_TRUE(page->passwordField()->text().isEmpty());

    // Signed out, the same page signs back in; a wrong password fails on the page.
    Outcome<VoidResult> out;
    facade->logout(false, out.handler());
    ASSERT_TRUE(out.wait());
    page->modeButton()->click();
    ASSERT_EQ(page->mode(), SignInPage::Mode::signIn);
    EXPECT_FALSE(page->repeatPasswordField()->isVisible());
    const struct {
        const char* label;
        QString password;
        bool succeeds;
    } attempts[] = {{"wrong", "password2", false}, {"right", "password1", true}};
    for (const auto& a : attempts) {
        SCOPED_TRACE(a.label);
        reports.loadings.clear();
        reports.finished = 0;
        reports.failures.clear();
        fill(*page, "dora", a.password);
        emit page->passwordField()->returnPressed();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return reports.settled(); }));
        EXPECT_EQ(reports.finished, a.succeeds ? 1 : 0);
        EXPECT_EQ(facade->currentUser() != nullptr, a.succeeds);
        if (!a.succeeds) {
            ASSERT_EQ(reports.failures.size(), 1u);
            EXPECT_EQ(reports.failures[0].apiError, APIError::unauthorized);
            EXPECT_EQ(page->errorText(), "The user name or password is incorrect.");
            EXPECT_TRUE(page->submitButton()->isEnabled());
        } else {
            EXPECT_TRUE(page->errorText().isEmpty());
        }
    }
}

TEST_F(SignInPageTest, IncompleteFormsAreAnsweredOnThePageWithoutARequest) {
    int requests = 0;
    SignInBackend backend;
    backend.signIn = [&](const QString&, const QString&, std::function<void(VoidResult)> done) {
        ++requests;
        done(Success{});
    };
    backend.createAccount = [&](const QString&, const QString&, const QString&, std::function<void(VoidResult)> done) {
        ++requests;
        done(Success{});
    };
    const struct {
        const char* label;
        SignInPage::Mode mode;
        QString user, password, mail, repeat;
        QString error;  // empty: the request is sent
    } cases[] = {
        {"noUser", SignInPage::Mode::signIn, "  ", "password1", "", "", "Enter your user name."},
        {"noPassword", SignInPage::Mode::signIn, "alice", "", "", "", "Enter your password."},
        {"signIn", SignInPage::Mode::signIn, "alice", "password1", "", "", ""},
        {"noMail", SignInPage::Mode::createAccount, "alice", "password1", "", "password1", "Enter your mail address."},
        {"mismatch", SignInPage::Mode::createAccount, "alice", "password1", "a@example.org", "password2",
         "The two passwords do not match."},
        {"create", SignInPage::Mode::createAccount, "alice", "password1", "a@example.org", "password1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SignInPage page(backend);
        Reports reports(page);
        page.setMode(c.mode);
        fill(page, c.user, c.password, c.mail, c.repeat);
        const int before = requests;
        page.submit();
        EXPECT_EQ(requests - before, c.error.isEmpty() ? 1 : 0);
        EXPECT_EQ(page.errorText(), c.error);
        if (c.error.isEmpty()) {
            // Even an answer given at once reaches the page later, on the main loop.
            EXPECT_EQ(reports.finished, 0);
            ASSERT_TRUE(TestEnvironment::waitUntil([&] { return reports.settled(); }));
            EXPECT_EQ(reports.finished, 1);
        } else {
            EXPECT_TRUE(reports.loadings.empty());
        }
    }
}

TEST_F(SignInPageTest, AServerNamedOnThePageIsKeptOnlyWhenItCanBeUsed) {
    int requests = 0;
    SignInBackend backend;
    backend.signIn = [&](const QString&, const QString&, std::function<void(VoidResult)> done) {
        ++requests;
        done(Success{});
    };
    const struct {
        const char* label;
        QString server;
        bool sent;
        std::optional<QUrl> kept;
    } cases[] = {
        {"plainHttpAcrossTheNetwork", "http://cloud.example.org", false, std::nullopt},
        {"https", "cloud.example.org:8443", true, QUrl(QStringLiteral("https://cloud.example.org:8443"))},
        {"emptyIsThisComputer", "", true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ServerChoice::store(std::nullopt);
        SignInPage page(backend);
        Reports reports(page);
        page.serverButton()->click();
        ASSERT_FALSE(page.serverField()->isHidden());
        page.serverField()->setText(c.server);
        fill(page, QStringLiteral("alice"), QStringLiteral("password1"), {}, {});
        const int before = requests;
        page.submit();
        EXPECT_EQ(requests - before, c.sent ? 1 : 0);
        EXPECT_EQ(page.errorText().isEmpty(), c.sent);
        EXPECT_EQ(ServerChoice::chosen(), c.kept);
        if (c.sent) {
            ASSERT_TRUE(TestEnvironment::waitUntil([&] { return reports.settled(); }));
        }
    }
    // A server set for the run by the environment is shown and cannot be changed here.
    qputenv(ServerChoice::environmentVariable, "https://env.example.org");
    SignInPage page(backend);
    EXPECT_FALSE(page.serverField()->isHidden());
    EXPECT_TRUE(page.serverField()->isReadOnly());
    EXPECT_EQ(page.serverField()->text(), QStringLiteral("https://env.example.org"));
    qunsetenv(ServerChoice::environmentVariable);
    ServerChoice::store(std::nullopt);
}

TEST_F(SignInPageTest, AnUnreachableServiceIsShownAndReloadClearsIt) {
    std::unique_ptr<SignInPage> page(SignInPage::make(*facade, nullptr));
    Reports reports(*page);
    service->setReachable(false);
    page->reload();
    EXPECT_EQ(page->errorText(), "The service cannot be reached. Check your connection and try again.");
    fill(*page, "alice", "password1");
    page->submit();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return reports.settled(); }));
    ASSERT_EQ(reports.failures.size(), 1u);
    EXPECT_EQ(reports.failures[0].kind, BusinessError::Kind::noConnection);
    service->setReachable(true);
    page->reload();
    EXPECT_TRUE(page->errorText().isEmpty());
}

}  // namespace

// A server whose certificate fails is not a network that is down: the user is told which it is.
TEST(SignInPageErrors, AnUntrustedServerIsToldApartFromAnUnreachableOne) {
    const QString untrusted = QString::fromLatin1(ServiceWire::untrustedCertificate) + QStringLiteral("The certificate is self-signed");
    const struct {
        QString message;
        QString shown;
    } cases[] = {
        {QString(), QStringLiteral("The service cannot be reached. Check your connection and try again.")},
        {QStringLiteral("Connection refused"), QStringLiteral("The service cannot be reached. Check your connection and try again.")},
        {untrusted, QStringLiteral("The server cannot be trusted. ") + untrusted},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SignInPage::errorText(BusinessError::make(BusinessError::Kind::noConnection, c.message), SignInPage::Mode::signIn),
                  c.shown);
}
