// Times the selective-sync store on a remote tree of 100 folders of 1,000 folders each:
// - loading it level by level as the browser does (the root's level, then each folder's), into a
//   store file, beside loading a tenth of it (10 x 1,000): a ratio near 10 means linear;
// - select-all over the 100,000 folders, saved, beside the same select-all in memory unsaved;
// - building the subscription list of about 25,000 mixed items with 50,000 changes to save,
//   beside building it again with nothing to save.
// Each figure is the median of the runs (5 by default).
//
//   bench_store [runs] [folders]   (folders: the first level's size, default 100)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/selectivesync/StoreController.h"
#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/logger/Logger.h"

namespace {

constexpr int folderSize = 1'000;

// A remote folder with its level already listed, as a level request answers it.
class BenchFolder final : public DirectoryHierarchyNode {
public:
    BenchFolder(QString path, std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children = {})
        : path_(std::move(path)), children_(std::move(children)) {}
    std::optional<QString> path() const override { return path_; }
    QString identifier() const override { return QStringLiteral("id:") + path_; }
    QString name() const override { return path_ == QStringLiteral("/") ? QStringLiteral("root") : path_.section(u'/', -1); }
    std::int64_t flags() const override { return selectableFlag; }
    std::int64_t size() const override { return 0; }
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children() const override { return children_; }
    std::shared_ptr<Cancelable> loadLevel(int, int, LevelCompletion) const override { return nullptr; }

private:
    QString path_;
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children_;
};

QString topPath(int i) { return QStringLiteral("/Folder %1").arg(i, 3, 10, QLatin1Char('0')); }
QString childPath(int i, int j) { return topPath(i) + QStringLiteral("/Sub %1").arg(j, 4, 10, QLatin1Char('0')); }

std::shared_ptr<DirectoryHierarchyNode> level(const QString& path, const std::vector<QString>& childPaths) {
    std::vector<std::shared_ptr<DirectoryHierarchyNode>> children;
    children.reserve(childPaths.size());
    for (const QString& child : childPaths) children.push_back(std::make_shared<BenchFolder>(child));
    return std::make_shared<BenchFolder>(path, std::move(children));
}

// The remote answers, made before any timing starts.
struct RemoteTree {
    std::shared_ptr<DirectoryHierarchyNode> root;
    std::vector<std::shared_ptr<DirectoryHierarchyNode>> folders;
};

RemoteTree remoteTree(int folders) {
    RemoteTree tree;
    std::vector<QString> tops;
    for (int i = 0; i < folders; ++i) tops.push_back(topPath(i));
    tree.root = level(QStringLiteral("/"), tops);
    for (int i = 0; i < folders; ++i) {
        std::vector<QString> children;
        for (int j = 0; j < folderSize; ++j) children.push_back(childPath(i, j));
        tree.folders.push_back(level(topPath(i), children));
    }
    return tree;
}

// Every tenth folder subscribed whole, the one after it in part: one subfolder in three.
std::vector<SelectiveSyncItem> subscriptions(int folders) {
    std::vector<SelectiveSyncItem> items{{QStringLiteral("/"), false, QString()}};
    for (int i = 0; i < folders; i += 10) {
        items.push_back({topPath(i), true, QString()});
        if (i + 1 >= folders) break;
        items.push_back({topPath(i + 1), false, QString()});
        for (int j = 0; j < folderSize; j += 3) items.push_back({childPath(i + 1, j), true, QString()});
    }
    return items;
}

std::shared_ptr<StoreController> openStore(const std::optional<QString>& file) {
    return StoreController::make(std::make_shared<PersistentContainer>(
        QStringLiteral("Model"), file ? PersistentStoreDescription::file(*file) : PersistentStoreDescription::inMemory()));
}

void storeLevel(StoreController& store, const std::shared_ptr<DirectoryHierarchyNode>& remote, const QString& path,
                const std::vector<SelectiveSyncItem>& items) {
    const auto node = store.nodeForRelativePath(path);
    if (!node) {
        std::fprintf(stderr, "no stored node for %s\n", qPrintable(path));
        std::exit(1);
    }
    bool done = false;
    store.selectiveSyncHierarchy(remote, node, items, [&](SelectiveSyncLevelResult result) {
        if (!result.isSuccess()) {
            std::fputs("a level failed to load\n", stderr);
            std::exit(1);
        }
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Loads the root's level and then each folder's level; answers the seconds taken.
double loadLevels(StoreController& store, const RemoteTree& tree, const std::vector<SelectiveSyncItem>& items) {
    QElapsedTimer timer;
    timer.start();
    store.createNode(QStringLiteral("/"), QStringLiteral("id:/"));
    if (store.viewContext().save()) {
        std::fputs("cannot save the root\n", stderr);
        std::exit(1);
    }
    storeLevel(store, tree.root, QStringLiteral("/"), items);
    for (std::size_t i = 0; i < tree.folders.size(); ++i) storeLevel(store, tree.folders[i], topPath(int(i)), items);
    return double(timer.nsecsElapsed()) / 1e9;
}

void expectNodes(StoreController& store, int expected) {
    const int count = store.viewContext().count().valueOr(-1);
    if (count != expected) {
        std::fprintf(stderr, "the store holds %d nodes, not %d\n", count, expected);
        std::exit(1);
    }
}

// What the select-all check box does: every node on.
void selectAll(StoreController& store) {
    for (const auto& node : store.viewContext().fetch().valueOr({})) node->setSyncState(FileSystemNode::stateOn);
}

double seconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void row(const char* what, const std::vector<double>& figures, const char* baseWhat, const std::vector<double>& bases) {
    const double figure = median(figures), base = median(bases);
    std::printf("%-44s %9.3f s   %-30s %9.3f s   ratio %6.2f\n", what, figure, baseWhat, base, figure / base);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int folders = argc > 2 ? std::max(10, std::atoi(argv[2])) : 100;
    const int nodes = 1 + folders + folders * folderSize;
    const RemoteTree full = remoteTree(folders);
    const RemoteTree tenth = remoteTree(folders / 10);
    const auto items = subscriptions(folders);

    std::vector<double> load, loadTenth, saved, inMemory, withChanges, unchanged;
    std::size_t listSize = 0;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir dir(QStringLiteral("/dev/shm/bench-store-XXXXXX"));
        if (!dir.isValid()) return 1;
        {
            auto store = openStore(dir.filePath(QStringLiteral("Tenth.sqlite")));
            loadTenth.push_back(loadLevels(*store, tenth, items));
        }
        auto store = openStore(dir.filePath(QStringLiteral("Model.sqlite")));
        load.push_back(loadLevels(*store, full, items));
        expectNodes(*store, nodes);

        // Select-all, from a store just loaded and saved, reopened as the browser would find it.
        if (store->viewContext().save()) return 1;
        store = openStore(dir.filePath(QStringLiteral("Model.sqlite")));
        expectNodes(*store, nodes);
        saved.push_back(seconds([&] {
            selectAll(*store);
            if (store->viewContext().save()) std::exit(1);
        }));
        {
            auto memory = openStore(std::nullopt);
            loadLevels(*memory, full, items);
            if (memory->viewContext().save()) return 1;
            inMemory.push_back(seconds([&] { selectAll(*memory); }));
        }

        // The subscription list: every fourth subfolder on, the rest off, stored; then the
        // choice moves to the next subfolder of each four (half of them only in part).
        for (int i = 0; i < folders; ++i) {
            store->nodeForRelativePath(topPath(i))->setSyncState(FileSystemNode::stateMixed);
            for (int j = 0; j < folderSize; ++j)
                store->nodeForRelativePath(childPath(i, j))
                    ->setSyncState(j % 4 == 0 ? FileSystemNode::stateOn : FileSystemNode::stateOff);
        }
        store->rootNode()->setSyncState(FileSystemNode::stateMixed);
        if (store->viewContext().save()) return 1;
        for (int i = 0; i < folders; ++i)
            for (int j = 0; j < folderSize; ++j) {
                const auto node = store->nodeForRelativePath(childPath(i, j));
                if (j % 4 == 0) node->setSyncState(FileSystemNode::stateOff);
                if (j % 4 == 1) node->setSyncState(j % 8 == 1 ? FileSystemNode::stateMixed : FileSystemNode::stateOn);
            }
        withChanges.push_back(seconds([&] {
            store->selectiveSyncItems([&](const std::vector<SelectiveSyncItem>& list) { listSize = list.size(); });
        }));
        if (store->viewContext().hasChanges()) return 1;
        unchanged.push_back(seconds([&] { store->selectiveSyncItems({}); }));
    }

    std::printf("selective-sync store, %d folders of %d (%d nodes), median of %d runs\n", folders, folderSize, nodes,
                runs);
    row("load level by level", load, "a tenth of it", loadTenth);
    row("select-all, saved", saved, "select-all in memory", inMemory);
    std::printf("subscription list: %zu items\n", listSize);
    row("subscription list, 50,000 changes to save", withChanges, "nothing to save", unchanged);
    return 0;
}
