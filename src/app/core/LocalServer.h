#pragma once

#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <variant>

// The server this computer runs for the application when no other one is chosen: an
// Orvella_Service child on a free loopback port over the user's own service folder, so that the
// application reaches even its own storage only through the network path. It ends with the
// application, also when the application dies without a word: its standard input is a pipe the
// application holds, and the server stops once that closes.
class LocalServer {
public:
    // Orvella_Service beside the running program (also in an installation's bin folder).
    static QString executableBesideApplication();

    LocalServer() = default;
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Starts the server (once; later calls answer the same URL while it runs) and waits until it
    // listens: its base URL, or a text that says why it could not start. Its log lines go to the
    // application's log.
    std::variant<QUrl, QString> start(const QString& executable, const QString& root,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(15));
    bool isRunning() const;
    // Asks it to stop (its journal is saved), and kills it if it has not within `grace`.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

    struct State;

private:
    std::shared_ptr<State> state_;
};
