#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "app/common/LogChannels.h"
#include "app/core/ObjCQuota.h"
#include "app/core/QuotaController.h"
#include "frameworks/business/BusinessFacade.h"
#include "frameworks/logger/Logger.h"
#include "platform/foundation/MainQueue.h"
#include "app/core/support/TestBusinessUser.h"
#include "support/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Kind = BusinessError::Kind;

const OVQuota oldQuota{100, 40, 60};
const OVQuota newQuota{100, 50, 50};

class FakeUserProvider : public UserProvider {
public:
    std::shared_ptr<const BusinessUser> user() const override { return current; }
    std::shared_ptr<const BusinessUser> current;
};

// One answer as text: "used=40", "quotaUnavailable", "invalidUser", or the business kind.
QString describe(const QuotaResult& result) {
    if (const auto* quota = std::get_if<std::shared_ptr<ObjCQuota>>(&result))
        return *quota ? QStringLiteral("used=%1").arg((*quota)->used()) : QStringLiteral("null quota");
    const AppError& error = std::get<AppError>(result);
    if (const QuotaError* q = error.quotaError())
        return *q == QuotaError::quotaUnavailable ? QStringLiteral("quotaUnavailable") : QStringLiteral("invalidUser");
    if (const BusinessError* b = error.businessError()) {
        switch (b->kind) {
        case Kind::timeout: return QStringLiteral("timeout");
        case Kind::cancelled: return QStringLiteral("cancelled");
        default: return QStringLiteral("business %1").arg(static_cast<int>(b->kind));
        }
    }
    return QStringLiteral("other error");
}

// Runs everything handed to the main queue so far.
void flushMainQueue() {
    bool done = false;
    MainQueue::async([&done] { done = true; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&done] { return done; }));
}

struct Harness {
    std::shared_ptr<TestBusinessUser> user = std::make_shared<TestBusinessUser>();
    std::shared_ptr<FakeUserProvider> provider = [this] {
        auto p = std::make_shared<FakeUserProvider>();
        p->current = user;
        return p;
    }();
    std::chrono::system_clock::time_point now = std::chrono::system_clock::time_point{} + 1000h;
    bool connected = true;
    int reachabilityReads = 0;
    QuotaController controller{provider, [this] { return now; },
                               [this] {
                                   ++reachabilityReads;
                                   return connected;
                               }};

    // A completion that appends its answers to `answers`.
    QuotaCompletion record(QStringList& answers) {
        return [&answers](const QuotaResult& result) { answers << describe(result); };
    }

    // Fills the cache through one successful request at the current time.
    void primeCache(const OVQuota& quota) {
        QStringList ignored;
        controller.updateQuota(false, record(ignored));
        ASSERT_TRUE(user->requests.back()->answer(quota));
        flushMainQueue();
        ASSERT_EQ(ignored, QStringList{QStringLiteral("used=%1").arg(quota.used)});
        reachabilityReads = 0;
    }

    std::size_t requestCount() const { return user->requests.size(); }
};

// ---- The delivery matrix ----

enum class Cache { none, fresh, stale };
enum class Fetch { success, failure, cancelled };

struct MatrixRow {
    const char* name;
    bool continuously;
    Cache cache;
    bool connected;
    QStringList onCall;  // answers before any request completes
    bool startsRequest;
    QStringList afterSuccess, afterFailure, afterCancelled;  // further answers once it completes
};

const QStringList none;
const QString oldAnswer = QStringLiteral("used=40");
const QString newAnswer = QStringLiteral("used=50");
const QString unavailable = QStringLiteral("quotaUnavailable");
const QString timeoutAnswer = QStringLiteral("timeout");
const QString cancelledAnswer = QStringLiteral("cancelled");

const std::vector<MatrixRow> matrixRows = {
    {"continuous_noCache_online", true, Cache::none, true, none, true, {newAnswer}, {timeoutAnswer, unavailable},
     {cancelledAnswer}},
    {"continuous_noCache_offline", true, Cache::none, false, {unavailable}, false, none, none, none},
    {"continuous_fresh_online", true, Cache::fresh, true, {oldAnswer, oldAnswer}, false, none, none, none},
    {"continuous_fresh_offline", true, Cache::fresh, false, {oldAnswer, oldAnswer}, false, none, none, none},
    {"continuous_stale_online", true, Cache::stale, true, {oldAnswer}, true, {newAnswer}, {timeoutAnswer, oldAnswer},
     {cancelledAnswer}},
    {"continuous_stale_offline", true, Cache::stale, false, {oldAnswer, oldAnswer}, false, none, none, none},
    {"once_noCache_online", false, Cache::none, true, none, true, {newAnswer}, {timeoutAnswer}, {cancelledAnswer}},
    {"once_noCache_offline", false, Cache::none, false, {unavailable}, false, none, none, none},
    {"once_fresh_online", false, Cache::fresh, true, {oldAnswer}, false, none, none, none},
    {"once_fresh_offline", false, Cache::fresh, false, {oldAnswer}, false, none, none, none},
    {"once_stale_online", false, Cache::stale, true, none, true, {newAnswer}, {timeoutAnswer}, {cancelledAnswer}},
    {"once_stale_offline", false, Cache::stale, false, {oldAnswer}, false, none, none, none},
};

class QuotaDeliveryMatrix : public ::testing::TestWithParam<std::tuple<MatrixRow, Fetch>> {};

TEST_P(QuotaDeliveryMatrix, answersAsTheRowSays) {
    const auto& [row, fetch] = GetParam();
    Harness h;
    if (row.cache != Cache::none) {
        h.primeCache(oldQuota);
        // Exactly ten seconds already count as stale.
        h.now += row.cache == Cache::stale ? 10s : 9s;
    }
    h.connected = row.connected;
    const std::size_t requestsBefore = h.requestCount();
    int fetchingChanges = 0;
    QObject::connect(&h.controller, &QuotaController::isFetchingQuotaChanged, [&] { ++fetchingChanges; });

    QStringList answers;
    auto handle = h.controller.updateQuota(row.continuously, h.record(answers));
    EXPECT_EQ(answers, row.onCall);
    EXPECT_EQ(handle != nullptr, row.startsRequest);
    EXPECT_EQ(h.requestCount() - requestsBefore, row.startsRequest ? 1u : 0u);
    EXPECT_EQ(h.controller.isFetchingQuota(), row.startsRequest);
    // Reachability is asked only for a stale cache.
    EXPECT_EQ(h.reachabilityReads > 0, row.cache != Cache::fresh);

    QStringList expected = row.onCall;
    if (row.startsRequest) {
        flushMainQueue();
        EXPECT_EQ(answers, row.onCall) << "nothing more before the request completes";
        switch (fetch) {
        case Fetch::success:
            h.user->requests.back()->answer(newQuota);
            expected += row.afterSuccess;
            break;
        case Fetch::failure:
            h.user->requests.back()->answer(BusinessError::make(Kind::timeout));
            expected += row.afterFailure;
            break;
        case Fetch::cancelled:
            h.user->requests.back()->answer(BusinessError::make(Kind::cancelled));
            expected += row.afterCancelled;
            break;
        }
    }
    flushMainQueue();
    EXPECT_EQ(answers, expected);
    EXPECT_FALSE(h.controller.isFetchingQuota());
    EXPECT_EQ(fetchingChanges, row.startsRequest ? 2 : 0);

    // The cache holds the new value only after a successful request; a failure keeps the old one.
    const bool refreshed = row.startsRequest && fetch == Fetch::success;
    const auto& cached = h.controller.cachedQuota();
    if (refreshed) {
        ASSERT_TRUE(cached);
        EXPECT_EQ(cached->used(), newQuota.used);
        EXPECT_EQ(cached->overall(), newQuota.overall);
        EXPECT_EQ(cached->free(), newQuota.free);
    } else if (row.cache != Cache::none) {
        ASSERT_TRUE(cached);
        EXPECT_EQ(cached->used(), oldQuota.used);
    } else {
        EXPECT_FALSE(cached);
    }
}

INSTANTIATE_TEST_SUITE_P(AllCases, QuotaDeliveryMatrix,
                         ::testing::Combine(::testing::ValuesIn(matrixRows),
                                            ::testing::Values(Fetch::success, Fetch::failure, Fetch::cancelled)),
                         [](const auto& info) {
                             const Fetch fetch = std::get<1>(info.param);
                             const char* outcome = fetch == Fetch::success   ? "success"
                                                   : fetch == Fetch::failure ? "failure"
                                                                             : "cancelled";
                             return std::string(std::get<0>(info.param).name) + "_" + outcome;
                         });

// ---- Clock ----

TEST(QuotaControllerTest, cacheAgeIsTakenEitherWayFromTheLastUpdate) {
    const struct {
        std::chrono::milliseconds offset;
        bool asksAgain;
    } cases[] = {
        {9999ms, false}, {10000ms, true}, {-9999ms, false}, {-10000ms, true}, {-11000ms, true}, {3600000ms, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset.count());
        Harness h;
        h.primeCache(oldQuota);
        h.now += c.offset;
        QStringList answers;
        const auto handle = h.controller.updateQuota(false, h.record(answers));
        EXPECT_EQ(handle != nullptr, c.asksAgain);
        EXPECT_EQ(h.requestCount(), c.asksAgain ? 2u : 1u);
        EXPECT_EQ(answers, c.asksAgain ? QStringList{} : QStringList{oldAnswer});
    }
}

// ---- A second caller while a request is under way ----

TEST(QuotaControllerTest, secondCallerWhileRequestRunsIsAnsweredOnce) {
    const struct {
        const char* name;
        bool secondContinuously;
        bool fails;
        QStringList firstExpected, secondOnCall, secondAfter;
    } cases[] = {
        {"continuous_success", true, false, {oldAnswer, newAnswer}, {oldAnswer, oldAnswer}, none},
        {"continuous_failure", true, true, {oldAnswer, timeoutAnswer, oldAnswer}, {oldAnswer, oldAnswer}, none},
        {"once_success", false, false, {oldAnswer, newAnswer}, none, {newAnswer}},
        {"once_failure", false, true, {oldAnswer, timeoutAnswer, oldAnswer}, none, {timeoutAnswer}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.primeCache(oldQuota);
        h.now += 30s;
        QStringList first, second;
        ASSERT_TRUE(h.controller.updateQuota(true, h.record(first)));
        EXPECT_FALSE(h.controller.updateQuota(c.secondContinuously, h.record(second)));
        EXPECT_EQ(h.requestCount(), 2u) << "never two requests at once";
        EXPECT_EQ(second, c.secondOnCall);

        if (c.fails) {
            h.user->requests.back()->answer(BusinessError::make(Kind::timeout));
        } else {
            h.user->requests.back()->answer(newQuota);
        }
        flushMainQueue();
        EXPECT_EQ(first, c.firstExpected);
        EXPECT_EQ(second, c.secondOnCall + c.secondAfter);
    }
}

TEST(QuotaControllerTest, everyQueuedCallerIsAnsweredExactlyOnce) {
    Harness h;
    QStringList starter;
    std::vector<QStringList> queued(3);
    ASSERT_TRUE(h.controller.updateQuota(false, h.record(starter)));
    for (auto& answers : queued) EXPECT_FALSE(h.controller.updateQuota(false, h.record(answers)));
    EXPECT_EQ(h.requestCount(), 1u);

    h.user->requests.back()->answer(newQuota);
    flushMainQueue();
    EXPECT_EQ(starter, QStringList{newAnswer});
    for (const auto& answers : queued) EXPECT_EQ(answers, QStringList{newAnswer});

    // A later call within ten seconds is answered from the cache; the earlier callers hear nothing more.
    QStringList later;
    EXPECT_FALSE(h.controller.updateQuota(false, h.record(later)));
    flushMainQueue();
    EXPECT_EQ(later, QStringList{newAnswer});
    EXPECT_EQ(starter.size(), 1);
    for (const auto& answers : queued) EXPECT_EQ(answers.size(), 1);
}

TEST(QuotaControllerTest, cancellingAnswersOnlyTheQueuedCallersAndFreesTheController) {
    const struct {
        const char* name;
        bool answerRacesTheCancel;  // the framework's answer is already on the main queue
    } cases[] = {{"before_answer", false}, {"answer_in_flight", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.primeCache(oldQuota);
        h.now += 30s;
        QStringList starter, queued;
        const auto handle = h.controller.updateQuota(false, h.record(starter));
        ASSERT_TRUE(handle);
        h.controller.updateQuota(false, h.record(queued));
        const auto request = h.user->requests.back();
        if (c.answerRacesTheCancel) {
            ASSERT_TRUE(request->answer(newQuota));
        }

        handle->cancel();
        EXPECT_TRUE(handle->isCancelled());
        EXPECT_TRUE(request->isCancelled());
        EXPECT_FALSE(h.controller.isFetchingQuota());
        flushMainQueue();
        EXPECT_EQ(starter, QStringList{});
        EXPECT_EQ(queued, QStringList{oldAnswer});

        // The controller is free for the next request.
        QStringList next;
        EXPECT_TRUE(h.controller.updateQuota(false, h.record(next)));
        EXPECT_EQ(h.requestCount(), 3u);
    }
}

// ---- Threads ----

TEST(QuotaControllerTest, completionFromAnotherThreadIsHandledOnTheMainThread) {
    Harness h;
    QStringList answers;
    bool answeredOnMain = false;
    bool flagClearedOnMain = false;
    QObject::connect(&h.controller, &QuotaController::isFetchingQuotaChanged, &h.controller,
                     [&] { flagClearedOnMain = !h.controller.isFetchingQuota() && MainQueue::isMainThread(); },
                     Qt::DirectConnection);
    h.controller.updateQuota(false, [&](const QuotaResult& result) {
        answers << describe(result);
        answeredOnMain = MainQueue::isMainThread();
    });
    std::thread framework([request = h.user->requests.back()] { request->answer(newQuota); });
    framework.join();
    EXPECT_TRUE(answers.isEmpty()) << "not answered on the framework's thread";
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(answers, QStringList{newAnswer});
    EXPECT_TRUE(answeredOnMain);
    EXPECT_TRUE(flagClearedOnMain);
    ASSERT_TRUE(h.controller.cachedQuota());
    EXPECT_EQ(h.controller.cachedQuota()->thread(), QCoreApplication::instance()->thread());
}

// ---- Account changes ----

TEST(QuotaControllerTest, anotherAccountNeverSeesThePreviousQuota) {
    enum class Next { otherAccount, nobody, sameAccount };
    const struct {
        const char* name;
        Next next;
        bool notifyController;  // userDidChange() is called
        QStringList answers;
    } cases[] = {
        {"switch_notified", Next::otherAccount, true, {}},
        {"switch_unnotified", Next::otherAccount, false, {}},
        {"signOut_notified", Next::nobody, true, {QStringLiteral("invalidUser")}},
        {"sameAccount_notified", Next::sameAccount, true, {oldAnswer, oldAnswer}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.primeCache(oldQuota);
        h.provider->current = c.next == Next::nobody ? nullptr
                              : std::make_shared<TestBusinessUser>(
                                    c.next == Next::sameAccount ? h.user->accountId() : QStringLiteral("acc-2"));
        if (c.notifyController) {
            h.controller.userDidChange();
            EXPECT_EQ(h.controller.cachedQuota() != nullptr, c.next == Next::sameAccount);
        }

        QStringList answers;
        const auto handle = h.controller.updateQuota(true, h.record(answers));
        EXPECT_EQ(answers, c.answers);
        // Another account has no fresh cache, so it asks the service.
        EXPECT_EQ(handle != nullptr, c.next == Next::otherAccount);
        EXPECT_EQ(h.controller.cachedQuota() != nullptr, c.next == Next::sameAccount);
    }
}

TEST(QuotaControllerTest, requestOfThePreviousAccountIsNotCachedNorShown) {
    Harness h;
    QStringList first;
    ASSERT_TRUE(h.controller.updateQuota(true, h.record(first)));
    const auto firstRequest = h.user->requests.back();

    auto other = std::make_shared<TestBusinessUser>(QStringLiteral("acc-2"));
    h.provider->current = other;
    h.controller.userDidChange();
    EXPECT_FALSE(h.controller.isFetchingQuota()) << "the old request no longer blocks the new account";

    QStringList second;
    ASSERT_TRUE(h.controller.updateQuota(true, h.record(second)));
    ASSERT_EQ(other->requests.size(), 1u);

    firstRequest->answer(newQuota);
    flushMainQueue();
    EXPECT_EQ(first, QStringList{unavailable});
    EXPECT_FALSE(h.controller.cachedQuota());
    EXPECT_TRUE(h.controller.isFetchingQuota()) << "the new account's request still runs";

    other->requests.back()->answer(OVQuota{200, 7, 193});
    flushMainQueue();
    EXPECT_EQ(second, QStringList{QStringLiteral("used=7")});
    EXPECT_FALSE(h.controller.isFetchingQuota());
}

// ---- Log ----

TEST(QuotaControllerTest, failureIsLoggedAsWarningOnTheFrameworkChannel) {
    const int previous = AppLog::framework().verbosity();
    AppLog::framework().setVerbosity(LogVerbosity::debug);
    QStringList lines;
    const auto sink = Logger::addSink([&lines](const LogEntry& entry) {
        if (entry.channel == QStringLiteral("Framework")) lines << logLevelName(entry.level) + u' ' + entry.message;
    });
    Harness h;
    QStringList answers;
    h.controller.updateQuota(false, h.record(answers));
    h.user->requests.back()->answer(BusinessError::genericError(QStringLiteral("quota service down")));
    flushMainQueue();
    Logger::removeSink(sink);
    AppLog::framework().setVerbosity(previous);

    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("WARNING Update quota error: generic"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("quota service down")));
}

}  // namespace
