#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPoint>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

QString uniqueDomain(const char* hint) {
    static int counter = 0;
    return QStringLiteral("test.%1.%2").arg(QLatin1String(hint)).arg(++counter);
}

QStringList filesBeside(const QString& path) {
    const QFileInfo info(path);
    return QDir(info.absolutePath())
        .entryList({info.fileName() + QLatin1Char('*'), QLatin1Char('.') + info.fileName() + QLatin1Char('*')},
                   QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    ASSERT_TRUE(file.commit());
}

// Collects warnings so that a test can see that a fault was reported, not silently swallowed.
struct WarningCapture {
    static QStringList& lines() {
        static QStringList l;
        return l;
    }
    QtMessageHandler previous;
    WarningCapture() {
        lines().clear();
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtWarningMsg) lines().append(msg);
        });
    }
    ~WarningCapture() { qInstallMessageHandler(previous); }
    bool contains(const QString& part) const {
        return std::any_of(lines().cbegin(), lines().cend(), [&](const QString& l) { return l.contains(part); });
    }
};

// Records the keys reported by `changed`, from whatever thread they come.
struct ChangeRecorder {
    explicit ChangeRecorder(UserDefaults* d) {
        connection = QObject::connect(d, &UserDefaults::changed, d, [this](const QString& key) {
            std::lock_guard lock(mutex);
            keys.append(key);
        }, Qt::DirectConnection);
    }
    ~ChangeRecorder() { QObject::disconnect(connection); }
    int count() const {
        std::lock_guard lock(mutex);
        return static_cast<int>(keys.size());
    }
    QStringList keys;
    mutable std::mutex mutex;
    QMetaObject::Connection connection;
};

struct RoundTrip {
    const char* name;
    QVariant value;
    QMetaType::Type readBackType;
};

class UserDefaultsRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(UserDefaultsRoundTrip, valueComesBackFromTheFileWithItsType) {
    const RoundTrip& c = GetParam();
    const QString domain = uniqueDomain("roundtrip");
    {
        UserDefaults writer(domain);
        ASSERT_TRUE(writer.setObject(QStringLiteral("k"), c.value));
    }
    UserDefaults reader(domain);
    const QVariant back = reader.object(QStringLiteral("k"));
    EXPECT_EQ(back.metaType().id(), static_cast<int>(c.readBackType));
    if (c.value.metaType().id() == QMetaType::QDateTime)
        EXPECT_EQ(back.toDateTime().toMSecsSinceEpoch(), c.value.toDateTime().toMSecsSinceEpoch());
    else if (c.value.metaType().id() == QMetaType::QByteArray)
        EXPECT_EQ(back.toByteArray(), c.value.toByteArray());
    else
        EXPECT_EQ(back, c.value) << back.toString().toStdString();
}

const QByteArray kBinary("\x00\xff\x10 {\"x\"}\n", 10);

INSTANTIATE_TEST_SUITE_P(
    Types, UserDefaultsRoundTrip,
    ::testing::Values(
        RoundTrip{"boolTrue", true, QMetaType::Bool}, RoundTrip{"boolFalse", false, QMetaType::Bool},
        RoundTrip{"int", qlonglong(-42), QMetaType::LongLong},
        RoundTrip{"hugeInt", qlonglong(9007199254740993LL), QMetaType::LongLong},
        RoundTrip{"double", 2.5, QMetaType::Double},
        RoundTrip{"string", QStringLiteral("Grüße \"quoted\" \\ / {}"), QMetaType::QString},
        RoundTrip{"emptyString", QString(QLatin1String("")), QMetaType::QString},
        RoundTrip{"dateWithMs", QDateTime::fromMSecsSinceEpoch(1700000000123LL, Qt::UTC), QMetaType::QDateTime},
        RoundTrip{"dateBefore1970", QDateTime::fromMSecsSinceEpoch(-86400000LL * 400, Qt::UTC),
                  QMetaType::QDateTime},
        RoundTrip{"binaryData", kBinary, QMetaType::QByteArray},
        RoundTrip{"emptyData", QByteArray(""), QMetaType::QByteArray},
        RoundTrip{"url", QUrl(QStringLiteral("https://example.org/a b?x=1")), QMetaType::QUrl},
        RoundTrip{"array", QVariantList{true, qlonglong(3), QStringLiteral("x")}, QMetaType::QVariantList},
        RoundTrip{"dict", QVariantMap{{QStringLiteral("a"), QVariantList{QByteArray("z")}},
                                      {QStringLiteral("b"), QStringLiteral("c")}},
                  QMetaType::QVariantMap}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserDefaults, typedGettersAnswerOnlyForTheirType) {
    UserDefaults d(uniqueDomain("typed"));
    const QDateTime when = QDateTime::fromSecsSinceEpoch(61200, Qt::UTC);
    d.setObject(QStringLiteral("date"), when);
    d.setObject(QStringLiteral("data"), QByteArray("abc"));
    d.setObject(QStringLiteral("text"), QStringLiteral("yes"));
    d.setObject(QStringLiteral("number"), 7);

    EXPECT_EQ(d.dateForKey(QStringLiteral("date")), when);
    EXPECT_FALSE(d.dateForKey(QStringLiteral("data")).has_value());
    EXPECT_EQ(d.dataForKey(QStringLiteral("data")), QByteArray("abc"));
    EXPECT_FALSE(d.dataForKey(QStringLiteral("text")).has_value());
    EXPECT_FALSE(d.stringForKey(QStringLiteral("missing")).has_value());
    EXPECT_TRUE(d.boolForKey(QStringLiteral("text")));
    EXPECT_TRUE(d.boolForKey(QStringLiteral("number")));
    EXPECT_FALSE(d.boolForKey(QStringLiteral("missing")));
    EXPECT_EQ(d.integerForKey(QStringLiteral("number")), 7);
    EXPECT_FALSE(d.setObject(QStringLiteral("point"), QPoint(1, 2)));
    EXPECT_FALSE(d.object(QStringLiteral("point")).isValid());
}

TEST(UserDefaults, registeredDefaultsApplyWhileNothingIsStoredAndAreNeverWritten) {
    const QString domain = uniqueDomain("defaults");
    UserDefaults d(domain);
    d.registerDefaults({{QStringLiteral("flag"), true}, {QStringLiteral("name"), QStringLiteral("dflt")}});
    EXPECT_TRUE(d.boolForKey(QStringLiteral("flag")));
    d.setObject(QStringLiteral("flag"), false);
    EXPECT_FALSE(d.boolForKey(QStringLiteral("flag")));
    d.removeObject(QStringLiteral("flag"));
    EXPECT_TRUE(d.boolForKey(QStringLiteral("flag")));
    EXPECT_EQ(d.dictionaryRepresentation().value(QStringLiteral("name")), QStringLiteral("dflt"));

    UserDefaults fresh(domain);
    EXPECT_FALSE(fresh.object(QStringLiteral("name")).isValid());
    EXPECT_FALSE(fresh.object(QStringLiteral("flag")).isValid());
}

struct ChangeCase {
    const char* name;
    std::function<void(UserDefaults&)> action;
    int expectedSignals;
};

class UserDefaultsChange : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(UserDefaultsChange, localWriteSignalsAtOnceOnlyWhenTheAnswerChanges) {
    UserDefaults d(uniqueDomain("change"));
    d.registerDefaults({{QStringLiteral("k"), true}});
    d.setObject(QStringLiteral("other"), 1);
    ChangeRecorder spy(&d);
    GetParam().action(d);
    EXPECT_EQ(spy.count(), GetParam().expectedSignals);
    for (const QString& key : spy.keys) EXPECT_EQ(key, QStringLiteral("k"));
}

INSTANTIATE_TEST_SUITE_P(
    Writes, UserDefaultsChange,
    ::testing::Values(
        ChangeCase{"storeDifferentValue", [](UserDefaults& d) { d.setObject(QStringLiteral("k"), false); }, 1},
        ChangeCase{"storeValueEqualToDefault", [](UserDefaults& d) { d.setObject(QStringLiteral("k"), true); }, 0},
        ChangeCase{"removeWhenNothingStored", [](UserDefaults& d) { d.removeObject(QStringLiteral("k")); }, 0},
        ChangeCase{"storeThenRemove",
                   [](UserDefaults& d) {
                       d.setObject(QStringLiteral("k"), false);
                       d.removeObject(QStringLiteral("k"));
                   },
                   2},
        ChangeCase{"changeDefault", [](UserDefaults& d) { d.registerDefaults({{QStringLiteral("k"), false}}); }, 1},
        ChangeCase{"dropDefault", [](UserDefaults& d) { d.registerDefaults({{QStringLiteral("k"), QVariant()}}); },
                   1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserDefaults, observerMayWriteAgainFromItsChangeHandler) {
    UserDefaults d(uniqueDomain("reentrant"));
    QObject::connect(&d, &UserDefaults::changed, &d, [&d](const QString& key) {
        if (key == QLatin1String("first")) d.setObject(QStringLiteral("second"), d.integerForKey(key) + 1);
    });
    d.setObject(QStringLiteral("first"), 41);
    EXPECT_EQ(d.integerForKey(QStringLiteral("second")), 42);
    EXPECT_EQ(UserDefaults(d.domainName()).integerForKey(QStringLiteral("second")), 42);
}

TEST(UserDefaults, sharedInstanceSeesWritesOfAnotherWriterAndSignalsThem) {
    const QString domain = uniqueDomain("shared");
    const auto shared = UserDefaults::suite(domain);
    EXPECT_EQ(shared, UserDefaults::suite(domain));
    ChangeRecorder spy(shared.get());

    // Another process stands behind its own instance over the same file.
    UserDefaults other(domain);
    other.setObject(QStringLiteral("syncRoot"), QStringLiteral("/tmp/a"));
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return shared->stringForKey(QStringLiteral("syncRoot")) == QStringLiteral("/tmp/a"); }));
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return spy.count() >= 1; }));
    EXPECT_EQ(spy.keys.value(0), QStringLiteral("syncRoot"));

    // Once more, after the first atomic replace moved the file under the watch.
    other.setObject(QStringLiteral("syncRoot"), QStringLiteral("/tmp/b"));
    EXPECT_TRUE(TestEnvironment::waitUntil(
        [&] { return shared->stringForKey(QStringLiteral("syncRoot")) == QStringLiteral("/tmp/b"); }));

    // A file written by a foreign writer in the documented format.
    writeRaw(shared->filePath(),
             R"({"format":1,"values":{"syncRoot":{"string":"/tmp/c"},"flag":{"bool":true}}})");
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return shared->boolForKey(QStringLiteral("flag")); }));
    EXPECT_EQ(shared->stringForKey(QStringLiteral("syncRoot")), QStringLiteral("/tmp/c"));
}

TEST(UserDefaults, writersOfDifferentKeysDoNotUndoEachOther) {
    const QString domain = uniqueDomain("merge");
    UserDefaults first(domain);
    UserDefaults second(domain);  // read before the first one writes: its view is stale
    first.setObject(QStringLiteral("a"), 1);
    second.setObject(QStringLiteral("b"), 2);
    first.setObject(QStringLiteral("c"), 3);

    UserDefaults check(domain);
    EXPECT_EQ(check.integerForKey(QStringLiteral("a")), 1);
    EXPECT_EQ(check.integerForKey(QStringLiteral("b")), 2);
    EXPECT_EQ(check.integerForKey(QStringLiteral("c")), 3);
}

TEST(UserDefaults, concurrentWritersOnOneInstanceKeepEveryKey) {
    UserDefaults d(uniqueDomain("threads"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 10; ++i) d.setObject(QStringLiteral("t%1-%2").arg(t).arg(i), i);
        });
    for (auto& th : threads) th.join();
    UserDefaults check(d.domainName());
    EXPECT_EQ(check.persistentDomain().size(), 40);
}

TEST(UserDefaults, fileIsPrivateAndReplacedWhole) {
    UserDefaults d(uniqueDomain("atomic"));
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};
    d.setObject(QStringLiteral("seed"), 0);
    std::thread reader([&] {
        while (!stop) {
            QFile f(d.filePath());
            if (!f.open(QIODevice::ReadOnly)) continue;
            if (QJsonDocument::fromJson(f.readAll()).isNull()) ++badReads;
        }
    });
    for (int i = 0; i < 50; ++i) d.setObject(QStringLiteral("payload"), QByteArray(4096 + i, 'x'));
    stop = true;
    reader.join();
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(QFile::permissions(d.filePath()) & 0x7777, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                             QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(filesBeside(d.filePath()), QStringList{QFileInfo(d.filePath()).fileName()});
}

// Ways a write can fail even for root: a file too large for the process's size limit, and something
// that is not a readable file in the file's place.
struct WriteFailure {
    const char* name;
    std::function<void(const QString& path)> breakIt;
    std::function<void(const QString& path)> mendIt;
};

rlimit savedLimit{};
void (*savedHandler)(int) = nullptr;

class UserDefaultsWriteFailure : public ::testing::TestWithParam<WriteFailure> {};

TEST_P(UserDefaultsWriteFailure, leavesTheFileAsItWasAndKeepsTheValueForTheNextWrite) {
    const QString domain = uniqueDomain("failedwrite");
    UserDefaults d(domain);
    ASSERT_TRUE(d.setObject(QStringLiteral("before"), 1));
    QFile original(d.filePath());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray originalBytes = original.readAll();
    original.close();

    GetParam().breakIt(d.filePath());
    WarningCapture warnings;
    const bool written = d.setObject(QStringLiteral("kept"), QByteArray(4096, 'k'));
    GetParam().mendIt(d.filePath());

    EXPECT_FALSE(written);
    EXPECT_TRUE(warnings.contains(QStringLiteral("cannot write")));
    EXPECT_EQ(d.dataForKey(QStringLiteral("kept")), QByteArray(4096, 'k'));
    EXPECT_EQ(filesBeside(d.filePath()), QStringList{QFileInfo(d.filePath()).fileName()});
    if (QFileInfo(d.filePath()).isDir()) {
        ASSERT_TRUE(QDir(d.filePath()).removeRecursively());
    } else {
        QFile after(d.filePath());
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), originalBytes);
    }

    EXPECT_TRUE(d.setObject(QStringLiteral("later"), 2));
    UserDefaults check(domain);
    EXPECT_EQ(check.dataForKey(QStringLiteral("kept")), QByteArray(4096, 'k'));
    EXPECT_EQ(check.integerForKey(QStringLiteral("later")), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, UserDefaultsWriteFailure,
    ::testing::Values(
        WriteFailure{"fileSizeLimit",
                     [](const QString&) {
                         savedHandler = std::signal(SIGXFSZ, SIG_IGN);
                         ::getrlimit(RLIMIT_FSIZE, &savedLimit);
                         const rlimit small{1024, savedLimit.rlim_max};
                         ::setrlimit(RLIMIT_FSIZE, &small);
                     },
                     [](const QString&) {
                         ::setrlimit(RLIMIT_FSIZE, &savedLimit);
                         std::signal(SIGXFSZ, savedHandler);
                     }},
        WriteFailure{"directoryInPlace",
                     [](const QString& path) {
                         QFile::remove(path);
                         QDir().mkpath(path + QStringLiteral("/inside"));
                     },
                     [](const QString&) {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CorruptCase {
    const char* name;
    QByteArray content;
};

class UserDefaultsCorrupt : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(UserDefaultsCorrupt, badFileIsReportedKeptAsideAndReadAsEmpty) {
    const QString domain = uniqueDomain("corrupt");
    const QString path = UserDefaults::filePathForDomain(domain);
    writeRaw(path, GetParam().content);
    writeRaw(path + QStringLiteral(".corrupt"), "an older bad file");

    WarningCapture warnings;
    UserDefaults d(domain);
    EXPECT_TRUE(warnings.contains(QStringLiteral("unreadable")));
    EXPECT_TRUE(d.persistentDomain().isEmpty());
    QFile aside(path + QStringLiteral(".corrupt.1"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), GetParam().content);
    QFile older(path + QStringLiteral(".corrupt"));
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), QByteArray("an older bad file"));

    EXPECT_TRUE(d.setObject(QStringLiteral("k"), true));
    EXPECT_TRUE(UserDefaults(domain).boolForKey(QStringLiteral("k")));
}

INSTANTIATE_TEST_SUITE_P(Contents, UserDefaultsCorrupt,
                         ::testing::Values(CorruptCase{"truncated", R"({"format":1,"values":{"k":{"bo)"},
                                           CorruptCase{"empty", ""}, CorruptCase{"array", "[1,2]"},
                                           CorruptCase{"noValues", R"({"format":1})"},
                                           CorruptCase{"binary", QByteArray("\x00\x01\x02", 3)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UserDefaults, fileGoingBadUnderTheWatchEmptiesTheDomainWithSignals) {
    const QString domain = uniqueDomain("corruptlive");
    const auto shared = UserDefaults::suite(domain);
    shared->setObject(QStringLiteral("k"), QStringLiteral("v"));
    ChangeRecorder spy(shared.get());
    WarningCapture warnings;
    writeRaw(shared->filePath(), "{ not json");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !shared->object(QStringLiteral("k")).isValid(); }));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(QFile::exists(shared->filePath() + QStringLiteral(".corrupt")));
}

TEST(UserDefaults, unreadableEntryIsSkippedButSurvivesOtherWrites) {
    const QString domain = uniqueDomain("entry");
    const QString path = UserDefaults::filePathForDomain(domain);
    writeRaw(path, R"({"format":1,"values":{"good":{"int":"5"},"future":{"color":"#fff"}}})");
    UserDefaults d(domain);
    EXPECT_EQ(d.integerForKey(QStringLiteral("good")), 5);
    EXPECT_FALSE(d.object(QStringLiteral("future")).isValid());
    d.setObject(QStringLiteral("other"), true);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(f.readAll())["values"]["future"]["color"].toString(),
              QStringLiteral("#fff"));
}

TEST(UserDefaults, removingThePersistentDomainDeletesTheFileAndClearsTheSharedInstance) {
    const QString domain = uniqueDomain("remove");
    const auto shared = UserDefaults::suite(domain);
    shared->registerDefaults({{QStringLiteral("k"), QStringLiteral("default")}});
    shared->setObject(QStringLiteral("k"), QStringLiteral("stored"));
    ChangeRecorder spy(shared.get());
    UserDefaults::standard().removePersistentDomain(domain);
    EXPECT_FALSE(QFile::exists(shared->filePath()));
    EXPECT_EQ(shared->stringForKey(QStringLiteral("k")), QStringLiteral("default"));
    EXPECT_EQ(spy.count(), 1);
}

TEST(UserDefaults, domainNamesStayInsideTheDefaultsFolder) {
    const QString dir = UserDefaults::defaultsDirectory();
    for (const QString& name : {QStringLiteral("../../escape"), QStringLiteral(".hidden"), QStringLiteral("a/b")}) {
        SCOPED_TRACE(name.toStdString());
        const QFileInfo file(UserDefaults::filePathForDomain(name));
        EXPECT_EQ(file.absolutePath(), dir);
        EXPECT_FALSE(file.fileName().startsWith(QLatin1Char('.')));
    }
    EXPECT_TRUE(dir.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
}

TEST(UserDefaults, standardDomainIsTheBundleIdentifier) {
    EXPECT_EQ(UserDefaults::standard().domainName(),
              Bundle::main().object(QStringLiteral("AppBundleIdentifier")).toString());
    EXPECT_FALSE(UserDefaults::standard().domainName().isEmpty());
}

}  // namespace

namespace {

// What the set-aside handler was told, for one domain.
struct SetAsideRecorder {
    std::mutex mutex;
    std::vector<UserDefaults::SetAside> reports;
    std::vector<UserDefaults::SetAside> of(const QString& domain) {
        std::lock_guard lock(mutex);
        std::vector<UserDefaults::SetAside> out;
        for (const auto& r : reports)
            if (r.domain == domain) out.push_back(r);
        return out;
    }
};

TEST(UserDefaults, aFileSetAsideIsToldToTheHandlerAlsoWhenFoundBeforeItWasInstalled) {
    UserDefaults::setSetAsideHandler({});
    const QString before = uniqueDomain("asidebefore");
    writeRaw(UserDefaults::filePathForDomain(before), "not json at all");
    UserDefaults early(before);
    EXPECT_TRUE(early.wasSetAside());
    EXPECT_EQ(early.setAsideCopy(), std::optional<QString>(early.filePath() + QStringLiteral(".corrupt")));

    auto recorder = std::make_shared<SetAsideRecorder>();
    UserDefaults::setSetAsideHandler([recorder](const UserDefaults::SetAside& report) {
        std::lock_guard lock(recorder->mutex);
        recorder->reports.push_back(report);
    });
    // The one found before the handler came is handed over at once.
    const auto earlier = recorder->of(before);
    ASSERT_EQ(earlier.size(), 1u);
    EXPECT_EQ(earlier[0].path, early.filePath());
    EXPECT_EQ(earlier[0].keptAs, early.filePath() + QStringLiteral(".corrupt"));

    // One found while it is installed is told as it happens, an empty file too.
    const QString during = uniqueDomain("asideduring");
    writeRaw(UserDefaults::filePathForDomain(during), "");
    UserDefaults later(during);
    const auto told = recorder->of(during);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].keptAs, later.filePath() + QStringLiteral(".corrupt"));
    EXPECT_TRUE(later.wasSetAside());

    // A sound file, or none, is nothing to tell.
    const QString sound = uniqueDomain("asidesound");
    UserDefaults(sound).setObject(QStringLiteral("k"), true);
    UserDefaults reread(sound);
    EXPECT_FALSE(reread.wasSetAside());
    EXPECT_TRUE(recorder->of(sound).empty());

    // A file going bad before a write is told once, by the write that sets it aside.
    writeRaw(reread.filePath(), "{ broken");
    EXPECT_TRUE(reread.setObject(QStringLiteral("k2"), true));
    EXPECT_EQ(recorder->of(sound).size(), 1u);
    EXPECT_TRUE(reread.wasSetAside());

    UserDefaults::setSetAsideHandler({});
    const QString after = uniqueDomain("asideafter");
    writeRaw(UserDefaults::filePathForDomain(after), "x");
    UserDefaults(after).persistentDomain();
    EXPECT_TRUE(recorder->of(after).empty()) << "an uninstalled handler hears nothing more";
}

}  // namespace
