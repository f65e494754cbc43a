#include <gtest/gtest.h>

#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QUrl>

#include "platform/appkit/StatusBarButton.h"
#include "platform/appkit/StatusItem.h"
#include "platform/appkit/Workspace.h"

namespace {

TEST(StatusItemTest, StaysUsableWithoutATrayAndFollowsItsButton) {
    StatusItem item;
    EXPECT_EQ(item.isTrayAvailable(), QSystemTrayIcon::isSystemTrayAvailable());
    if (!item.isTrayAvailable()) {
        EXPECT_FALSE(item.isVisible());
    }

    QMenu menu;
    item.setMenu(&menu);
    EXPECT_EQ(item.menu(), &menu);
    EXPECT_EQ(item.effectiveMenu(), &menu);
    EXPECT_EQ(item.trayIcon()->contextMenu(), &menu);

    // A disabled button opens no menu; enabling it gives the menu back.
    item.button()->setEnabled(false);
    EXPECT_EQ(item.effectiveMenu(), nullptr);
    EXPECT_EQ(item.trayIcon()->contextMenu(), nullptr);
    item.button()->setEnabled(true);
    EXPECT_EQ(item.trayIcon()->contextMenu(), &menu);

    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    item.button()->setImage(QIcon(pixmap));
    item.button()->setToolTip("Synchronizing");
    EXPECT_FALSE(item.trayIcon()->icon().isNull());
    EXPECT_EQ(item.trayIcon()->toolTip(), "Synchronizing");

    // The disabled look is a different image than the enabled one.
    const qint64 enabledKey = item.trayIcon()->icon().cacheKey();
    item.button()->setEnabled(false);
    EXPECT_NE(item.trayIcon()->icon().cacheKey(), enabledKey);
}

TEST(StatusItemTest, AMenuDeletedElsewhereIsForgotten) {
    StatusItem item;
    auto* menu = new QMenu;
    item.setMenu(menu);
    delete menu;
    EXPECT_EQ(item.menu(), nullptr);
    EXPECT_EQ(item.effectiveMenu(), nullptr);
}

TEST(WorkspaceTest, RevealingOpensEachContainingFolderOnce) {
    const std::vector<std::pair<QStringList, QStringList>> table = {
        {{"/data/Orvella/a.txt"}, {"/data/Orvella"}},
        {{"/data/Orvella/a.txt", "/data/Orvella/b.txt", "/data/x/c"}, {"/data/Orvella", "/data/x"}},
        {{"/data/Orvella/sub/"}, {"/data/Orvella"}},
        {{"/data/Orvella/../y/z"}, {"/data/y"}},
        {{"", "/f"}, {"/"}},
        {{}, {}},
    };
    for (const auto& [paths, folders] : table) {
        SCOPED_TRACE(paths.join(',').toStdString());
        EXPECT_EQ(Workspace::containingFolders(paths), folders);
        QStringList opened;
        Workspace::setOpener([&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        Workspace::activateFileViewerSelecting(paths);
        Workspace::setOpener(nullptr);
        EXPECT_EQ(opened, folders);
    }
}

// Localized addresses reach the desktop only when they form an absolute URL.
TEST(WorkspaceTest, OpeningAnAddressTextOpensOnlyAbsoluteUrls) {
    const std::vector<std::pair<QString, QString>> table = {
        {"https://www.orvella.example/help", "https://www.orvella.example/help"},
        {"  https://www.orvella.example/\n", "https://www.orvella.example/"},
        {"mailto:anna@orvella.example", "mailto:anna@orvella.example"},
        {"", ""},
        {"   ", ""},
        {"www.orvella.example/help", ""},
        {"https://www.orvella.example/a b", ""},
    };
    for (const auto& [text, expected] : table) {
        SCOPED_TRACE(text.toStdString());
        QStringList opened;
        Workspace::setOpener([&](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        EXPECT_EQ(Workspace::openUrlText(text), !expected.isEmpty());
        Workspace::setOpener(nullptr);
        EXPECT_EQ(opened, expected.isEmpty() ? QStringList{} : QStringList{expected});
    }
}

}  // namespace
