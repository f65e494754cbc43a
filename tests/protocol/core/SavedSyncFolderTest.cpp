#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <fstream>
#include <optional>
#include <string>

#include "protocol/core/SavedSyncFolder.h"

namespace {

// A wrong folder offers sharing where the application refuses it, or hides it where it would work.
TEST(SavedSyncFolder, GivesBackExactlyTheFolderLastSavedAndNothingElse) {
    QTemporaryDir cache;
    ASSERT_TRUE(cache.isValid());
    const QByteArray former = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", (cache.path() + QStringLiteral("/not yet made")).toUtf8());
    EXPECT_EQ(SavedSyncFolder::load(), std::nullopt) << "nothing saved yet";

    struct Case {
        const char* what;
        std::optional<std::string> saved;  // none: the file is written as it stands
        std::string written;
        std::optional<std::string> loaded;
    };
    const Case cases[] = {
        {"a long folder", "/home/ada/Orvella with a long name", {}, "/home/ada/Orvella with a long name"},
        {"a shorter one replaces it whole", "/srv/O", {}, "/srv/O"},
        {"a newline and invalid UTF-8 are part of the name", "/home/a\nb/\xff/Orvella", {}, "/home/a\nb/\xff/Orvella"},
        {"a relative folder is none", std::nullopt, "Orvella", std::nullopt},
        {"an empty file is none", std::nullopt, "", std::nullopt},
    };
    for (const Case& c : cases) {
        if (c.saved) {
            SavedSyncFolder::save(*c.saved);
        } else {
            std::ofstream(SavedSyncFolder::path(), std::ios::binary | std::ios::trunc) << c.written;
        }
        EXPECT_EQ(SavedSyncFolder::load(), c.loaded) << c.what;
    }
    qputenv("XDG_CACHE_HOME", former);
}

}  // namespace
