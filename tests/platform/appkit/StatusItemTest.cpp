#include <gtest/gtest.h>

#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QUrl>

#include "platform/appkit/StatusBarButton.h"
#include "platform/appkit/StatusItem.h"
#include "platform/appkit/StatusItemWindow.h"
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

// The window shows what the menu would: lines as text, commands that take clicks, rules between
// groups, nothing hidden; and it follows the menu as it changes.
TEST(StatusItemTest, TheWindowWithoutATrayShowsWhatTheMenuShows) {
    QMenu menu;
    QAction* line = menu.addAction("Signed in");
    line->setEnabled(false);
    StatusItemWindow::markAsLine(line);
    menu.addSeparator();
    menu.addSeparator();
    QAction* open = menu.addAction("&Open Folder");
    QAction* pause = menu.addAction("Pause");
    pause->setEnabled(false);
    menu.addAction("Hidden")->setVisible(false);
    menu.addSeparator();
    int quits = 0;
    QObject::connect(menu.addAction("Quit"), &QAction::triggered, [&] { ++quits; });
    menu.addSeparator();

    StatusItem item;
    StatusItem::setTrayProbe([] { return false; });
    item.setMenu(&menu);
    item.setWindowWithoutTray("Orvella");
    StatusItemWindow* window = item.window();
    ASSERT_NE(window, nullptr);
    const QStringList before = {"line:Signed in", "-", "command:Open Folder", "disabled:Pause", "-", "command:Quit"};
    EXPECT_EQ(window->contents(), before);
    EXPECT_FALSE(window->click("Pause"));
    EXPECT_TRUE(window->click("Quit"));
    EXPECT_EQ(quits, 1);

    line->setText("Signed out");
    open->setVisible(false);
    item.button()->setEnabled(false);
    const QStringList after = {"line:Signed out", "-", "disabled:Pause", "-", "disabled:Quit"};
    EXPECT_EQ(window->contents(), after);
    StatusItem::setTrayProbe(nullptr);
}

// The window is there exactly while no tray is, and a later start brings it back only then.
TEST(StatusItemTest, TheWindowComesAndGoesWithTheTray) {
    bool tray = false;
    StatusItem::setTrayProbe([&] { return tray; });
    StatusItem item;
    QMenu menu;
    menu.addAction("Quit");
    item.setMenu(&menu);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    item.button()->setImage(QIcon(pixmap));
    std::vector<bool> told;
    QObject::connect(&item, &StatusItem::trayAvailabilityChanged, [&](bool available) { told.push_back(available); });

    item.setWindowWithoutTray("Orvella");
    ASSERT_NE(item.window(), nullptr);
    const struct {
        bool tray;
        bool windowShown;
        bool raised;
    } steps[] = {{true, false, false}, {true, false, false}, {false, true, true}, {true, false, false}};
    EXPECT_TRUE(item.window()->isVisible());
    for (const auto& step : steps) {
        tray = step.tray;
        item.checkTray();
        EXPECT_EQ(item.window()->isVisible(), step.windowShown) << step.tray;
        item.window()->hide();
        EXPECT_EQ(item.raiseWindowWithoutTray(), step.raised);
        EXPECT_EQ(item.window()->isVisible(), step.raised);
    }
    EXPECT_EQ(told, (std::vector<bool>{true, false, true}));
    // No title: no window, whatever the tray does.
    item.setWindowWithoutTray({});
    tray = false;
    item.checkTray();
    EXPECT_FALSE(item.window()->isVisible());
    EXPECT_FALSE(item.raiseWindowWithoutTray());
    StatusItem::setTrayProbe(nullptr);
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
