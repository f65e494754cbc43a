#include "app/sync/SyncExtensionController.h"

#include <QCoreApplication>
#include <QPointer>

#include <utility>

#include "app/common/ConfigurationProvider.h"
#include "app/core/ProcessLauncher.h"
#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Timer.h"
#include "platform/pluginkit/ExtensionRegistry.h"
#include "platform/pluginkit/PluginKitTool.h"

namespace {

class MainLoopTimer : public SyncExtensionController::RepeatingTimer {
public:
    explicit MainLoopTimer(std::shared_ptr<Timer> timer) : timer_(std::move(timer)) {}
    ~MainLoopTimer() override { timer_->invalidate(); }
    void invalidate() override { timer_->invalidate(); }

private:
    std::shared_ptr<Timer> timer_;
};

}  // namespace

SyncExtensionController::Environment SyncExtensionController::Environment::standard() {
    Environment environment;
    environment.runTool = [](const QString& path, const QStringList& arguments) {
        return ProcessLauncher().launch(path, arguments);
    };
    environment.isExtensionEnabled = [](const QString& identifier) {
        return ExtensionRegistry().isEnabled(identifier);
    };
    auto queue = std::make_shared<SerialQueue>(QStringLiteral("SyncExtensionController.pluginkit"));
    environment.perform = [queue](std::function<void()> blocking, std::function<void()> then) {
        queue->async([blocking = std::move(blocking), then = std::move(then)]() mutable {
            blocking();
            MainQueue::async(std::move(then));
        });
    };
    environment.scheduleRepeating = [](double seconds, std::function<void()> tick) -> std::shared_ptr<RepeatingTimer> {
        return std::make_shared<MainLoopTimer>(
            Timer::scheduledTimer(seconds, true, [tick = std::move(tick)](Timer&) { tick(); }));
    };
    environment.ownIdentifier = [] { return infoPlistString(QStringLiteral("FinderExtensionBundleIdentifier")); };
    environment.showBadgesInFinder = [] { return SettingsController().settings()->showBadgesInFinder(); };
    environment.pluginkitPath = PluginKitTool::path();
    environment.otherVendorIdentifier = QString::fromLatin1(otherVendorFinderExtensionIdentifier);
    return environment;
}

SyncExtensionController& SyncExtensionController::shared() {
    // Made on the main thread's behalf: its timers belong to the main loop wherever it is first asked for.
    static SyncExtensionController* controller = [] {
        auto* made = new SyncExtensionController(Environment::standard());
        if (QCoreApplication* app = QCoreApplication::instance()) made->moveToThread(app->thread());
        return made;
    }();
    return *controller;
}

SyncExtensionController::SyncExtensionController(Environment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      pluginKit_(std::make_shared<const PluginKitHandler>(environment_.pluginkitPath, environment_.runTool)),
      otherVendor_{environment_.otherVendorIdentifier} {}

SyncExtensionController::~SyncExtensionController() {
    if (pollTimer_) pollTimer_->invalidate();
    if (handOverTimer_) handOverTimer_->invalidate();
}

// ---- the tool ----

void SyncExtensionController::PluginKitHandler::setExtension(const QString& identifier, bool ignored) const {
    // The output tells nothing the state check would not; a failed command is simply repeated.
    run_(pluginkitPath, {QStringLiteral("-e"), ignored ? QStringLiteral("ignore") : QStringLiteral("use"),
                         QStringLiteral("-i"), identifier});
}

SyncExtensionController::PluginKitState SyncExtensionController::PluginKitHandler::state(const QString& identifier) const {
    return stateFromOutput(run_(pluginkitPath, {QStringLiteral("-m"), QStringLiteral("-A"), QStringLiteral("-i"), identifier}));
}

SyncExtensionController::PluginKitState SyncExtensionController::stateFromOutput(const std::optional<QString>& output) {
    if (!output || output->isEmpty()) return PluginKitState::undetermined;
    if (output->front() == QLatin1Char('+')) return PluginKitState::enabled;
    if (output->front() == QLatin1Char('-')) return PluginKitState::ignored;
    return PluginKitState::undetermined;
}

// ---- requests ----

void SyncExtensionController::updateExtensionState(bool enabled) {
    const bool enable = enabled && environment_.showBadgesInFinder();
    requestedEnabled_ = enable;
    QPointer<SyncExtensionController> self(this);
    MainQueue::runOrAsync([self, enable] {
        if (self) self->request(enable);
    });
}

void SyncExtensionController::disableExtension() {
    requestedEnabled_ = false;
    QPointer<SyncExtensionController> self(this);
    MainQueue::runOrAsync([self] {
        if (self) self->request(false);
    });
}

void SyncExtensionController::request(bool enable) {
    // One switch at a time; the latest request made meanwhile is kept for when it ends.
    if (busy_) {
        pending_ = enable;
        return;
    }
    startSwitch(enable);
}

template <typename R>
void SyncExtensionController::later(std::function<R()> work, std::function<void(R)> then) {
    auto result = std::make_shared<std::optional<R>>();
    QPointer<SyncExtensionController> self(this);
    environment_.perform([work = std::move(work), result] { result->emplace(work()); },
                         [self, then = std::move(then), result] {
                             if (self && result->has_value()) then(std::move(**result));
                         });
}

void SyncExtensionController::startSwitch(bool target) {
    busy_ = true;
    const QString own = environment_.ownIdentifier();
    later<bool>([isEnabled = environment_.isExtensionEnabled, own] { return isEnabled(own); },
                [this, target](bool enabled) {
                    if (enabled == target) {
                        // Already there: nothing to switch, and isConverging stays as it was.
                        busy_ = false;
                        applyPending();
                        return;
                    }
                    target_ = target;
                    setConverging(true);
                    if (target) {
                        switchOn();
                        return;
                    }
                    const QString own = environment_.ownIdentifier();
                    later<bool>([pluginKit = pluginKit_, own] { pluginKit->setExtension(own, true); return true; },
                                [this](bool) { convergeTowards(false); });
                });
}

void SyncExtensionController::switchOn() {
    const QString own = environment_.ownIdentifier();
    later<bool>(
        [pluginKit = pluginKit_, own, other = otherVendor_.finderExtensionIdentifier] {
            if (pluginKit->state(other) == PluginKitState::enabled) {
                pluginKit->setExtension(other, true);
                return true;
            }
            pluginKit->setExtension(own, false);
            return false;
        },
        [this](bool handingOver) {
            if (handingOver) startHandOver([this] { convergeTowards(true); });
            else convergeTowards(true);
        });
}

// Own on at the first tick, the other vendor's back on at the second, the ending at the third.
void SyncExtensionController::startHandOver(std::function<void()> ending) {
    auto step = std::make_shared<int>(0);
    handOverTimer_ = environment_.scheduleRepeating(handOverInterval, [this, step, ending = std::move(ending)] {
        switch ((*step)++) {
        case 0:
            later<bool>([pluginKit = pluginKit_, own = environment_.ownIdentifier()] {
                pluginKit->setExtension(own, false);
                return true;
            }, [](bool) {});
            break;
        case 1:
            later<bool>([pluginKit = pluginKit_, other = otherVendor_.finderExtensionIdentifier] {
                pluginKit->setExtension(other, false);
                return true;
            }, [](bool) {});
            break;
        default: {
            const std::function<void()> end = ending;
            handOverTimer_->invalidate();
            handOverTimer_.reset();
            end();
        }
        }
    });
}

void SyncExtensionController::convergeTowards(bool target) {
    later<bool>([isEnabled = environment_.isExtensionEnabled, own = environment_.ownIdentifier()] { return isEnabled(own); },
                [this, target](bool enabled) {
                    if (enabled == target) {
                        endSwitch();
                        return;
                    }
                    pollTimer_ = environment_.scheduleRepeating(pollInterval, [this] { pollTick(); });
                });
}

void SyncExtensionController::pollTick() {
    // A slow tool or a running hand-over: this tick would only pile commands onto the queue.
    if (pollInFlight_ || handOverTimer_) return;
    // The target may never be reached (no tool, a host that does not follow): a newer request
    // takes over from here rather than waiting for ever.
    if (pending_) target_ = *std::exchange(pending_, std::nullopt);
    pollInFlight_ = true;
    const bool target = target_;
    later<TickOutcome>(
        [pluginKit = pluginKit_, isEnabled = environment_.isExtensionEnabled, own = environment_.ownIdentifier(),
         other = otherVendor_.finderExtensionIdentifier, target] {
            if (target && pluginKit->state(other) == PluginKitState::enabled) {
                pluginKit->setExtension(other, true);
                return TickOutcome::handingOver;
            }
            pluginKit->setExtension(own, !target);
            return isEnabled(own) == target ? TickOutcome::reached : TickOutcome::notYet;
        },
        [this, target](TickOutcome outcome) {
            if (outcome != TickOutcome::handingOver) {
                pollInFlight_ = false;
                if (outcome == TickOutcome::reached) endSwitch();
                return;
            }
            // The poll counts as busy until the hand-over's own state check is in.
            startHandOver([this, target] {
                later<bool>([isEnabled = environment_.isExtensionEnabled, own = environment_.ownIdentifier()] {
                    return isEnabled(own);
                }, [this, target](bool enabled) {
                    pollInFlight_ = false;
                    if (enabled == target) endSwitch();
                });
            });
        });
}

void SyncExtensionController::endSwitch() {
    if (pollTimer_) {
        pollTimer_->invalidate();
        pollTimer_.reset();
    }
    busy_ = false;
    setConverging(false);
    applyPending();
}

void SyncExtensionController::applyPending() {
    if (const std::optional<bool> next = std::exchange(pending_, std::nullopt)) request(*next);
}

void SyncExtensionController::setConverging(bool converging) {
    if (isConverging_ == converging) return;
    isConverging_ = converging;
    emit isConvergingChanged();
}
