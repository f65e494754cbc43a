#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "StoreTestTree.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/selectivesync/ObjCDirectoryNode.h"
#include "app/selectivesync/SelectiveSyncButtonTransformer.h"
#include "app/selectivesync/SelectiveSyncStatistics.h"
#include "app/selectivesync/StoreErrorTexts.h"
#include "platform/appkit/Workspace.h"

namespace {

using State = SelectiveSyncStatistics::State;

struct ClassificationCase {
    const char* name;
    SelectiveSyncStatistics counts;
    std::int16_t rootState;
    int remoteChildren;
    bool alreadyLaunched;
    State expected;
};

class ClassificationTest : public ::testing::TestWithParam<ClassificationCase> {};

TEST_P(ClassificationTest, GivesTheSelectAllState) {
    const ClassificationCase& c = GetParam();
    EXPECT_EQ(c.counts.state(c.rootState, c.remoteChildren, c.alreadyLaunched), c.expected);
}

constexpr SelectiveSyncStatistics counts(int on, int off, int mixed, int total) {
    return SelectiveSyncStatistics{on, off, mixed, total, total + 1};
}

INSTANTIATE_TEST_SUITE_P(
    Statistics, ClassificationTest,
    ::testing::Values(
        ClassificationCase{"ThreeOnIsEverythingOnWhateverTheRemote", counts(3, 0, 0, 3), 1, 7, true, State::everythingOn},
        ClassificationCase{"TwoOnOfThreeIsNot", counts(2, 0, 0, 3), 1, 3, true, State::partialSelection},
        ClassificationCase{"OneOnWithOneRemoteChild", counts(1, 0, 0, 1), -1, 1, true, State::oneFolderOn},
        ClassificationCase{"OneOnWithTwoRemoteChildren", counts(1, 0, 0, 1), -1, 2, true, State::partialSelection},
        ClassificationCase{"AllOffRootOff", counts(0, 4, 0, 4), 0, 4, true, State::everythingOff},
        ClassificationCase{"AllOffRootOn", counts(0, 4, 0, 4), 1, 4, true, State::rootOnNothingBelow},
        ClassificationCase{"EmptyBeforeFirstLaunch", counts(0, 0, 0, 0), 0, 3, false, State::firstRunNothingStored},
        ClassificationCase{"EmptyAfterFirstLaunchRootOff", counts(0, 0, 0, 0), 0, 3, true, State::everythingOff},
        ClassificationCase{"EmptyAfterFirstLaunchRootOn", counts(0, 0, 0, 0), 1, 3, true, State::rootOnNothingBelow},
        ClassificationCase{"AnyMixedIsMixed", counts(2, 0, 1, 3), -1, 1, true, State::partialSelection},
        ClassificationCase{"MixedAloneIsMixed", counts(0, 0, 1, 1), -1, 1, true, State::partialSelection}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatisticsTest, CheckboxStatesAndTheSettingForAnEmptyTree) {
    EXPECT_EQ(SelectiveSyncStatistics::checkboxState(State::everythingOff), 0);
    EXPECT_EQ(SelectiveSyncStatistics::checkboxState(State::partialSelection), -1);
    EXPECT_EQ(SelectiveSyncStatistics::checkboxState(State::firstRunNothingStored), 1);
    ScopedTestBusinessFacade facade(QStringLiteral("statistics"));
    facade.settings().setIsAlreadyLaunched(false);
    EXPECT_EQ(SelectiveSyncStatistics{}.state(0, 2), State::firstRunNothingStored);
    facade.settings().setIsAlreadyLaunched(true);
    EXPECT_EQ(SelectiveSyncStatistics{}.state(0, 2), State::everythingOff);
}

TEST(StoreErrorTest, TextsComeFromTheStringsTable) {
    const LocalizedErrorTexts texts = localizedTexts(StoreError::invalidRootNode);
    EXPECT_EQ(texts.description, QStringLiteral("The folder list could not be loaded."));
    EXPECT_TRUE(texts.failureReason.startsWith(QStringLiteral("The top folder")));
    EXPECT_TRUE(texts.recoverySuggestion.startsWith(QStringLiteral("Close the folder selection")));
    EXPECT_EQ(AppError(StoreError::invalidRootNode).presentedTexts(), texts);
    EXPECT_EQ(textualDescription(SelectiveSyncError::unknownLocalNode), QStringLiteral("SelectiveSyncError.unknownLocalNode"));
}

TEST(SelectiveSyncButtonTransformerTest, TrueOnlyForFalseOnceLaunched) {
    ScopedTestBusinessFacade facade(QStringLiteral("transformer"));
    const SelectiveSyncButtonTransformer transformer;
    EXPECT_FALSE(transformer.allowsReverseTransformation());
    struct Row {
        QVariant value;
        bool launched;
        QVariant expected;
    };
    const std::vector<Row> rows{
        {QVariant(true), true, QVariant(false)},   {QVariant(false), true, QVariant(true)},
        {QVariant(false), false, QVariant(false)}, {QVariant(0), true, QVariant(true)},
        {QVariant(2.5), true, QVariant(false)},    {QVariant(QStringLiteral("0")), true, QVariant(false)},
        {QVariant(), true, QVariant()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value.toString().toStdString() + (row.launched ? " launched" : ""));
        facade.settings().setIsAlreadyLaunched(row.launched);
        const QVariant result = transformer.transformedValue(row.value);
        EXPECT_EQ(result.isValid(), row.expected.isValid());
        if (row.expected.isValid()) {
            EXPECT_EQ(result.metaType(), QMetaType::fromType<bool>());
            EXPECT_EQ(result.toBool(), row.expected.toBool());
        }
    }
}

TEST(ObjCDirectoryNodeTest, PackagesAreFoldersWithABundleSuffixInTheSyncFolder) {
    ScopedTestBusinessFacade facade(QStringLiteral("directorynode"));
    QTemporaryDir root(QStringLiteral("/dev/shm/orvella-syncroot-XXXXXX"));
    const QDir folder(root.filePath(QStringLiteral("Orvella")));
    for (const char* sub : {"Documents", "Tool.app", "My Lib.bundle", "Plain.App/inner", ".app"})
        ASSERT_TRUE(folder.mkpath(QString::fromUtf8(sub)));
    QFile file(folder.filePath(QStringLiteral("File.app")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    struct Row {
        const char* path;
        bool package;
    };
    const std::vector<Row> rows{
        {"root/Documents", false}, {"/Tool.app", true},  {"root/My%20Lib.bundle", true}, {"/Plain.App", true},
        {"/Missing.app", false},   {"/File.app", false}, {"/.app", false},               {"/Tool%2.app", false},
        {"/%ff.app", false},
    };
    const auto check = [&](bool withRoot) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.path);
            const ObjCDirectoryNode node(1, "t", QString::fromUtf8(row.path), nullptr);
            EXPECT_EQ(node.isPackage(), withRoot && row.package);
            EXPECT_EQ(node.copy()->isPackage(), node.isPackage());
        }
    };
    facade.settings().setSyncRoot(std::nullopt);
    check(false);
    facade.settings().setSyncRoot(root.path());
    EXPECT_EQ(ObjCDirectoryNode::localPath(QStringLiteral("root/Documents")), folder.filePath(QStringLiteral("Documents")));
    check(true);
}

}  // namespace
