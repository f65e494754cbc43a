#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QTemporaryDir>

#include <functional>
#include <future>
#include <memory>
#include <optional>

#include "app/core/C.h"
#include "app/core/ObjCUser.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/shell/controls/SystemColors.h"
#include "app/shell/transformers/DataToImageTransformer.h"
#include "app/shell/transformers/DownloadQueueCountTransformer.h"
#include "app/shell/transformers/ErrorColorTransformer.h"
#include "app/shell/transformers/PathToImageTransformer.h"
#include "app/shell/transformers/PathToLastPathComponentTransformer.h"
#include "app/shell/transformers/ProductVersionTransformer.h"
#include "app/shell/transformers/RelativeToAbsolutePathTransformer.h"
#include "app/shell/transformers/RemoteActivityDateTransformer.h"
#include "app/shell/transformers/StringIsNotEmptyTransformer.h"
#include "app/shell/transformers/StringIsValidEncryptionPasswordTransformer.h"
#include "app/shell/transformers/StringIsValidPasswordTransformer.h"
#include "app/shell/transformers/UploadQueueCountTransformer.h"
#include "app/shell/transformers/UserButtonTransformer.h"
#include "app/shell/transformers/UserNameTransformer.h"
#include "frameworks/sync/SyncTypes.h"
#include "support/TestEnvironment.h"

namespace {

using Make = std::function<std::shared_ptr<ValueTransformer>()>;
using Input = std::function<QVariant()>;

template <typename T>
Make make() {
    return [] { return std::make_shared<T>(); };
}

template <typename T>
QMetaType valueClass() {
    return T::transformedValueClass();
}

QVariant nil() { return {}; }
QVariant text(const char* s) { return QString::fromUtf8(s); }

QVariant user(const char* name, std::optional<QString> mail) {
    return QVariant::fromValue(std::make_shared<ObjCUser>(QString::fromUtf8(name), QStringLiteral("acc-1"), mail, nullptr));
}

QDateTime sampleDate() { return QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7)); }

QVariant pngBytes() {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// What a case expects of the result.
enum class Expect { equals, unchanged, nil };

struct TransformCase {
    const char* name;
    Make transformer;
    QMetaType valueClass;
    Input input;
    Expect expect;
    std::function<QVariant()> expected = nullptr;  // for Expect::equals
};

std::vector<TransformCase> transformCases() {
    using E = Expect;
    const auto constant = [](QVariant v) { return [v] { return v; }; };
    const auto version = make<ProductVersionTransformer>();
    const auto button = make<UserButtonTransformer>();
    const auto userName = make<UserNameTransformer>();
    const auto last = make<PathToLastPathComponentTransformer>();
    const auto notEmpty = make<StringIsNotEmptyTransformer>();
    const auto password = make<StringIsValidPasswordTransformer>();
    const auto encryption = make<StringIsValidEncryptionPasswordTransformer>();
    const auto data = make<DataToImageTransformer>();
    const auto down = make<DownloadQueueCountTransformer>();
    const auto up = make<UploadQueueCountTransformer>();
    const auto color = make<ErrorColorTransformer>();
    const auto activity = make<RemoteActivityDateTransformer>();
    const QMetaType string = QMetaType::fromType<QString>();
    const QMetaType boolean = QMetaType::fromType<bool>();
    const auto red = [] { return QVariant(SystemColors::systemRedColor()); };
    const auto label = [] { return QVariant(SystemColors::labelColor()); };
    const QString kelvin = QStringLiteral("abcde") + QChar(0x212A);
    return {
        {"VersionString", version, string, [] { return text("1.2 (345)"); }, E::equals, constant(text("Version 1.2 (345)"))},
        {"VersionOptional", version, string, [] { return QVariant::fromValue(std::optional<QString>(QStringLiteral("2.0"))); }, E::equals, constant(text("Version 2.0"))},
        {"VersionNumber", version, string, [] { return QVariant(7); }, E::unchanged},
        {"VersionNil", version, string, nil, E::nil},

        {"ButtonNil", button, string, nil, E::equals, constant(text("Sign In…"))},
        {"ButtonNullUser", button, string, [] { return QVariant::fromValue(std::shared_ptr<ObjCUser>()); }, E::equals, constant(text("Sign In…"))},
        {"ButtonUser", button, string, [] { return user("Ann", std::nullopt); }, E::equals, constant(text("Sign Out"))},
        {"ButtonEmptyString", button, string, [] { return text(""); }, E::equals, constant(text("Sign Out"))},
        {"ButtonNumber", button, string, [] { return QVariant(0); }, E::equals, constant(text("Sign Out"))},

        {"NameName", userName, string, [] { return user("Ann Lee", QStringLiteral("ann@example.org")); }, E::equals, constant(text("Signed in as Ann Lee"))},
        {"NameMail", userName, string, [] { return user("", QStringLiteral("ann@example.org")); }, E::equals, constant(text("Signed in as ann@example.org"))},
        {"NameNeither", userName, string, [] { return user("", std::nullopt); }, E::equals, constant(text("Signed in as "))},
        {"NameRawPointer", userName, string, [] {
             static ObjCUser raw(QStringLiteral("Bo"), QStringLiteral("acc-2"), std::nullopt, nullptr);
             return QVariant::fromValue(static_cast<QObject*>(&raw));
         }, E::equals, constant(text("Signed in as Bo"))},
        {"NamePercentInName", userName, string, [] { return user("50%2 off", std::nullopt); }, E::equals, constant(text("Signed in as 50%2 off"))},
        {"NameString", userName, string, [] { return text("Ann"); }, E::unchanged},
        {"NameNil", userName, string, nil, E::nil},

        {"LastFile", last, string, [] { return text("/a/b/c.txt"); }, E::equals, constant(text("c.txt"))},
        {"LastTrailingSlash", last, string, [] { return text("/a/b/"); }, E::equals, constant(text("b"))},
        {"LastRoot", last, string, [] { return text("/"); }, E::equals, constant(text("/"))},
        {"LastBareName", last, string, [] { return text("name"); }, E::equals, constant(text("name"))},
        {"LastEmpty", last, string, [] { return text(""); }, E::equals, constant(text(""))},
        {"LastNumber", last, string, [] { return QVariant(5); }, E::unchanged},
        {"LastNil", last, string, nil, E::nil},

        {"NotEmptyText", notEmpty, boolean, [] { return text("a"); }, E::equals, constant(true)},
        {"NotEmptyEmpty", notEmpty, boolean, [] { return text(""); }, E::equals, constant(false)},
        {"NotEmptyNil", notEmpty, boolean, nil, E::equals, constant(false)},
        {"NotEmptyNumber", notEmpty, boolean, [] { return QVariant(3); }, E::equals, constant(false)},
        {"NotEmptyEmptyOptional", notEmpty, boolean, [] { return QVariant::fromValue(std::optional<QString>()); }, E::equals, constant(false)},

        {"EncryptionBlank", encryption, boolean, [] { return text(" "); }, E::equals, constant(true)},
        {"EncryptionEmpty", encryption, boolean, [] { return text(""); }, E::equals, constant(false)},
        {"EncryptionNil", encryption, boolean, nil, E::equals, constant(false)},
        {"EncryptionNumber", encryption, boolean, [] { return QVariant(1); }, E::equals, constant(false)},

        {"PasswordFive", password, boolean, [] { return text("abcde"); }, E::equals, constant(false)},
        {"PasswordSix", password, boolean, [] { return text("abcdef"); }, E::equals, constant(true)},
        {"PasswordTwenty", password, boolean, [] { return text("Abcdefghij0123456789"); }, E::equals, constant(true)},
        {"PasswordTwentyOne", password, boolean, [] { return text("Abcdefghij0123456789x"); }, E::equals, constant(false)},
        {"PasswordPunctuation", password, boolean, [] { return text("!#$%&()*+,-./;:<>=?@"); }, E::equals, constant(true)},
        {"PasswordMorePunctuation", password, boolean, [] { return text("a[]^_{}|~b"); }, E::equals, constant(true)},
        {"PasswordSpace", password, boolean, [] { return text("abcd efghi"); }, E::equals, constant(false)},
        {"PasswordApostrophe", password, boolean, [] { return text("abcd'efghi"); }, E::equals, constant(false)},
        {"PasswordQuoteBackslashBacktick", password, boolean, [] { return text("ab\"c\\d`ef"); }, E::equals, constant(false)},
        {"PasswordAccent", password, boolean, [] { return text("abcdéf"); }, E::equals, constant(false)},
        {"PasswordKelvinSign", password, boolean, [kelvin] { return QVariant(kelvin); }, E::equals, constant(false)},
        {"PasswordNumber", password, boolean, [] { return QVariant(123456); }, E::equals, constant(false)},
        {"PasswordNil", password, boolean, nil, E::equals, constant(false)},

        {"DataPng", data, QMetaType::fromType<QImage>(), pngBytes, E::equals, [] { return QVariant(QImage::fromData(pngBytes().toByteArray())); }},
        {"DataGarbage", data, QMetaType::fromType<QImage>(), [] { return QVariant(QByteArray("not an image")); }, E::nil},
        {"DataString", data, QMetaType::fromType<QImage>(), [] { return text("/tmp/a.png"); }, E::nil},
        {"DataNil", data, QMetaType::fromType<QImage>(), nil, E::nil},

        {"DownloadProgress", down, string, [] { return QVariant::fromValue(SyncProgress{10, 3, false}); }, E::equals, constant(text("Downloading 3 of 10 files"))},
        {"DownloadBeyond32Bits", down, string, [] { return QVariant::fromValue(SyncProgress{5'000'000'000, 4'294'967'297, false}); }, E::equals, constant(text("Downloading 4294967297 of 5000000000 files"))},
        {"DownloadNil", down, string, nil, E::equals, constant(text("Downloading files"))},
        {"DownloadString", down, string, [] { return text("3"); }, E::equals, constant(text("Downloading files"))},
        {"UploadProgress", up, string, [] { return QVariant::fromValue(SyncProgress{7, 7, true}); }, E::equals, constant(text("Uploading 7 of 7 files"))},
        {"UploadNil", up, string, nil, E::equals, constant(text("Uploading files"))},
        {"UploadNumber", up, string, [] { return QVariant(4); }, E::equals, constant(text("Uploading files"))},

        {"ColorTrue", color, QMetaType::fromType<QColor>(), [] { return QVariant(true); }, E::equals, red},
        {"ColorFalse", color, QMetaType::fromType<QColor>(), [] { return QVariant(false); }, E::equals, label},
        {"ColorOne", color, QMetaType::fromType<QColor>(), [] { return QVariant(1); }, E::equals, red},
        {"ColorNil", color, QMetaType::fromType<QColor>(), nil, E::equals, label},
        {"ColorString", color, QMetaType::fromType<QColor>(), [] { return text("true"); }, E::equals, label},

        {"ActivityDate", activity, string, [] { return QVariant(sampleDate()); }, E::equals, [] { return QVariant(QStringLiteral("Last Remote Activity: ") + C::dateFormatter().string(sampleDate())); }},
        {"ActivityOptionalDate", activity, string, [] { return QVariant::fromValue(std::optional<QDateTime>(sampleDate())); }, E::equals, [] { return QVariant(QStringLiteral("Last Remote Activity: ") + C::dateFormatter().string(sampleDate())); }},
        {"ActivityNil", activity, string, nil, E::equals, constant(text("Last Remote Activity: -"))},
        {"ActivityInvalidDate", activity, string, [] { return QVariant(QDateTime()); }, E::equals, constant(text("Last Remote Activity: -"))},
        {"ActivityString", activity, string, [] { return text("yesterday"); }, E::equals, constant(text("Last Remote Activity: -"))},
    };
}

void PrintTo(const TransformCase& c, std::ostream* os) { *os << c.name; }

class ShellTransformer : public ::testing::TestWithParam<TransformCase> {};

TEST_P(ShellTransformer, TransformsItsInput) {
    const TransformCase& c = GetParam();
    const auto transformer = c.transformer();
    const QVariant input = c.input();
    const QVariant result = transformer->transformedValue(input);
    EXPECT_FALSE(transformer->allowsReverseTransformation());
    switch (c.expect) {
    case Expect::nil: EXPECT_FALSE(result.isValid()) << result.typeName(); break;
    case Expect::unchanged:
        EXPECT_EQ(result.metaType(), input.metaType());
        EXPECT_EQ(result, input);
        break;
    case Expect::equals:
        EXPECT_EQ(result.metaType(), c.valueClass) << result.typeName();
        EXPECT_EQ(result, c.expected()) << result.toString().toStdString();
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellTransformer, ::testing::ValuesIn(transformCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RelativeToAbsolutePathTransformer, JoinsTheSyncRootAsPlainTextOnlyWhileItIsSet) {
    ScopedTestBusinessFacade facade(QStringLiteral("relative"));
    const RelativeToAbsolutePathTransformer transformer;
    struct Row {
        std::optional<QString> syncRoot;
        QVariant input;
        QVariant expected;
    } rows[] = {
        {QStringLiteral("/Users/a"), QStringLiteral("/x"), QStringLiteral("/Users/a/x/")},
        {QStringLiteral("/Users/a"), QStringLiteral("x"), QStringLiteral("/Users/ax/")},
        {QStringLiteral("/Users/a"), QVariant::fromValue(std::optional<QString>(QStringLiteral("/y/z"))), QStringLiteral("/Users/a/y/z/")},
        {QStringLiteral("/Users/a"), QVariant(4), QVariant(4)},
        {QStringLiteral("/Users/a"), QVariant(), QVariant()},
        {std::nullopt, QStringLiteral("/x"), QStringLiteral("/x")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input.toString().toStdString() + " under " + row.syncRoot.value_or("none").toStdString());
        facade.settings().setSyncRoot(row.syncRoot);
        const QVariant result = transformer.transformedValue(row.input);
        EXPECT_EQ(result.metaType(), row.expected.metaType());
        EXPECT_EQ(result, row.expected);
    }
}

TEST(PathToImageTransformer, GivesTheFileIconAtSixteenPointsAndTheCautionImageForAnythingElse) {
    const PathToImageTransformer transformer;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QVariant icon = transformer.transformedValue(dir.path());
    ASSERT_EQ(icon.metaType(), QMetaType::fromType<QImage>());
    EXPECT_EQ(icon.value<QImage>().size(), QSize(16, 16));

    const QVariant caution = transformer.transformedValue(QVariant());
    ASSERT_EQ(caution.metaType(), QMetaType::fromType<QImage>());
    EXPECT_FALSE(caution.value<QImage>().isNull());
    EXPECT_NE(caution.value<QImage>(), icon.value<QImage>());
    EXPECT_EQ(transformer.transformedValue(QVariant(3)).value<QImage>(), caution.value<QImage>());

    // Off the main thread the icon is drawn on the main thread and handed back.
    auto fromWorker = std::async(std::launch::async, [&] { return transformer.transformedValue(dir.path()); });
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return fromWorker.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(fromWorker.get().value<QImage>(), icon.value<QImage>());
}

}  // namespace
