#include <gtest/gtest.h>

#include <QPixmap>

#include "SyncControllerTestSupport.h"
#include "app/sync/ObjCSyncError.h"
#include "app/sync/ObjCSyncQueueCount.h"
#include "app/sync/SyncErrorTexts.h"
#include "app/sync/SyncStatusImages.h"

using namespace synctest;

namespace {

// Each kind's texts come from the strings table under "Error.Sync.<Case>.<Field>".
struct ErrorTextCase {
    SyncError::Kind kind;
    const char* caseName;
    bool hasReasonAndSuggestion;
};

void PrintTo(const ErrorTextCase& c, std::ostream* os) { *os << c.caseName; }

class SyncErrorTexts : public ::testing::TestWithParam<ErrorTextCase> {};

QString tableText(const QString& key) { return Bundle::main().localizedString(key, {}, {}); }

TEST_P(SyncErrorTexts, ComeFromTheKindsOwnKeys) {
    const ErrorTextCase& c = GetParam();
    const QString base = QStringLiteral("Error.Sync.") + QString::fromUtf8(c.caseName) + u'.';
    const SyncError error{c.kind, 42};

    const std::optional<QString> description = errorDescription(error);
    ASSERT_TRUE(description.has_value());
    EXPECT_EQ(*description, tableText(base + QStringLiteral("Description")));
    EXPECT_NE(*description, base + QStringLiteral("Description")) << "the table has no text for the key";
    if (c.hasReasonAndSuggestion) {
        EXPECT_EQ(failureReason(error), tableText(base + QStringLiteral("FailureReason")));
        EXPECT_EQ(recoverySuggestion(error), tableText(base + QStringLiteral("RecoverySuggestion")));
    } else {
        EXPECT_EQ(failureReason(error), std::nullopt);
        EXPECT_EQ(recoverySuggestion(error), std::nullopt);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SyncModels, SyncErrorTexts,
    ::testing::Values(ErrorTextCase{SyncError::Kind::insufficientLocalStorage, "InsufficientLocalStorage", true},
                      ErrorTextCase{SyncError::Kind::tooManyRepeatedUploads, "TooManyRepeatedUploads", false},
                      ErrorTextCase{SyncError::Kind::itemIsReadonlyOnRemote, "ItemIsReadonlyOnRemote", true},
                      ErrorTextCase{SyncError::Kind::itemIsReadonlyOnLocalFS, "ItemIsReadonlyOnLocalFS", true},
                      ErrorTextCase{SyncError::Kind::itemIsInReadonlyDirectory, "ItemIsInReadonlyDirectory", true},
                      ErrorTextCase{SyncError::Kind::insufficientRemoteStorage, "InsufficientRemoteStorage", true},
                      ErrorTextCase{SyncError::Kind::rootDirectoryNotFound, "RootDirectoryNotFound", true},
                      ErrorTextCase{SyncError::Kind::setupFailure, "SetupFailure", true}),
    [](const auto& info) { return std::string(info.param.caseName); });

// The size tells the user why this file, of all, stays behind.
TEST(SyncErrorTextSizes, AFileTooLargeForTheRoomLeftIsDescribedWithItsSize) {
    const auto description = errorDescription(SyncError{SyncError::Kind::fileTooLargeForRemoteStorage, 3'221'225'472});
    ASSERT_TRUE(description.has_value());
    EXPECT_EQ(*description, tableText(QStringLiteral("Sync.Error.FileTooLargeForRemoteStorage"))
                                .arg(QStringLiteral("3.22 GB")));
}

class SyncErrorRows : public SyncControllerFixture {};

TEST_F(SyncErrorRows, MirrorTheEnginesListInOrder) {
    SyncController& c = make();
    EXPECT_EQ(c.syncErrors(), std::nullopt) << "no engine: no list at all";

    facade->installed = true;
    ASSERT_TRUE(c.syncErrors().has_value());
    EXPECT_TRUE(c.syncErrors()->empty());

    const QDateTime first = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    const QDateTime second = first.addSecs(90);
    facade->engine.errors = {
        {first, QStringLiteral("/Docs/a.txt"), {SyncError::Kind::itemIsReadonlyOnRemote, 0}},
        {second, std::nullopt, {SyncError::Kind::tooManyRepeatedUploads, 3}},
    };
    const auto rows = c.syncErrors();
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0]->date(), first);
    EXPECT_EQ((*rows)[0]->rootRelativePath(), QStringLiteral("/Docs/a.txt"));
    EXPECT_EQ((*rows)[0]->error().kind, SyncError::Kind::itemIsReadonlyOnRemote);
    EXPECT_EQ((*rows)[0]->errorDescription(), LocalizationController().erSynItemIsReadonlyOnRemoteDescription());
    EXPECT_EQ((*rows)[1]->date(), second);
    EXPECT_EQ((*rows)[1]->rootRelativePath(), std::nullopt);
    EXPECT_EQ((*rows)[1]->error(), (SyncError{SyncError::Kind::tooManyRepeatedUploads, 3}));
    EXPECT_EQ((*rows)[1]->errorDescription(), LocalizationController().erSynTooManyRepeatedUploadsDescription());

    // Bindings read and write the row through its properties.
    EXPECT_EQ((*rows)[0]->property("errorDescription").value<std::optional<QString>>(),
              (*rows)[0]->errorDescription());
    int changes = 0;
    QObject::connect((*rows)[1].get(), &ObjCSyncError::rootRelativePathChanged, [&] { ++changes; });
    (*rows)[1]->setRootRelativePath(QStringLiteral("/x"));
    (*rows)[1]->setRootRelativePath(QStringLiteral("/x"));
    EXPECT_EQ(changes, 1);
}

TEST_F(SyncErrorRows, CanBeAskedForOffTheMainThread) {
    SyncController& c = make();
    facade->installed = true;
    facade->engine.errors = {{QDateTime::currentDateTimeUtc(), std::nullopt, {SyncError::Kind::setupFailure, 0}}};
    std::size_t count = 0;
    std::thread menu([&] { count = c.syncErrors().value_or(decltype(c.syncErrors())::value_type{}).size(); });
    menu.join();
    EXPECT_EQ(count, 1u);
}

TEST(SyncQueueCount, SignalsOnlyRealChanges) {
    ObjCSyncQueueCount count;
    EXPECT_EQ(count.download(), SyncProgress{});
    EXPECT_EQ(count.upload(), SyncProgress{});
    int downloads = 0;
    int uploads = 0;
    QObject::connect(&count, &ObjCSyncQueueCount::downloadChanged, [&] { ++downloads; });
    QObject::connect(&count, &ObjCSyncQueueCount::uploadChanged, [&] { ++uploads; });

    struct { SyncProgress download; SyncProgress upload; int downloads; int uploads; } steps[] = {
        {{10, 0, false}, {}, 1, 0},
        {{10, 0, false}, {}, 1, 0},
        {{10, 4, false}, {2, 1, false}, 2, 1},
        {{10, 10, true}, {2, 1, false}, 3, 1},
    };
    for (const auto& step : steps) {
        count.setDownload(step.download);
        count.setUpload(step.upload);
        EXPECT_EQ(downloads, step.downloads);
        EXPECT_EQ(uploads, step.uploads);
        EXPECT_EQ(count.property("download").value<SyncProgress>(), step.download);
    }
}

TEST(SyncStatusImageSet, EveryNameDrawsADistinctImage) {
    QList<QImage> drawn;
    for (const QString& name : SyncStatusImages::names()) {
        SCOPED_TRACE(name.toStdString());
        const QImage image = SyncStatusImages::image(name, QSize(44, 44));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(44, 44));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "the corners stay transparent";
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) painted += image.pixelColor(x, y).alpha() > 0;
        EXPECT_GT(painted, 44 * 44 / 10);
        for (const QImage& other : drawn) EXPECT_NE(image, other);
        drawn << image;

        const QIcon icon = SyncStatusImages::icon(name);
        EXPECT_FALSE(icon.isNull());
        EXPECT_EQ(icon.name(), name);
        EXPECT_EQ(icon.pixmap(QSize(22, 22)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  SyncStatusImages::image(name, QSize(22, 22)));
    }
    EXPECT_TRUE(SyncStatusImages::image(QStringLiteral("NoSuchImage"), QSize(22, 22)).isNull());
    EXPECT_TRUE(SyncStatusImages::icon(QStringLiteral("NoSuchImage")).isNull());
}

}  // namespace
