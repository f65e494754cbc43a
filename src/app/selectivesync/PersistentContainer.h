#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/selectivesync/ContextError.h"

class ObjectContext;
class PersistentStore;
class SerialQueue;

// Where a container keeps its store.
struct PersistentStoreDescription {
    // The store file; none for a store held in memory only.
    std::optional<QString> path;

    static PersistentStoreDescription file(const QString& path) { return {path}; }
    static PersistentStoreDescription inMemory() { return {std::nullopt}; }
};

// The selective-sync store's stack: one store (an SQLite file named after the container), the
// main thread's view context, and private contexts for background tasks.
class PersistentContainer {
public:
    // The store "<name>.sqlite" in the application's data folder.
    explicit PersistentContainer(QString name);
    PersistentContainer(QString name, PersistentStoreDescription description);
    ~PersistentContainer();
    PersistentContainer(const PersistentContainer&) = delete;
    PersistentContainer& operator=(const PersistentContainer&) = delete;

    // The application's data folder (the XDG data folder under the application's name).
    static QString defaultDirectoryPath();

    QString name() const { return name_; }
    std::vector<PersistentStoreDescription> persistentStoreDescriptions() const { return {description_}; }

    // Opens the store, creating its folder and file when needed; the handler runs once for the
    // store, in line, with the error when it could not be opened. Loading again does nothing
    // but call the handler.
    using LoadHandler = std::function<void(const PersistentStoreDescription&, const std::optional<ContextError>&)>;
    void loadPersistentStores(const LoadHandler& handler);
    bool isLoaded() const;
    // Renames the store's file, when it could not be loaded, out of the way of a new one; answers
    // where it went.
    ContextResult<QString> setPersistentStoreAside();

    // The main thread's context. Before the store is loaded, and when it could not be, every
    // request on it fails.
    ObjectContext& viewContext() const { return *viewContext_; }
    // A private context of its own for the calling task.
    std::unique_ptr<ObjectContext> newBackgroundContext() const;
    // Runs the task on the container's background queue with a new private context. Tasks run
    // one at a time, in the order handed in; a task keeps the store open while it runs, and the
    // container waits for its tasks when it goes away. Called from the main thread.
    void performBackgroundTask(std::function<void(ObjectContext&)> task);

private:
    QString name_;
    PersistentStoreDescription description_;
    std::shared_ptr<PersistentStore> store_;
    std::unique_ptr<ObjectContext> viewContext_;
    std::unique_ptr<SerialQueue> backgroundQueue_;
};
