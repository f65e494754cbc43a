#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// Switches the file manager's use of the application's own extension on and off through the
// pluginkit tool, and keeps at it until the host reports the wanted state. Switching on hands the
// other vendor's extension, when it is in use, off and back on around our own.
//
// The public operations may be called from any thread: the request is noted at once and the
// switching itself runs on the main thread, whose loop fires its timers. The tool runs and the
// registry reads happen on a queue of their own, one after another, never on the main thread.
//
// A request made while a switch is under way is not lost: the latest one is remembered and applied
// when the switch ends, or becomes the target of the next poll when the switch is still polling.
class SyncExtensionController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isConverging READ isConverging NOTIFY isConvergingChanged)

public:
    enum class PluginKitState { enabled, ignored, undetermined };

    // A repeating timer of the switching; after invalidate() its tick never runs again.
    class RepeatingTimer {
    public:
        virtual ~RepeatingTimer() = default;
        virtual void invalidate() = 0;
    };

    // Everything the switching needs from outside, so that tests can drive it without a tool or a
    // clock.
    struct Environment {
        // Runs the tool and answers its standard output; none when it could not start. Blocking.
        std::function<std::optional<QString>(const QString& path, const QStringList& arguments)> runTool;
        // Whether the file-manager host uses the extension. Blocking.
        std::function<bool(const QString& identifier)> isExtensionEnabled;
        // Runs `blocking` off the main thread, after all work handed in before, then `then` on the
        // main thread.
        std::function<void(std::function<void()> blocking, std::function<void()> then)> perform;
        // A repeating timer on the main thread; its first tick comes after `seconds`.
        std::function<std::shared_ptr<RepeatingTimer>(double seconds, std::function<void()> tick)> scheduleRepeating;
        // The own extension's identifier, read afresh at each use.
        std::function<QString()> ownIdentifier;
        // The user's "badges in the file manager" setting.
        std::function<bool()> showBadgesInFinder;
        QString pluginkitPath;
        QString otherVendorIdentifier;

        // The tool beside the application, the host's registry, the main loop's timers.
        static Environment standard();
    };

    // The other vendor's extension that is handed over around our own.
    static constexpr const char* otherVendorFinderExtensionIdentifier = "example.othervendor.findersync";
    static constexpr double handOverInterval = 1.25;
    static constexpr double pollInterval = 4.0;

    // The process's controller, made on first use with the standard environment.
    static SyncExtensionController& shared();

    explicit SyncExtensionController(Environment environment, QObject* parent = nullptr);
    ~SyncExtensionController() override;

    bool isConverging() const { return isConverging_; }
    // On when a user is signed in (`enabled`) and badges are wanted; otherwise off.
    void updateExtensionState(bool enabled);
    void disableExtension();
    // The state last asked for, whether or not the switching has got there.
    bool requestedEnabled() const { return requestedEnabled_.load(); }

    // The state a query's output stands for: only its first character counts.
    static PluginKitState stateFromOutput(const std::optional<QString>& output);

signals:
    void isConvergingChanged();

private:
    // Runs the tool; every call blocks until the tool exits.
    class PluginKitHandler {
    public:
        PluginKitHandler(QString path, std::function<std::optional<QString>(const QString&, const QStringList&)> run)
            : pluginkitPath(std::move(path)), run_(std::move(run)) {}
        void setExtension(const QString& identifier, bool ignored) const;
        PluginKitState state(const QString& identifier) const;

        const QString pluginkitPath;

    private:
        std::function<std::optional<QString>(const QString&, const QStringList&)> run_;
    };

    struct OtherVendorExtensionHandler {
        QString finderExtensionIdentifier;
    };

    enum class TickOutcome { reached, notYet, handingOver };

    void request(bool enable);
    void startSwitch(bool target);
    void switchOn();
    void convergeTowards(bool target);
    void pollTick();
    void startHandOver(std::function<void()> ending);
    void endSwitch();
    void applyPending();
    void setConverging(bool converging);
    // Runs `work` off the main thread and hands its result to `then` on the main thread, unless
    // the controller is gone by then.
    template <typename R>
    void later(std::function<R()> work, std::function<void(R)> then);

    Environment environment_;
    std::shared_ptr<const PluginKitHandler> pluginKit_;
    OtherVendorExtensionHandler otherVendor_;

    std::atomic<bool> requestedEnabled_{false};
    bool isConverging_ = false;
    // From a request's first state check until its switch ends; requests meanwhile wait.
    bool busy_ = false;
    bool target_ = false;
    std::optional<bool> pending_;
    std::shared_ptr<RepeatingTimer> pollTimer_;
    std::shared_ptr<RepeatingTimer> handOverTimer_;
    // A poll's commands are still running: the next tick waits rather than piling up commands.
    bool pollInFlight_ = false;
};
