#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QTimer;

// Persistent key-value settings of one domain (a suite), shared between processes.
//
// Each domain is one JSON file, <config>/Orvella/defaults/<domain>.json, mode 0600, replaced
// atomically on every write under a lock file; a write merges its change into what is on disk so that
// two processes writing different keys do not undo each other. Values keep their type (dates and
// data round-trip). Changes made by other processes arrive through a file watch on the main thread.
// Registered defaults live in memory only. All members may be called from any thread; `changed` is
// emitted on the thread that wrote, or on the main thread for changes found on disk.
class UserDefaults : public QObject {
    Q_OBJECT

public:
    // The application's own domain, named by the main bundle's "AppBundleIdentifier".
    static UserDefaults& standard();
    // One shared instance per domain name within the process.
    static std::shared_ptr<UserDefaults> suite(const QString& name);

    static QString standardDomainName();
    static QString defaultsDirectory();
    static QString filePathForDomain(const QString& name);

    // An instance of its own over the domain's file, not shared; the shared ones come from
    // standard() and suite().
    explicit UserDefaults(const QString& name, QObject* parent = nullptr);
    ~UserDefaults() override;

    QString domainName() const;
    QString filePath() const;

    // The stored value, else the registered default, else an invalid variant.
    QVariant object(const QString& key) const;
    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    std::optional<QString> stringForKey(const QString& key) const;
    std::optional<QDateTime> dateForKey(const QString& key) const;
    std::optional<QByteArray> dataForKey(const QString& key) const;
    std::optional<QVariantList> arrayForKey(const QString& key) const;
    std::optional<QVariantMap> dictionaryForKey(const QString& key) const;

    // Stores the value (an invalid variant removes the key). Answers whether it reached the disk; a
    // value of a type that cannot be stored is refused and changes nothing. A value that could not be
    // written stays in memory and goes out with the next successful write.
    bool setObject(const QString& key, const QVariant& value);
    bool removeObject(const QString& key);

    // Values answered while nothing is stored; in memory only. An invalid variant drops a default.
    void registerDefaults(const QVariantMap& defaults);
    // Registered defaults overlaid with the stored values.
    QVariantMap dictionaryRepresentation() const;
    // The stored values only.
    QVariantMap persistentDomain() const;
    // Deletes the named domain's file and clears the shared instance of that domain, if any.
    void removePersistentDomain(const QString& name);

    // Re-reads the file now; the file watch calls this. False when the file was unreadable.
    bool reload();

    // A domain's file that could not be read as settings (garbage, empty, cut short) and was set
    // aside, so that the domain now reads as empty. A platform layer cannot log to the
    // application's log: it says so here, and the application decides what follows.
    struct SetAside {
        QString domain;
        QString path;    // the domain's file
        QString keptAs;  // where the bad file is kept now; empty when it could not be moved
    };
    using SetAsideHandler = std::function<void(const SetAside&)>;
    // Told of every file set aside in this process, on the thread that found it, once the instance
    // has let go of its own locks; possibly on several threads at once. It may run while a shared
    // instance is being made (inside suite() or standard()), so it must not make one: it should
    // note what it needs and hand any work to a queue. What was set aside while no handler was
    // installed (the latest 32) is handed to the next handler at once, on the installing thread, so
    // that one installed after the first read misses nothing. An empty handler uninstalls. A
    // warning goes to stderr either way.
    static void setSetAsideHandler(SetAsideHandler handler);
    // This instance has set its file aside since it was made: where the latest bad file is kept
    // (empty when it could not be moved); none when it never did.
    std::optional<QString> setAsideCopy() const;
    bool wasSetAside() const { return setAsideCopy().has_value(); }

    static bool isStorable(const QVariant& value);
    // The conversions the typed getters apply to a value.
    static bool boolValue(const QVariant& value);
    static std::optional<QString> stringValue(const QVariant& value);
    static std::optional<QDateTime> dateValue(const QVariant& value);
    static std::optional<QByteArray> dataValue(const QVariant& value);

signals:
    // The value answered for the key has changed.
    void changed(const QString& key);

private:
    // Changes not yet on disk: a key's encoded value, or none for a removal.
    using Pending = QHash<QString, std::optional<QJsonValue>>;
    enum class ReadResult { ok, missing, corrupt, unreadable };
    struct FileStamp {
        quint64 device = 0, inode = 0;
        qint64 size = -1, mtimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };

    ReadResult readFile(QJsonObject* values) const;
    bool writeFile(const QJsonObject& values) const;
    void moveCorruptFileAside();
    // Notes that the file was set aside (under ioMutex_); reportSetAside() tells the handler
    // once the caller has let go of ioMutex_.
    void noteSetAside(const QString& keptAs);
    void reportSetAside();
    FileStamp stamp() const;

    // These run under ioMutex_ and answer the keys whose value changed; the caller emits `changed`
    // for them once the lock is released, so that an observer may write again at once.
    QStringList reloadLocked(bool onlyWhenTouched, bool* readable = nullptr);
    // Reads the disk under the lock file, applies the unsaved changes, writes it back and takes
    // the result as the new state.
    QStringList flushLocked(bool* written);
    QStringList applyState(const QVariantMap& newValues, const QVariantMap& newDefaults);
    QVariantMap decodedState() const;  // disk_ overlaid with unsaved_, decoded; under mutex_
    void emitChanged(const QStringList& keys);
    void clearStoredValues();

    // One file watch for the whole process; each instance coalesces its events with its own timer.
    void setUpWatching();
    void startWatching();  // on the main thread
    void scheduleReload();
    void reloadFromWatch();
    static void fileEvent(const QString& path);
    static void refreshFileWatch(const QString& path);

    const QString name_;
    const QString path_;
    mutable std::mutex mutex_;  // guards the fields below
    std::mutex ioMutex_;        // one write or reload of this instance at a time
    QJsonObject disk_;          // what was last read from or written to the file
    FileStamp diskStamp_;
    Pending unsaved_;
    QVariantMap values_;
    QVariantMap defaults_;
    QPointer<QTimer> reloadTimer_;  // lives on the main thread
    std::optional<QString> setAsideCopy_;
    std::vector<SetAside> unreportedSetAsides_;
};
