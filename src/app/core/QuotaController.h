#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "app/core/AppError.h"
#include "app/core/ObjCQuota.h"

class BusinessUser;
class Cancelable;

// Gives the quota controller the signed-in framework user.
class UserProvider {
public:
    virtual ~UserProvider() = default;
    virtual std::shared_ptr<const BusinessUser> user() const = 0;
};

// The business facade's current user.
class OVFacadeUserProvider final : public UserProvider {
public:
    std::shared_ptr<const BusinessUser> user() const override;
};

using QuotaResult = std::variant<std::shared_ptr<ObjCQuota>, AppError>;
using QuotaCompletion = std::function<void(const QuotaResult&)>;

// The signed-in account's storage quota for whoever asks. The last answer is cached; the service is
// asked again at most every 10 seconds, only while it is reachable, and never twice at once. The
// cache belongs to one account and is dropped as soon as another account (or nobody) is signed in.
//
// Main thread only. Request completions may arrive on any thread; they are handled on the main
// queue, so every answer reaches callers on the main thread.
class QuotaController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isFetchingQuota READ isFetchingQuota NOTIFY isFetchingQuotaChanged)

public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    // Whether the service is reachable right now.
    using ReachabilitySource = std::function<bool()>;

    // A cache this old or older (either way: the clock may be set back) is asked for again.
    static constexpr std::chrono::seconds maximumCacheAge{10};

    // The facade's user, the system clock and a fresh ReachabilityController per check.
    explicit QuotaController(QObject* parent = nullptr);
    QuotaController(std::shared_ptr<UserProvider> userProvider, Clock clock, ReachabilitySource isConnected,
                    QObject* parent = nullptr);
    ~QuotaController() override;

    // Answers through `completion`, on the main thread:
    // - nobody signed in: `invalidUser`, once;
    // - `continuously` true (a display that keeps the last value): the cached quota at once when
    //   there is one, then, when a fresh value is due, that value (or a failure followed by the
    //   cache, unless the request was cancelled); answered once or twice;
    // - `continuously` false: exactly one answer: the fresh value or the request's failure when
    //   a request is due (also when another caller's request is already under way), else the cache
    //   or `quotaUnavailable`.
    // Returns the request when this call started one. Cancelling it leaves its starter unanswered;
    // callers queued on it then receive the cache (or `quotaUnavailable`), once.
    std::shared_ptr<Cancelable> updateQuota(bool continuously, QuotaCompletion completion);

    bool isFetchingQuota() const { return isFetchingQuota_; }
    const std::shared_ptr<ObjCQuota>& cachedQuota() const { return cachedQuota_; }
    const std::shared_ptr<UserProvider>& userProvider() const { return userProvider_; }
    void setUserProvider(std::shared_ptr<UserProvider> provider) { userProvider_ = std::move(provider); }

public slots:
    // Drops the cache, and detaches a running request, when the signed-in account is no longer the
    // one they belong to. Connect UserController::userChanged here.
    void userDidChange();

signals:
    void isFetchingQuotaChanged();

private:
    struct Request;
    class RequestHandle;

    void setIsFetchingQuota(bool value);
    bool isCacheStale() const;
    void deliverCache(const QuotaCompletion& completion) const;
    void forgetOtherAccounts(const std::optional<QString>& accountId);
    std::optional<QString> currentAccountId() const;
    void requestDidFinish(const std::shared_ptr<Request>& request, const BusinessResult<OVQuota>& result);
    void requestWasCancelled(const std::shared_ptr<Request>& request);

    std::shared_ptr<UserProvider> userProvider_;
    Clock clock_;
    ReachabilitySource isConnected_;
    std::shared_ptr<ObjCQuota> cachedQuota_;
    std::optional<std::chrono::system_clock::time_point> lastUpdate_;
    std::optional<QString> cacheAccountId_;
    std::shared_ptr<Request> running_;
    bool isFetchingQuota_ = false;
};
