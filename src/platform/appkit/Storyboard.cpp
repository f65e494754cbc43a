#include "platform/appkit/Storyboard.h"

#include <QHash>
#include <QPair>

#include <mutex>

namespace {

std::mutex scenesMutex;
QHash<QPair<QString, QString>, std::function<QObject*()>>& scenes() {
    static QHash<QPair<QString, QString>, std::function<QObject*()>> table;
    return table;
}

}  // namespace

void Storyboard::registerScene(const QString& storyboard, const QString& identifier,
                               std::function<QObject*()> factory) {
    std::lock_guard lock(scenesMutex);
    if (factory) scenes().insert({storyboard, identifier}, std::move(factory));
    else scenes().remove({storyboard, identifier});
}

QObject* Storyboard::instantiate(const QString& storyboard, const QString& identifier) {
    std::function<QObject*()> factory;
    {
        std::lock_guard lock(scenesMutex);
        factory = scenes().value({storyboard, identifier});
    }
    // Outside the lock: a scene may instantiate others while it is built.
    return factory ? factory() : nullptr;
}

bool Storyboard::hasScene(const QString& storyboard, const QString& identifier) {
    std::lock_guard lock(scenesMutex);
    return scenes().contains({storyboard, identifier});
}

QStringList Storyboard::identifiers(const QString& storyboard) {
    std::lock_guard lock(scenesMutex);
    QStringList names;
    for (auto it = scenes().cbegin(); it != scenes().cend(); ++it)
        if (it.key().first == storyboard) names << it.key().second;
    names.sort();
    return names;
}
