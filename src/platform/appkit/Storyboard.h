#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Scenes (windows, view controllers, menus' controllers) made by identifier from a named
// storyboard. Each scene registers a factory once; instantiating makes a new object every time,
// owned by the caller. Thread-safe registry; the factories themselves run on the calling thread.
class Storyboard {
public:
    static QString main() { return QStringLiteral("Main"); }

    // Registering the same storyboard and identifier again replaces the factory; an empty
    // factory removes the scene.
    static void registerScene(const QString& storyboard, const QString& identifier,
                              std::function<QObject*()> factory);
    // A new instance of the scene, or nullptr when the storyboard has no such scene.
    static QObject* instantiate(const QString& storyboard, const QString& identifier);
    // The scene cast to T; nullptr (and the made object deleted) when it is something else.
    template <typename T>
    static T* instantiateAs(const QString& storyboard, const QString& identifier) {
        QObject* object = instantiate(storyboard, identifier);
        T* typed = qobject_cast<T*>(object);
        if (!typed) delete object;
        return typed;
    }
    static bool hasScene(const QString& storyboard, const QString& identifier);
    static QStringList identifiers(const QString& storyboard);
};
