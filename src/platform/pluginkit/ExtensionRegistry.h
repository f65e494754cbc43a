#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The registry of file-manager extensions that the extension host reads to know which ones to
// load: $XDG_CONFIG_HOME/Orvella/pluginkit/registry.json, shared by every process of the user.
//
// The file holds the installed extensions and the user's election for some of them:
//   {"installed": ["id", ...], "elections": {"id": "use" | "ignore", ...}}
// An extension reads as
//   - enabled when its election is "use", or when it is installed and has no election;
//   - ignored when its election is "ignore", installed or not (an election outlives the install,
//     as the user's choice should);
//   - unknown otherwise.
// Electing "use" also installs the extension: one asked for by identifier is taken to be present.
// Changes replace the file atomically under a lock on its folder, so readers never see half a file and two
// writers never lose each other's change. A file that cannot be parsed reads as empty.
class ExtensionRegistry {
public:
    enum class State { unknown, enabled, ignored };
    enum class Election { use, ignore };

    // The registry at the default location.
    ExtensionRegistry();
    explicit ExtensionRegistry(QString filePath);

    static QString defaultPath();
    QString path() const { return path_; }

    // Reverse-DNS style: letters, digits, '.', '-' and '_', not empty, at most 255 characters.
    static bool isValidIdentifier(const QString& identifier);

    State state(const QString& identifier) const;
    bool isEnabled(const QString& identifier) const { return state(identifier) == State::enabled; }
    QStringList installed() const;

    // Each answers whether the registry now holds the change; an invalid identifier is refused.
    bool setElection(const QString& identifier, Election election);
    bool install(const QString& identifier);
    // Forgets the extension and its election.
    bool uninstall(const QString& identifier);

private:
    struct Contents;
    Contents read() const;
    bool modify(const QString& identifier, const std::function<void(Contents&)>& change);

    QString path_;
};
