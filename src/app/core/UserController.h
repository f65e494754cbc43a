#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

#include "app/core/ObjCUser.h"
#include "frameworks/business/BusinessError.h"

class BusinessUser;


// The application's one record of who is signed in, observed by the menu bar, preferences and
// the other controllers.
class UserController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAvailable READ isAvailable WRITE setIsAvailable NOTIFY isAvailableChanged)
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn WRITE setIsLoggedIn NOTIFY isLoggedInChanged)
    Q_PROPERTY(bool isOnboarding READ isOnboarding WRITE setIsOnboarding NOTIFY isOnboardingChanged)
    Q_PROPERTY(bool isLogoutInProgress READ isLogoutInProgress WRITE setIsLogoutInProgress NOTIFY
                   isLogoutInProgressChanged)

public:
    explicit UserController(QObject* parent = nullptr);

    // The signed-in user as the observable model; none while signed out.
    std::shared_ptr<ObjCUser> user() const { return user_; }
    bool isAvailable() const { return isAvailable_; }
    bool isLoggedIn() const { return isLoggedIn_; }
    bool isOnboarding() const { return isOnboarding_; }
    bool isLogoutInProgress() const { return isLogoutInProgress_; }
    void setIsAvailable(bool value);
    void setIsLoggedIn(bool value);
    void setIsOnboarding(bool value);
    void setIsLogoutInProgress(bool value);

    // Re-reads the signed-in user from the business facade.
    void update();
    // The clean-up after the facade's logout reports back, whatever the result and even when the
    // controller is gone by then; the completion gets whether the logout succeeded. Safe to call
    // from the facade's queue: the clean-up runs on the main queue.
    static void finishLogout(QPointer<UserController> controller, const VoidResult& result,
                             std::function<void(bool)> completion = {});

    // What the layers above clear once a log-out finishes (the selective-sync store, the
    // extension, the sidebar entry), set by the application's owner. It runs on the main thread
    // before the completion; `controllerAlive` says whether the controller was still there to
    // tell whose sync folder it was. Process-wide, like the clean-up itself.
    using LogoutCleanup = std::function<void(bool controllerAlive)>;
    static void setLogoutCleanup(LogoutCleanup cleanup);

signals:
    void userChanged();
    void isAvailableChanged();
    void isLoggedInChanged();
    void isOnboardingChanged();
    void isLogoutInProgressChanged();

private:
    std::shared_ptr<ObjCUser> user_;
    bool isAvailable_ = false;
    bool isLoggedIn_ = false;
    bool isOnboarding_ = false;
    bool isLogoutInProgress_ = false;
};
