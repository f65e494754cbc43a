#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/loginitem/LoginItem.h"

namespace {

const QString kId = QStringLiteral("com.orvella.desktop.LaunchHelper");

QString readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// Keeps the system-wide config folders pointed at an empty temp folder for one test.
class LoginItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(systemDirs_.isValid());
        saved_ = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_DIRS", systemDirs_.path().toUtf8());
        QFile::remove(LoginItem::autostartPath(kId));
    }
    void TearDown() override {
        QFile::remove(LoginItem::autostartPath(kId));
        qputenv("XDG_CONFIG_DIRS", saved_);
    }
    QTemporaryDir systemDirs_;
    QByteArray saved_;
};

TEST_F(LoginItemTest, EnablingWritesTheEntryAndDisablingRemovesIt) {
    const QString path = LoginItem::autostartPath(kId);
    EXPECT_EQ(path, qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/" + kId + ".desktop");
    EXPECT_FALSE(LoginItem::isEnabled(kId));

    ASSERT_TRUE(LoginItem::setEnabled(kId, true, "/opt/Orvella/Orvella_LaunchHelper"));
    EXPECT_EQ(readFile(path), QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Orvella_LaunchHelper\n"
                                             "Exec=\"/opt/Orvella/Orvella_LaunchHelper\"\n"
                                             "X-GNOME-Autostart-enabled=true\n"
                                             "Hidden=false\n"));
    EXPECT_TRUE(LoginItem::isEnabled(kId));
    // Nothing but the entry is left behind in the folder.
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{kId + ".desktop"});

    // Session settings list the entry by its name and icon, not by the helper's file name.
    ASSERT_TRUE(LoginItem::setEnabled(kId, true, "/opt/Other/Helper", "Orvella", "example.orvella.desktop"));
    EXPECT_TRUE(readFile(path).contains("Name=Orvella\nIcon=example.orvella.desktop\nExec=\"/opt/Other/Helper\"\n"));

    ASSERT_TRUE(LoginItem::setEnabled(kId, false));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(LoginItem::isEnabled(kId));
    EXPECT_TRUE(LoginItem::setEnabled(kId, false)) << "disabling twice is not a failure";
}

TEST_F(LoginItemTest, DisablingMasksAnEntryTheSystemShips) {
    const QString systemEntry = systemDirs_.path() + "/autostart/" + kId + ".desktop";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(systemEntry).absolutePath()));
    QFile file(systemEntry);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nName=X\nExec=/usr/bin/x\n");
    file.close();
    EXPECT_TRUE(LoginItem::isEnabled(kId));

    ASSERT_TRUE(LoginItem::setEnabled(kId, false));
    EXPECT_TRUE(readFile(LoginItem::autostartPath(kId)).contains("Hidden=true\n"));
    EXPECT_FALSE(LoginItem::isEnabled(kId));

    ASSERT_TRUE(LoginItem::setEnabled(kId, true, "/opt/Orvella/Helper"));
    EXPECT_TRUE(LoginItem::isEnabled(kId));
}

TEST_F(LoginItemTest, RefusesUnsafeIdentifiersAndRelativeExecutables) {
    for (const QString& bad : {QString(), QStringLiteral(".."), QStringLiteral("../evil"),
                               QStringLiteral("a/b"), QStringLiteral("a\nb"), QStringLiteral(".hidden")}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_TRUE(LoginItem::autostartPath(bad).isEmpty());
        EXPECT_FALSE(LoginItem::setEnabled(bad, true, "/opt/x"));
        EXPECT_FALSE(LoginItem::isEnabled(bad));
    }
    EXPECT_FALSE(LoginItem::setEnabled(kId, true, "Orvella_LaunchHelper"));
    EXPECT_FALSE(LoginItem::setEnabled(kId, true, ""));
    EXPECT_FALSE(QFileInfo::exists(LoginItem::autostartPath(kId)));
}

struct ExecCase {
    const char* name;
    QString path;
    QString expected;
};

class ExecQuoting : public ::testing::TestWithParam<ExecCase> {};

TEST_P(ExecQuoting, QuotesAndEscapesThePath) {
    EXPECT_EQ(LoginItem::execArgument(GetParam().path).toStdString(), GetParam().expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    LoginItem, ExecQuoting,
    ::testing::Values(
        ExecCase{"plain", "/opt/app/bin", R"("/opt/app/bin")"},
        ExecCase{"space", "/home/a b/app", R"("/home/a b/app")"},
        ExecCase{"percent_is_doubled", "/x/50%/app", R"("/x/50%%/app")"},
        ExecCase{"double_quote", R"(/x/"q")", R"("/x/\\"q\\"")"},
        ExecCase{"dollar", "/x/$HOME", R"("/x/\\$HOME")"},
        ExecCase{"backtick", "/x/`id`", R"("/x/\\`id\\`")"},
        ExecCase{"backslash_becomes_four", R"(/x/a\b)", R"("/x/a\\\\b")"},
        ExecCase{"newline", "/x/a\nb", R"("/x/a\nb")"},
        ExecCase{"single_quote_and_semicolon", "/x/it's;ok", R"("/x/it's;ok")"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
