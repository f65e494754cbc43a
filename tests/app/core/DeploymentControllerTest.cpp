#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include "app/core/DeploymentController.h"
#include "platform/appkit/Alert.h"
#include "support/TestEnvironment.h"

namespace {

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void write(const QString& path, const QString& text, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    if (executable) file.setPermissions(file.permissions() | QFile::ExeOwner);
}

class DeploymentControllerTest : public ::testing::Test {
protected:
    void TearDown() override { Alert::setResponder(nullptr); }

    // An installation as `cmake --install --prefix <bundle>` makes it; with the program elsewhere,
    // as the package lays it out, bin/Orvella is a link to it. Returns the path it is started by.
    QString makeBundle(const QString& bundle, const QString& executable = QStringLiteral("new"),
                       const QString& program = QStringLiteral("bin/Orvella")) {
        write(bundle + "/" + program, executable, true);
        write(bundle + "/share/applications/orvella.desktop", "[Desktop Entry]\n");
        if (program != "bin/Orvella") {
            QDir().mkpath(bundle + "/bin");
            EXPECT_TRUE(QFile::link("../" + program, bundle + "/bin/Orvella"));
        }
        return bundle + "/bin/Orvella";
    }

    DeploymentController controller(const QString& executable, int answer) {
        Alert::setResponder([this, answer](const Alert&) {
            ++alerts;
            return answer;
        });
        DeploymentController::Environment env;
        env.executablePath = executable;
        env.applicationsFolder = apps;
        env.moveToTrash = [this](const QString& path) {
            trashed << path;
            return trashWorks && QDir().rename(path, root.filePath("trash"));
        };
        env.launch = [this](const QString&, const QStringList& arguments) { launches << arguments; };
        env.mountInfoPath = root.filePath("mountinfo");
        env.processIdentifier = 999999;
        return DeploymentController({}, env);
    }

    QTemporaryDir root;
    QString apps = root.filePath("home/Applications");
    int alerts = 0;
    bool trashWorks = true;
    QStringList trashed;
    QList<QStringList> launches;
};

TEST_F(DeploymentControllerTest, OffersOnlyForAnInstallationOfItsOwnOutsideTheApplicationsFolder) {
    struct Case {
        const char* name;
        QString bundle;
        QString extra;  // a file that makes the folder something else than an installation of its own
        int answer;
        bool asked;
        bool moved;
        bool hasApplicationsFolder = true;
        QString program = QStringLiteral("bin/Orvella");  // where the program really lies in the bundle
    };
    const QString r = root.path();
    const Case cases[] = {
        {"elsewhereAccepted", r + "/Downloads/Orvella", {}, Alert::FirstButtonReturn, true, true},
        {"elsewhereDeclined", r + "/Downloads/Orvella", {}, Alert::SecondButtonReturn, true, false},
        {"installed", r + "/home/Applications/Orvella", {}, Alert::FirstButtonReturn, false, false},
        {"installedInSubFolder", r + "/home/Applications/Tools/Orvella", {}, Alert::FirstButtonReturn, false, false},
        {"folderOnlyNamedLikeIt", r + "/home/ApplicationsOld/Orvella", {}, Alert::FirstButtonReturn, true, true},
        {"buildTree", r + "/build/Orvella", r + "/build/CMakeCache.txt", Alert::FirstButtonReturn, false, false},
        {"sharedPrefix", r + "/usr/local", {}, Alert::FirstButtonReturn, false, false},
        {"foreignFileInBundle", r + "/Downloads/Orvella", r + "/Downloads/Orvella/notes.txt", Alert::FirstButtonReturn,
         false, false},
        {"noApplicationsFolder", r + "/Downloads/Orvella", {}, Alert::FirstButtonReturn, false, false, false},
        // The Debian package: started through the link in /usr/bin, even where the prefix is named
        // like the program and holds only bin, lib and share.
        {"systemPackage", r + "/usr", {}, Alert::FirstButtonReturn, false, false, true, "lib/orvella/Orvella"},
        {"systemPackageInPrefixOfItsName", r + "/opt/Orvella", {}, Alert::FirstButtonReturn, false, false, true,
         "lib/orvella/Orvella"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root.path()).removeRecursively();
        apps = c.hasApplicationsFolder ? root.filePath("home/Applications") : QString();
        QDir().mkpath(root.filePath("home/Applications"));
        alerts = 0;
        launches.clear();
        const QString executable = makeBundle(c.bundle, QStringLiteral("new"), c.program);
        if (!c.extra.isEmpty()) write(c.extra, "x");
        controller(executable, c.answer).deployIfNeeded();

        EXPECT_EQ(alerts, c.asked ? 1 : 0);
        const QString copied = apps + "/" + QFileInfo(c.bundle).fileName() + "/bin/Orvella";
        EXPECT_EQ(QFile::exists(executable), !c.moved);
        if (c.moved) {
            EXPECT_EQ(readAll(copied), "new");
            ASSERT_EQ(launches.size(), 1);
            EXPECT_EQ(launches[0].mid(3), (QStringList{"999999", copied}));
        } else {
            EXPECT_TRUE(launches.isEmpty());
        }
    }
}

TEST_F(DeploymentControllerTest, OlderCopyGoesToTheTrashAndFailuresKeepEverything) {
    struct Case {
        const char* name;
        bool trashWorks;
        bool applicationsFolderIsAFile;
        bool moved;
    };
    const Case cases[] = {{"olderCopyTrashed", true, false, true},
                          {"trashFails", false, false, false},
                          {"copyFails", true, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root.path()).removeRecursively();
        launches.clear();
        trashed.clear();
        trashWorks = c.trashWorks;
        if (c.applicationsFolderIsAFile) write(apps, "not a folder");
        else write(apps + "/Orvella/bin/Orvella", "old");
        const QString executable = makeBundle(root.filePath("Downloads/Orvella"));
        controller(executable, Alert::FirstButtonReturn).deployIfNeeded();

        EXPECT_EQ(QFile::exists(executable), !c.moved);
        EXPECT_EQ(launches.size(), c.moved ? 1 : 0);
        if (c.applicationsFolderIsAFile) continue;
        EXPECT_EQ(trashed, QStringList{apps + "/Orvella"});
        EXPECT_EQ(readAll(apps + "/Orvella/bin/Orvella"), c.moved ? "new" : "old");
        EXPECT_EQ(readAll(root.filePath("trash/bin/Orvella")), c.moved ? "old" : "");
        // Nothing half-copied is left beside the copy.
        EXPECT_EQ(QDir(apps).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"Orvella"});
    }
}

// The real relaunch and detach commands, with paths a shell would misread if they were pasted into
// its script: the copy must start with its path intact and nothing else may run.
TEST_F(DeploymentControllerTest, RelaunchAndDetachTakeHostilePathsAsPaths) {
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);

    const QString pwned = root.filePath("pwned");
    const QString volume = root.filePath("a b 'q\" ;$(touch " + pwned + ")`touch " + pwned + "`");
    apps = volume + "/Apps; touch " + pwned;
    const QString executable =
        makeBundle(volume + "/Orvella", "#!/bin/sh\nprintf '%s\\n' \"$0\" >> '" + root.filePath("ran") + "'\n");
    QString escaped = volume;
    write(root.filePath("mountinfo"), "36 35 8:1 / " + escaped.replace(" ", "\\040") +
                                          " rw,noatime shared:1 - ext4 /dev/fake rw\n");
    for (const char* tool : {"udisksctl", "gio", "umount"})
        write(root.filePath(QStringLiteral("tools/") + tool),
              "#!/bin/sh\n{ printf '%s' \"${0##*/}\"; printf ' [%s]' \"$@\"; echo; } >> '" + root.filePath("log") +
                  "'\nexit 1\n",
              true);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", (root.filePath("tools") + ":/usr/bin:/bin").toUtf8());

    DeploymentController::Environment env = DeploymentController::defaultEnvironment();
    env.executablePath = executable;
    env.applicationsFolder = apps;
    env.mountInfoPath = root.filePath("mountinfo");
    env.processIdentifier = gone;
    env.detachDelaySeconds = 0;
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    DeploymentController(LocalizationController(), env).deployIfNeeded();
    const bool finished = TestEnvironment::waitUntil(
        [&] { return !readAll(root.filePath("ran")).isEmpty() && readAll(root.filePath("log")).count('\n') == 3; });
    qputenv("PATH", path);

    ASSERT_TRUE(finished);
    EXPECT_EQ(readAll(root.filePath("ran")), apps + "/Orvella/bin/Orvella\n");
    EXPECT_EQ(readAll(root.filePath("log")), "udisksctl [unmount] [-b] [/dev/fake]\ngio [mount] [-u] [" + volume +
                                                 "]\numount [" + volume + "]\n");
    EXPECT_TRUE(QFile::exists(executable)) << "a bundle on a volume stays there";
    EXPECT_FALSE(QFile::exists(pwned));
}

}  // namespace
