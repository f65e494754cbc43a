#include "platform/foundation/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QMetaType>
#include <QSet>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtGlobal>

#include <cmath>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Bundle.h"

namespace {

constexpr int kFormat = 1;
constexpr int kLockWaitMs = 3000;
constexpr int kStaleLockMs = 10000;
constexpr int kReloadCoalesceMs = 20;

const QString kStandardFallback = QStringLiteral("standard");

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

QHash<QString, std::shared_ptr<UserDefaults>>& registry() {
    static QHash<QString, std::shared_ptr<UserDefaults>> r;
    return r;
}

// The process's one file watch (main thread) and the instances it serves, by file path. The mutex
// is held while an event is handed out, so an instance that unregisters is never reached afterwards.
struct SharedWatch {
    std::mutex mutex;
    QMultiHash<QString, UserDefaults*> instances;
    QPointer<QFileSystemWatcher> watcher;
};

// Never destroyed: shared instances unregister from it during static destruction, in any order.
SharedWatch& sharedWatch() {
    static SharedWatch* watch = new SharedWatch;
    return *watch;
}

// Whom a file set aside is told to, and what happened while nobody listened.
struct SetAsideRegistry {
    static constexpr std::size_t backlogLimit = 32;
    std::mutex mutex;
    UserDefaults::SetAsideHandler handler;
    std::vector<UserDefaults::SetAside> backlog;
};

SetAsideRegistry& setAsideRegistry() {
    static SetAsideRegistry* registry = new SetAsideRegistry;  // reached during static destruction too
    return *registry;
}

// A domain name becomes a file name: anything that could leave the folder or hide the file is
// percent-encoded.
QString fileNameForDomain(const QString& name) {
    QString out;
    const QByteArray utf8 = name.toUtf8();
    for (int i = 0; i < utf8.size(); ++i) {
        const char c = utf8.at(i);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || (c == '.' && i > 0);
        if (plain) out += QLatin1Char(c);
        else out += QStringLiteral("%%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out + QStringLiteral(".json");
}

bool encodeValue(const QVariant& value, QJsonValue* out);

bool encodeList(const QVariantList& list, QJsonValue* out) {
    QJsonArray array;
    for (const QVariant& item : list) {
        QJsonValue encoded;
        if (!encodeValue(item, &encoded)) return false;
        array.append(encoded);
    }
    *out = QJsonObject{{QStringLiteral("array"), array}};
    return true;
}

template <typename Map>
bool encodeMap(const Map& map, QJsonValue* out) {
    QJsonObject object;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        QJsonValue encoded;
        if (!encodeValue(it.value(), &encoded)) return false;
        object.insert(it.key(), encoded);
    }
    *out = QJsonObject{{QStringLiteral("dict"), object}};
    return true;
}

QJsonObject tagged(const char* tag, const QJsonValue& value) {
    return QJsonObject{{QLatin1String(tag), value}};
}

// Every stored value carries its type, so that dates, data and integers come back as they went in.
bool encodeValue(const QVariant& value, QJsonValue* out) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        *out = tagged("bool", value.toBool());
        return true;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::Short:
    case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong: case QMetaType::Char:
    case QMetaType::SChar: case QMetaType::UChar:
        *out = tagged("int", QString::number(value.toLongLong()));
        return true;
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u <= static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            *out = tagged("int", QString::number(static_cast<qint64>(u)));
        else
            *out = tagged("uint", QString::number(u));
        return true;
    }
    case QMetaType::Double: case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::isfinite(d)) *out = tagged("double", d);
        else *out = tagged("double", std::isnan(d) ? QStringLiteral("nan") : d > 0 ? QStringLiteral("inf")
                                                                                  : QStringLiteral("-inf"));
        return true;
    }
    case QMetaType::QString:
        *out = tagged("string", value.toString());
        return true;
    case QMetaType::QByteArray:
        *out = tagged("data", QString::fromLatin1(value.toByteArray().toBase64()));
        return true;
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid()) return false;
        *out = tagged("date", date.toUTC().toString(Qt::ISODateWithMs));
        return true;
    }
    case QMetaType::QUrl:
        *out = tagged("url", value.toUrl().toString(QUrl::FullyEncoded));
        return true;
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString& s : value.toStringList()) list.append(s);
        return encodeList(list, out);
    }
    case QMetaType::QVariantList:
        return encodeList(value.toList(), out);
    case QMetaType::QVariantMap:
        return encodeMap(value.toMap(), out);
    case QMetaType::QVariantHash:
        return encodeMap(value.toHash(), out);
    default:
        return false;
    }
}

bool decodeValue(const QJsonValue& stored, QVariant* out) {
    if (!stored.isObject()) return false;
    const QJsonObject object = stored.toObject();
    if (object.size() != 1) return false;
    const QString tag = object.constBegin().key();
    const QJsonValue v = object.constBegin().value();
    if (tag == QLatin1String("bool")) {
        if (!v.isBool()) return false;
        *out = v.toBool();
        return true;
    }
    if (tag == QLatin1String("int")) {
        bool ok = false;
        const qint64 i = v.isString() ? v.toString().toLongLong(&ok) : 0;
        if (!ok) return false;
        *out = i;
        return true;
    }
    if (tag == QLatin1String("uint")) {
        bool ok = false;
        const qulonglong u = v.isString() ? v.toString().toULongLong(&ok) : 0;
        if (!ok) return false;
        *out = u;
        return true;
    }
    if (tag == QLatin1String("double")) {
        if (v.isDouble()) *out = v.toDouble();
        else if (v.toString() == QLatin1String("nan")) *out = std::numeric_limits<double>::quiet_NaN();
        else if (v.toString() == QLatin1String("inf")) *out = std::numeric_limits<double>::infinity();
        else if (v.toString() == QLatin1String("-inf")) *out = -std::numeric_limits<double>::infinity();
        else return false;
        return true;
    }
    if (tag == QLatin1String("string")) {
        if (!v.isString()) return false;
        *out = v.toString();
        return true;
    }
    if (tag == QLatin1String("data")) {
        if (!v.isString()) return false;
        const auto result = QByteArray::fromBase64Encoding(v.toString().toLatin1(),
                                                           QByteArray::AbortOnBase64DecodingErrors);
        if (!result) return false;
        *out = *result;
        return true;
    }
    if (tag == QLatin1String("date")) {
        const QDateTime date = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
        if (!date.isValid()) return false;
        *out = date.toLocalTime();
        return true;
    }
    if (tag == QLatin1String("url")) {
        if (!v.isString()) return false;
        *out = QUrl(v.toString(), QUrl::StrictMode);
        return true;
    }
    if (tag == QLatin1String("array")) {
        if (!v.isArray()) return false;
        QVariantList list;
        for (const QJsonValue& item : v.toArray()) {
            QVariant decoded;
            if (!decodeValue(item, &decoded)) return false;
            list.append(decoded);
        }
        *out = list;
        return true;
    }
    if (tag == QLatin1String("dict")) {
        if (!v.isObject()) return false;
        QVariantMap map;
        const QJsonObject o = v.toObject();
        for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
            QVariant decoded;
            if (!decodeValue(it.value(), &decoded)) return false;
            map.insert(it.key(), decoded);
        }
        *out = map;
        return true;
    }
    return false;
}

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isValid() != b.isValid()) return false;
    if (!a.isValid()) return true;
    return a == b;
}

void syncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

// ---- shared instances -----------------------------------------------------------------------------

UserDefaults& UserDefaults::standard() {
    static UserDefaults& instance = *suite(standardDomainName());
    return instance;
}

std::shared_ptr<UserDefaults> UserDefaults::suite(const QString& name) {
    const QString domain = name.isEmpty() ? standardDomainName() : name;
    std::lock_guard lock(registryMutex());
    auto& instance = registry()[domain];
    if (!instance) instance = std::make_shared<UserDefaults>(domain);
    return instance;
}

QString UserDefaults::standardDomainName() {
    const QString id = Bundle::main().object(QStringLiteral("AppBundleIdentifier")).toString();
    return id.isEmpty() ? kStandardFallback : id;
}

QString UserDefaults::defaultsDirectory() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Orvella/defaults");
}

QString UserDefaults::filePathForDomain(const QString& name) {
    return defaultsDirectory() + QLatin1Char('/') + fileNameForDomain(name);
}

// ---- instance ---------------------------------------------------------------------------------------

UserDefaults::UserDefaults(const QString& name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? standardDomainName() : name), path_(filePathForDomain(name_)) {
    {
        std::lock_guard io(ioMutex_);
        reloadLocked(false);  // nobody can be listening yet
    }
    reportSetAside();
    setUpWatching();
}

UserDefaults::~UserDefaults() {
    {
        SharedWatch& watch = sharedWatch();
        std::lock_guard lock(watch.mutex);
        for (auto it = watch.instances.begin(); it != watch.instances.end();) {
            if (it.value() == this) it = watch.instances.erase(it);
            else ++it;
        }
    }
    if (reloadTimer_) {
        if (reloadTimer_->thread() == QThread::currentThread()) delete reloadTimer_.data();
        else reloadTimer_->deleteLater();
    }
}

QString UserDefaults::domainName() const { return name_; }
QString UserDefaults::filePath() const { return path_; }

QVariant UserDefaults::object(const QString& key) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.constFind(key);
    if (it != values_.constEnd()) return *it;
    return defaults_.value(key);
}

bool UserDefaults::boolValue(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("yes") || s == QLatin1String("true") || s.toLongLong() != 0;
    }
    default:
        return v.isValid() && v.canConvert<double>() && v.toDouble() != 0.0;
    }
}

std::optional<QString> UserDefaults::stringValue(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Double:
        return v.toString();
    default:
        return std::nullopt;
    }
}

std::optional<QDateTime> UserDefaults::dateValue(const QVariant& v) {
    if (v.metaType().id() != QMetaType::QDateTime || !v.toDateTime().isValid()) return std::nullopt;
    return v.toDateTime();
}

std::optional<QByteArray> UserDefaults::dataValue(const QVariant& v) {
    if (v.metaType().id() != QMetaType::QByteArray) return std::nullopt;
    return v.toByteArray();
}

bool UserDefaults::boolForKey(const QString& key) const { return boolValue(object(key)); }

qint64 UserDefaults::integerForKey(const QString& key) const {
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::QString) return v.toString().trimmed().toLongLong();
    if (v.metaType().id() == QMetaType::Double) return static_cast<qint64>(v.toDouble());
    return v.canConvert<qlonglong>() ? v.toLongLong() : 0;
}

double UserDefaults::doubleForKey(const QString& key) const {
    const QVariant v = object(key);
    return v.isValid() && v.canConvert<double>() ? v.toDouble() : 0.0;
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const { return stringValue(object(key)); }
std::optional<QDateTime> UserDefaults::dateForKey(const QString& key) const { return dateValue(object(key)); }
std::optional<QByteArray> UserDefaults::dataForKey(const QString& key) const { return dataValue(object(key)); }

std::optional<QVariantList> UserDefaults::arrayForKey(const QString& key) const {
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::QVariantList || v.metaType().id() == QMetaType::QStringList)
        return v.toList();
    return std::nullopt;
}

std::optional<QVariantMap> UserDefaults::dictionaryForKey(const QString& key) const {
    const QVariant v = object(key);
    if (v.metaType().id() == QMetaType::QVariantMap || v.metaType().id() == QMetaType::QVariantHash)
        return v.toMap();
    return std::nullopt;
}

bool UserDefaults::isStorable(const QVariant& value) {
    QJsonValue ignored;
    return encodeValue(value, &ignored);
}

bool UserDefaults::setObject(const QString& key, const QVariant& value) {
    std::optional<QJsonValue> change;
    if (value.isValid()) {
        QJsonValue encoded;
        if (!encodeValue(value, &encoded)) {
            qWarning("UserDefaults(%s): refusing a value of type %s for \"%s\"", qPrintable(name_),
                     value.metaType().name(), qPrintable(key));
            return false;
        }
        change = encoded;
    }
    bool written = false;
    QStringList changedKeys;
    {
        std::lock_guard io(ioMutex_);
        {
            std::lock_guard lock(mutex_);
            unsaved_.insert(key, change);
        }
        changedKeys = flushLocked(&written);
    }
    reportSetAside();
    emitChanged(changedKeys);
    return written;
}

bool UserDefaults::removeObject(const QString& key) { return setObject(key, QVariant()); }

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
    QStringList changedKeys;
    {
        std::lock_guard io(ioMutex_);
        QVariantMap newDefaults;
        QVariantMap values;
        {
            std::lock_guard lock(mutex_);
            newDefaults = defaults_;
            values = values_;
        }
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
            if (it.value().isValid()) newDefaults.insert(it.key(), it.value());
            else newDefaults.remove(it.key());
        }
        changedKeys = applyState(values, newDefaults);
    }
    emitChanged(changedKeys);
}

QVariantMap UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    QVariantMap all = defaults_;
    all.insert(values_);
    return all;
}

QVariantMap UserDefaults::persistentDomain() const {
    std::lock_guard lock(mutex_);
    return values_;
}

void UserDefaults::removePersistentDomain(const QString& name) {
    const QString domain = name.isEmpty() ? standardDomainName() : name;
    const QString path = filePathForDomain(domain);
    {
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(kStaleLockMs);
        if (!lock.tryLock(kLockWaitMs))
            qWarning("UserDefaults(%s): removing the domain without its lock", qPrintable(domain));
        if (QFile::exists(path) && !QFile::remove(path))
            qWarning("UserDefaults(%s): cannot remove %s", qPrintable(domain), qPrintable(path));
    }
    std::shared_ptr<UserDefaults> shared;
    {
        std::lock_guard lock(registryMutex());
        shared = registry().value(domain);
    }
    if (shared && shared.get() != this) shared->clearStoredValues();
    if (name_ == domain) clearStoredValues();
}

void UserDefaults::clearStoredValues() {
    QStringList changedKeys;
    {
        std::lock_guard io(ioMutex_);
        QVariantMap defaults;
        {
            std::lock_guard lock(mutex_);
            disk_ = {};
            diskStamp_ = stamp();
            unsaved_.clear();
            defaults = defaults_;
        }
        changedKeys = applyState({}, defaults);
    }
    emitChanged(changedKeys);
}

bool UserDefaults::reload() {
    bool readable = true;
    QStringList changedKeys;
    {
        std::lock_guard io(ioMutex_);
        changedKeys = reloadLocked(false, &readable);
    }
    reportSetAside();
    emitChanged(changedKeys);
    return readable;
}

// ---- disk -------------------------------------------------------------------------------------------

UserDefaults::FileStamp UserDefaults::stamp() const {
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0) return {};
    return FileStamp{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino),
                     static_cast<qint64>(st.st_size),
                     static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

UserDefaults::ReadResult UserDefaults::readFile(QJsonObject* values) const {
    QFile file(path_);
    if (!file.exists()) return ReadResult::missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists()) return ReadResult::missing;  // vanished between the two calls
        qWarning("UserDefaults(%s): cannot read %s: %s", qPrintable(name_), qPrintable(path_),
                 qPrintable(file.errorString()));
        return ReadResult::unreadable;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject() ||
        !doc.object().value(QStringLiteral("values")).isObject())
        return ReadResult::corrupt;
    *values = doc.object().value(QStringLiteral("values")).toObject();
    return ReadResult::ok;
}

bool UserDefaults::writeFile(const QJsonObject& values) const {
    const QString dir = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(dir)) return false;
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QJsonObject root{{QStringLiteral("format"), kFormat}, {QStringLiteral("values"), values}};
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);

    // A temporary file is created with mode 0600 and only ever replaces the file whole.
    QTemporaryFile temp(dir + QStringLiteral("/.") + QFileInfo(path_).fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open()) return false;
    if (temp.write(bytes) != bytes.size() || !temp.flush() || ::fsync(temp.handle()) != 0) return false;
    temp.close();
    if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path_).constData()) != 0)
        return false;
    temp.setAutoRemove(false);
    syncDirectory(dir);
    return true;
}

void UserDefaults::moveCorruptFileAside() {
    QString target = path_ + QStringLiteral(".corrupt");
    for (int n = 1; QFile::exists(target); ++n) target = path_ + QStringLiteral(".corrupt.%1").arg(n);
    if (QFile::rename(path_, target)) {
        qWarning("UserDefaults(%s): %s is unreadable; kept as %s, reading the domain as empty",
                 qPrintable(name_), qPrintable(path_), qPrintable(target));
        noteSetAside(target);
    } else {
        qWarning("UserDefaults(%s): %s is unreadable and could not be moved aside; reading the domain as empty",
                 qPrintable(name_), qPrintable(path_));
        noteSetAside(QString());
    }
}

void UserDefaults::noteSetAside(const QString& keptAs) {
    std::lock_guard lock(mutex_);
    setAsideCopy_ = keptAs;
    unreportedSetAsides_.push_back(SetAside{name_, path_, keptAs});
}

void UserDefaults::reportSetAside() {
    std::vector<SetAside> notices;
    {
        std::lock_guard lock(mutex_);
        notices.swap(unreportedSetAsides_);
    }
    if (notices.empty()) return;
    SetAsideRegistry& registry = setAsideRegistry();
    SetAsideHandler handler;
    {
        std::lock_guard lock(registry.mutex);
        handler = registry.handler;
        if (!handler) {
            for (SetAside& notice : notices) registry.backlog.push_back(std::move(notice));
            if (registry.backlog.size() > SetAsideRegistry::backlogLimit)
                registry.backlog.erase(registry.backlog.begin(),
                                       registry.backlog.end() - SetAsideRegistry::backlogLimit);
            return;
        }
    }
    for (const SetAside& notice : notices) handler(notice);
}

void UserDefaults::setSetAsideHandler(SetAsideHandler handler) {
    SetAsideRegistry& registry = setAsideRegistry();
    std::vector<SetAside> backlog;
    {
        std::lock_guard lock(registry.mutex);
        registry.handler = handler;
        if (handler) backlog.swap(registry.backlog);
    }
    for (const SetAside& notice : backlog) handler(notice);
}

std::optional<QString> UserDefaults::setAsideCopy() const {
    std::lock_guard lock(mutex_);
    return setAsideCopy_;
}

QStringList UserDefaults::reloadLocked(bool onlyWhenTouched, bool* readable) {
    // Stamped before reading: a change landing during the read shows as a new stamp next time.
    FileStamp before = stamp();
    if (onlyWhenTouched) {
        std::lock_guard lock(mutex_);
        if (before == diskStamp_) return {};
    }
    QJsonObject values;
    ReadResult result = readFile(&values);
    if (result == ReadResult::corrupt) {
        // Look again under the lock: a writer may have been replacing the file just then. Only a file
        // that is still bad once no writer runs is moved aside.
        QLockFile lock(path_ + QStringLiteral(".lock"));
        lock.setStaleLockTime(kStaleLockMs);
        const bool locked = lock.tryLock(kLockWaitMs);
        before = stamp();
        result = readFile(&values);
        if (result == ReadResult::corrupt) {
            if (locked) {
                moveCorruptFileAside();
            } else {
                qWarning("UserDefaults(%s): %s is unreadable; reading the domain as empty", qPrintable(name_),
                         qPrintable(path_));
                noteSetAside(QString());  // its values are lost to this instance all the same
            }
            values = {};
            before = stamp();
        }
    }
    if (readable) *readable = result == ReadResult::ok || result == ReadResult::missing;
    // A file that cannot be opened is left alone, and so is what we last knew of it.
    if (result == ReadResult::unreadable) return {};
    QVariantMap decoded;
    QVariantMap defaults;
    {
        std::lock_guard lock(mutex_);
        disk_ = values;
        diskStamp_ = before;
        decoded = decodedState();
        defaults = defaults_;
    }
    return applyState(decoded, defaults);
}

QStringList UserDefaults::flushLocked(bool* writtenOut) {
    const QString dir = QFileInfo(path_).absolutePath();
    QDir().mkpath(dir);
    QLockFile lock(path_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(kStaleLockMs);
    bool written = false;
    QJsonObject values;
    ReadResult onDisk = ReadResult::unreadable;
    if (lock.tryLock(kLockWaitMs)) onDisk = readFile(&values);
    if (onDisk == ReadResult::corrupt) {
        moveCorruptFileAside();
        values = {};
        onDisk = ReadResult::missing;
    }
    // Never replace a file that could not be read: its values would be lost.
    if (onDisk != ReadResult::unreadable) {
        Pending pending;
        {
            std::lock_guard guard(mutex_);
            pending = unsaved_;
        }
        for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
            if (it.value()) values.insert(it.key(), *it.value());
            else values.remove(it.key());
        }
        written = writeFile(values);
        std::lock_guard guard(mutex_);
        if (written) {
            disk_ = values;
            diskStamp_ = stamp();
            unsaved_.clear();
        }
    }
    if (!written) qWarning("UserDefaults(%s): cannot write %s; the change stays in memory", qPrintable(name_),
                           qPrintable(path_));
    QVariantMap decoded;
    QVariantMap defaults;
    {
        std::lock_guard guard(mutex_);
        decoded = decodedState();
        defaults = defaults_;
    }
    *writtenOut = written;
    return applyState(decoded, defaults);
}

QVariantMap UserDefaults::decodedState() const {
    QJsonObject all = disk_;
    for (auto it = unsaved_.cbegin(); it != unsaved_.cend(); ++it) {
        if (it.value()) all.insert(it.key(), *it.value());
        else all.remove(it.key());
    }
    QVariantMap decoded;
    for (auto it = all.constBegin(); it != all.constEnd(); ++it) {
        QVariant v;
        if (decodeValue(it.value(), &v)) decoded.insert(it.key(), v);
        else qWarning("UserDefaults(%s): skipping the unreadable value of \"%s\"", qPrintable(name_),
                      qPrintable(it.key()));
    }
    return decoded;
}

QStringList UserDefaults::applyState(const QVariantMap& newValues, const QVariantMap& newDefaults) {
    QStringList changedKeys;
    {
        std::lock_guard lock(mutex_);
        QSet<QString> keys;
        for (const QVariantMap* map : std::initializer_list<const QVariantMap*>{&values_, &defaults_, &newValues, &newDefaults})
            for (auto it = map->cbegin(); it != map->cend(); ++it) keys.insert(it.key());
        const auto answer = [](const QVariantMap& values, const QVariantMap& defaults, const QString& key) {
            const auto it = values.constFind(key);
            return it != values.constEnd() ? *it : defaults.value(key);
        };
        for (const QString& key : keys)
            if (!sameValue(answer(values_, defaults_, key), answer(newValues, newDefaults, key)))
                changedKeys.append(key);
        values_ = newValues;
        defaults_ = newDefaults;
    }
    changedKeys.sort();
    return changedKeys;
}

void UserDefaults::emitChanged(const QStringList& keys) {
    for (const QString& key : keys) emit changed(key);
}

// ---- watching other processes -----------------------------------------------------------------------

void UserDefaults::setUpWatching() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;  // no event loop to deliver file events: changes on disk are seen on reload()
    if (QThread::currentThread() == app->thread()) {
        startWatching();
        return;
    }
    // The watch belongs on the main thread, whose loop delivers its events.
    if (parent()) {
        qWarning("UserDefaults(%s): made off the main thread with a parent; changes of other processes are "
                 "seen only on reload()", qPrintable(name_));
        return;
    }
    moveToThread(app->thread());
    QMetaObject::invokeMethod(this, [this] { startWatching(); }, Qt::QueuedConnection);
}

void UserDefaults::startWatching() {
    SharedWatch& watch = sharedWatch();
    if (!watch.watcher) {
        // Owned by the application object, so that it never outlives the event loop it needs.
        watch.watcher = new QFileSystemWatcher(QCoreApplication::instance());
        connect(watch.watcher, &QFileSystemWatcher::directoryChanged, watch.watcher, &UserDefaults::fileEvent);
        connect(watch.watcher, &QFileSystemWatcher::fileChanged, watch.watcher, &UserDefaults::fileEvent);
    }
    reloadTimer_ = new QTimer(watch.watcher);
    reloadTimer_->setSingleShot(true);
    reloadTimer_->setInterval(kReloadCoalesceMs);
    connect(reloadTimer_, &QTimer::timeout, this, &UserDefaults::reloadFromWatch);
    {
        std::lock_guard lock(watch.mutex);
        watch.instances.insert(path_, this);
    }
    const QString dir = QFileInfo(path_).absolutePath();
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!watch.watcher->directories().contains(dir)) watch.watcher->addPath(dir);
    // Anything written between the first read and the watch is picked up now.
    reloadFromWatch();
}

void UserDefaults::scheduleReload() {
    if (reloadTimer_) reloadTimer_->start();
}

void UserDefaults::reloadFromWatch() {
    QStringList changedKeys;
    {
        std::lock_guard io(ioMutex_);
        changedKeys = reloadLocked(true);
    }
    refreshFileWatch(path_);
    reportSetAside();
    emitChanged(changedKeys);
}

void UserDefaults::fileEvent(const QString& path) {
    SharedWatch& watch = sharedWatch();
    std::lock_guard lock(watch.mutex);
    for (auto it = watch.instances.cbegin(); it != watch.instances.cend(); ++it)
        if (it.key() == path || QFileInfo(it.key()).absolutePath() == path) it.value()->scheduleReload();
}

void UserDefaults::refreshFileWatch(const QString& path) {
    QFileSystemWatcher* watcher = sharedWatch().watcher;
    if (!watcher) return;
    // An atomic replace leaves the watch on the old file: watch the path afresh each time.
    if (watcher->files().contains(path)) watcher->removePath(path);
    if (QFile::exists(path)) watcher->addPath(path);
}
