#include "app/core/QuotaController.h"

#include <QPointer>

#include <array>
#include <atomic>
#include <vector>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/ReachabilityController.h"
#include "frameworks/api/APIError.h"
#include "frameworks/business/BusinessFacade.h"
#include "platform/foundation/MainQueue.h"

namespace {

// The error as a log line shows it: its kind, then what it carries.
QString describe(const BusinessError& error) {
    static const std::array<const char*, 28> names = {
        "unexpectedStatus", "api", "invalidData", "formatError", "unableToDownload", "unableToSave",
        "setup", "setupFailed", "cryptoError", "generic", "unfulfilledRequirement", "upload",
        "internalError", "directoryNameEmpty", "directoryUnknown", "noConnection", "insufficientLocalStorage",
        "invalidSession", "timeout", "passwordNeeded", "notSupported", "unavailableFeatureForEncryptedItem",
        "unknown", "cancelled", "contactsAccessDenied", "photosAccessDenied", "calendarsAccessDenied",
        "keychainUnavailable",
    };
    static_assert(static_cast<std::size_t>(BusinessError::Kind::keychainUnavailable) + 1 == names.size());
    const auto index = static_cast<std::size_t>(error.kind);
    QString text = QString::fromLatin1(index < names.size() ? names[index] : "unknown");
    QStringList carried;
    if (error.apiError) carried << apiErrorCode(*error.apiError);
    if (!error.message.isEmpty()) carried << QLatin1Char('"') + error.message + QLatin1Char('"');
    if (carried.isEmpty() && error.value != 0) carried << QString::number(error.value);
    if (!carried.isEmpty()) text += QLatin1Char('(') + carried.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

bool readReachability() {
    ReachabilityController reachability;
    return reachability.isConnected();
}

}  // namespace

std::shared_ptr<const BusinessUser> OVFacadeUserProvider::user() const {
    return BusinessFacadeHolder::facade().currentUser();
}

// One quota request and everyone waiting for its answer; the first waiter started it.
struct QuotaController::Request {
    struct Waiter {
        bool continuously;
        QuotaCompletion completion;
    };
    QString accountId;
    std::vector<Waiter> waiters;
    std::atomic<bool> cancelled{false};
    bool finished = false;  // main thread only
};

// What the starter of a request holds: cancelling calls off the framework request and settles the
// controller's side, since a cancelled framework request never calls back.
class QuotaController::RequestHandle final : public Cancelable {
public:
    RequestHandle(QPointer<QuotaController> controller, std::shared_ptr<Request> request,
                  std::shared_ptr<Cancelable> inner)
        : controller_(std::move(controller)), request_(std::move(request)), inner_(std::move(inner)) {}

    void cancel() override {
        if (request_->cancelled.exchange(true)) return;
        if (inner_) inner_->cancel();
        MainQueue::runOrAsync([controller = controller_, request = request_] {
            if (controller) controller->requestWasCancelled(request);
        });
    }
    bool isCancelled() const override { return request_->cancelled.load(); }

private:
    QPointer<QuotaController> controller_;
    std::shared_ptr<Request> request_;
    std::shared_ptr<Cancelable> inner_;
};

QuotaController::QuotaController(QObject* parent)
    : QuotaController(std::make_shared<OVFacadeUserProvider>(), [] { return std::chrono::system_clock::now(); },
                      readReachability, parent) {}

QuotaController::QuotaController(std::shared_ptr<UserProvider> userProvider, Clock clock,
                                 ReachabilitySource isConnected, QObject* parent)
    : QObject(parent),
      userProvider_(std::move(userProvider)),
      clock_(std::move(clock)),
      isConnected_(std::move(isConnected)) {}

QuotaController::~QuotaController() = default;

std::shared_ptr<Cancelable> QuotaController::updateQuota(bool continuously, QuotaCompletion completion) {
    Q_ASSERT(MainQueue::isMainThread());
    if (!completion) completion = [](const QuotaResult&) {};
    const auto user = userProvider_ ? userProvider_->user() : nullptr;
    if (!user) {
        completion(AppError(QuotaError::invalidUser));
        return nullptr;
    }
    const QString accountId = user->accountId();
    forgetOtherAccounts(accountId);

    if (cachedQuota_ && continuously) completion(cachedQuota_);

    if (isCacheStale() && isConnected_ && isConnected_()) {
        if (!running_) {
            auto request = std::make_shared<Request>();
            request->accountId = accountId;
            request->waiters.push_back({continuously, std::move(completion)});
            running_ = request;
            setIsFetchingQuota(true);
            QPointer<QuotaController> self(this);
            auto inner = user->fetchQuota([self, request](BusinessResult<OVQuota> result) {
                MainQueue::async([self, request, result = std::move(result)] {
                    if (self) self->requestDidFinish(request, result);
                });
            });
            return std::make_shared<RequestHandle>(self, request, std::move(inner));
        }
        if (!continuously) {
            // One answer only: this caller waits for the running request instead of taking the
            // stale cache now.
            running_->waiters.push_back({false, std::move(completion)});
            return nullptr;
        }
    }
    deliverCache(completion);
    return nullptr;
}

void QuotaController::userDidChange() {
    forgetOtherAccounts(currentAccountId());
}

void QuotaController::setIsFetchingQuota(bool value) {
    if (isFetchingQuota_ == value) return;
    isFetchingQuota_ = value;
    emit isFetchingQuotaChanged();
}

bool QuotaController::isCacheStale() const {
    if (!lastUpdate_) return true;
    return std::chrono::abs(clock_() - *lastUpdate_) >= maximumCacheAge;
}

void QuotaController::deliverCache(const QuotaCompletion& completion) const {
    if (cachedQuota_)
        completion(cachedQuota_);
    else
        completion(AppError(QuotaError::quotaUnavailable));
}

void QuotaController::forgetOtherAccounts(const std::optional<QString>& accountId) {
    if (cacheAccountId_ != accountId) {
        cachedQuota_.reset();
        lastUpdate_.reset();
        cacheAccountId_ = accountId;
    }
    // A request for another account may run on; its answer is no longer cached and no longer
    // blocks a request for this account.
    if (running_ && running_->accountId != accountId) {
        running_.reset();
        setIsFetchingQuota(false);
    }
}

std::optional<QString> QuotaController::currentAccountId() const {
    const auto user = userProvider_ ? userProvider_->user() : nullptr;
    if (!user) return std::nullopt;
    return user->accountId();
}

void QuotaController::requestDidFinish(const std::shared_ptr<Request>& request,
                                       const BusinessResult<OVQuota>& result) {
    if (request->finished) return;
    request->finished = true;
    if (running_ == request) {
        running_.reset();
        setIsFetchingQuota(false);
    }
    auto waiters = std::move(request->waiters);
    // A cancel that raced with the answer: the starter asked not to be answered.
    if (request->cancelled.load() && !waiters.empty()) waiters.erase(waiters.begin());

    const std::optional<QString> accountId = currentAccountId();
    forgetOtherAccounts(accountId);
    const bool forCurrentAccount = accountId == request->accountId;

    if (result.isSuccess()) {
        if (forCurrentAccount) {
            lastUpdate_ = clock_();
            cachedQuota_ = std::make_shared<ObjCQuota>(result.value());
        }
        // Another account's quota is never shown; its waiters get what is known of this one.
        for (const auto& waiter : waiters) deliverCache(waiter.completion);
        return;
    }

    const BusinessError& error = result.error();
    OVLOG_WARNING(AppLog::framework(), QStringLiteral("Update quota error: ") + describe(error));
    const bool fallBackToCache = error.kind != BusinessError::Kind::cancelled;
    for (const auto& waiter : waiters) {
        waiter.completion(AppError(error));
        if (waiter.continuously && fallBackToCache) deliverCache(waiter.completion);
    }
}

void QuotaController::requestWasCancelled(const std::shared_ptr<Request>& request) {
    if (request->finished) return;
    request->finished = true;
    if (running_ == request) {
        running_.reset();
        setIsFetchingQuota(false);
    }
    auto waiters = std::move(request->waiters);
    if (!waiters.empty()) waiters.erase(waiters.begin());
    forgetOtherAccounts(currentAccountId());
    for (const auto& waiter : waiters) deliverCache(waiter.completion);
}
