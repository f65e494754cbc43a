#include <gtest/gtest.h>

#include <QUrl>

#include <vector>

#include "platform/appkit/Workspace.h"
#include "support/TestEnvironment.h"

namespace {

// A click that opens nothing must reach whoever can tell the user; one that worked must not.
TEST(WorkspaceTest, WhatNothingCouldOpenReachesTheFailureHandlerOnce) {
    struct Case {
        const char* name;
        QUrl url;
        bool opens;
        bool answer;
        bool reported;
    };
    const Case cases[] = {
        {"opened", QUrl(QStringLiteral("https://example.org/help")), true, true, false},
        {"noBrowser", QUrl(QStringLiteral("https://example.org/help")), false, false, true},
        {"noFileManager", QUrl::fromLocalFile(QStringLiteral("/dev/shm/folder")), false, false, true},
        {"notAnAddress", QUrl(), true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<QUrl> reported;
        Workspace::setFailureHandler([&](const QUrl& url) { reported.push_back(url); });
        Workspace::setOpener([&](const QUrl&) { return c.opens; });
        EXPECT_EQ(Workspace::openUrl(c.url), c.answer);
        TestEnvironment::waitUntil([&] { return !reported.empty(); }, c.reported ? 2000 : 50);
        EXPECT_EQ(reported, c.reported ? std::vector<QUrl>{c.url} : std::vector<QUrl>{});
    }
    Workspace::setOpener(nullptr);
    Workspace::setFailureHandler(nullptr);
}

}  // namespace
