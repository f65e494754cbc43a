#pragma once

#include <QObject>
#include <QString>

#include "app/core/C.h"
#include "app/shell/update/SUUpdaterDelegate.h"

class UserDefaults;

// Sets the shared updater up at launch: the registered check interval, which feed it reads (the
// normal one, or the test channel that the information key "KVTSUAlternativeFeedURL" offers and
// the user default "KVTUseAlternativeFeedURL" switches on), and the first background check.
// Main thread only.
class SparkleUpdaterController : public QObject, public SUUpdaterDelegate {
    Q_OBJECT
    Q_PROPERTY(bool useAlternativeUpdateURL READ useAlternativeUpdateURL NOTIFY useAlternativeUpdateURLChanged)
    Q_PROPERTY(bool canUseAlternativeUpdateURL READ canUseAlternativeUpdateURL CONSTANT)

public:
    static constexpr double defaultScheduledCheckInterval = C::updateCheckInterval;

    // Under unit tests automatic checks are switched off and the updater is left alone.
    explicit SparkleUpdaterController(bool isRunningUnitTests, QObject* parent = nullptr);
    // The same over other defaults than the standard ones (tests).
    SparkleUpdaterController(bool isRunningUnitTests, UserDefaults& defaults, QObject* parent = nullptr);
    ~SparkleUpdaterController() override;

    bool isRunningUnitTests() const { return isRunningUnitTests_; }
    bool useAlternativeUpdateURL() const { return useAlternativeUpdateURL_; }
    bool canUseAlternativeUpdateURL() const { return canUseAlternativeUpdateURL_; }
    // On only where the test channel exists; the result is stored for the next launches.
    void setUseAlternativeUpdateURL(bool value);

    // The shared updater's sending of the system profile, which follows the crash-report consent.
    bool sendsSystemProfile() const;
    void setSendsSystemProfile(bool value);

    // SUUpdaterDelegate: read anew for every check, so a switch applies from the next one on.
    QString feedURLStringForUpdater(const SUUpdater& updater) const override;

signals:
    void useAlternativeUpdateURLChanged();

private:
    UserDefaults& defaults_;
    bool isRunningUnitTests_;
    bool useAlternativeUpdateURL_ = false;
    bool canUseAlternativeUpdateURL_ = false;
};
