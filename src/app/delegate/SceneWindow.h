#pragma once

#include <QString>

#include <memory>

#include "app/common/LogChannels.h"
#include "platform/appkit/Storyboard.h"

// A window controller made from its scene on first use and kept for the life of the process.
// Answers whether there is one; a scene that cannot be made is logged as "<Class> couldn't be
// instantiated…" on the flow channel.
template <typename T>
bool makeSceneOnce(std::unique_ptr<T>& controller, const QString& storyboard, const QString& identifier) {
    if (controller) return true;
    controller.reset(Storyboard::instantiateAs<T>(storyboard, identifier));
    if (!controller)
        OVLOG_ERROR(AppLog::flow(),
                    QString::fromLatin1(T::staticMetaObject.className()) + QStringLiteral(" couldn't be instantiated…"));
    return controller != nullptr;
}
