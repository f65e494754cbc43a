#include <gtest/gtest.h>

#include <QByteArray>

#include <string>
#include <utility>
#include <vector>

#include "nautilus/ModuleLog.h"
#include "nautilus/ShownItems.h"

namespace {

TEST(ShownItems, RedrawsTheMostRecentlyAskedWhenFullAndTalliesEachFolder) {
    ShownItems shown(3);
    for (const char* path : {"/s/a", "/s/b", "/s/c", "/s/a", "/s/d"}) shown.remember(path);
    // "/s/a" was asked again, so the oldest one left is "/s/b".
    EXPECT_EQ(shown.paths(), (std::vector<std::string>{"/s/d", "/s/a", "/s/c"}));

    for (const char* path : {"/s/a", "/s/sub/x", "/s/d", "/top"}) shown.answered(path);
    const std::vector<std::pair<std::string, std::size_t>> tally{{"/", 1}, {"/s", 2}, {"/s/sub", 1}};
    EXPECT_EQ(shown.takeTally(), tally);
    EXPECT_TRUE(shown.takeTally().empty());
}

TEST(ShownItems, ParentFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"/s/a.txt", "/s"}, {"/a", "/"}, {"/s/with space/a\nb", "/s/with space"}, {"/s/\xff/x", "/s/\xff"},
        {"relative", ""},
    };
    for (const auto& [path, parent] : cases) EXPECT_EQ(ShownItems::parentFolder(path), parent) << path;
}

TEST(ModuleLog, WritesUnderTheCacheFolderAndNeverIntoTheWorkingFolder) {
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    const QByteArray home = qgetenv("HOME");
    const std::pair<const char*, std::string> cases[] = {
        {"/x/cache", "/x/cache/orvella-nautilus.log"},
        {"", home.toStdString() + "/.cache/orvella-nautilus.log"},
        // A relative folder would follow Nautilus's working folder around.
        {"cache", home.toStdString() + "/.cache/orvella-nautilus.log"},
    };
    for (const auto& [value, path] : cases) {
        qputenv("XDG_CACHE_HOME", value);
        EXPECT_EQ(ModuleLog::path(), path) << value;
    }
    qputenv("XDG_CACHE_HOME", cache);
}

}  // namespace
