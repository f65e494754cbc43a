#include "app/selectivesync/PersistentContainer.h"

#include <QDir>
#include <QStandardPaths>

#include "app/selectivesync/ObjectContext.h"
#include "app/selectivesync/PersistentStore.h"
#include "platform/foundation/SerialQueue.h"

PersistentContainer::PersistentContainer(QString name)
    : PersistentContainer(name, PersistentStoreDescription::file(QDir(defaultDirectoryPath())
                                                                      .filePath(name + QStringLiteral(".sqlite")))) {}

PersistentContainer::PersistentContainer(QString name, PersistentStoreDescription description)
    : name_(std::move(name)),
      description_(std::move(description)),
      store_(std::make_shared<PersistentStore>(description_)),
      viewContext_(std::make_unique<ObjectContext>(store_, ObjectContext::ConcurrencyType::mainQueue,
                                                   QStringLiteral("view"))) {}

// The queue drains first, so no task outlives the contexts' store handle it was given.
PersistentContainer::~PersistentContainer() { backgroundQueue_.reset(); }

QString PersistentContainer::defaultDirectoryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void PersistentContainer::loadPersistentStores(const LoadHandler& handler) {
    const std::optional<ContextError> error = store_->open();
    if (handler) handler(description_, error);
}

bool PersistentContainer::isLoaded() const { return store_->isOpen(); }

ContextResult<QString> PersistentContainer::setPersistentStoreAside() { return store_->setAside(); }

std::unique_ptr<ObjectContext> PersistentContainer::newBackgroundContext() const {
    return std::make_unique<ObjectContext>(store_, ObjectContext::ConcurrencyType::privateQueue,
                                           QStringLiteral("background"));
}

void PersistentContainer::performBackgroundTask(std::function<void(ObjectContext&)> task) {
    if (!backgroundQueue_)
        backgroundQueue_ = std::make_unique<SerialQueue>(QStringLiteral("Selective-sync store (%1)").arg(name_));
    backgroundQueue_->async([store = store_, task = std::move(task)] {
        ObjectContext context(store, ObjectContext::ConcurrencyType::privateQueue, QStringLiteral("background"));
        task(context);
    });
}
