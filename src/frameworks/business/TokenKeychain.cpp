#include "frameworks/business/TokenKeychain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <mutex>

#include "frameworks/logger/FrameworkChannels.h"
#include "platform/keyring/SecretServiceStore.h"
#include "service/AtomicFile.h"

namespace {

using Status = SecretStore::Status;
using Tokens = ServiceClient::Tokens;

// The kind of item in the keyring, as its manager shows it.
constexpr auto kSchema = "org.orvella.Desktop.Session";

QString dataHome() {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    return data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : data;
}

bool makeOwnerOnlyFolder(const QString& folder) {
    return QDir().mkpath(folder) &&
           QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QByteArray encode(const Tokens& tokens, const QString& userName) {
    const QJsonObject pair{{QStringLiteral("access"), tokens.accessToken}, {QStringLiteral("refresh"), tokens.refreshToken}};
    const QString secret = QString::fromUtf8(QJsonDocument(pair).toJson(QJsonDocument::Compact));
    const QJsonObject json{{QStringLiteral("userName"), userName}, {QStringLiteral("token"), secret}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

std::optional<Tokens> decode(const QByteArray& bytes, QString* userName = nullptr) {
    const QJsonObject json = QJsonDocument::fromJson(bytes).object();
    if (userName) *userName = json.value(QStringLiteral("userName")).toString();
    const QString secret = json.value(QStringLiteral("token")).toString();
    if (secret.isEmpty()) return std::nullopt;
    if (!secret.startsWith(u'{')) return Tokens{secret, secret};
    const QJsonObject pair = QJsonDocument::fromJson(secret.toUtf8()).object();
    Tokens tokens{pair.value(QStringLiteral("access")).toString(), pair.value(QStringLiteral("refresh")).toString()};
    if (tokens.accessToken.isEmpty() && tokens.refreshToken.isEmpty()) return std::nullopt;
    return tokens;
}

QString labelFor(const QString& userName) {
    return userName.isEmpty() ? QStringLiteral("Orvella session") : QStringLiteral("Orvella session of ") + userName;
}

// The owner-only file: the store where no keyring runs, and what an earlier version left.
class TokenFile : public SecretStore {
public:
    TokenFile(QString folder, QString path) : folder_(std::move(folder)), path_(std::move(path)) {}

    Answer read() const override {
        // Unreadable counts as nothing, as it always did: the user signs in again.
        const auto bytes = AtomicFile::read(path_);
        return bytes ? Answer{Status::done, *bytes, {}} : Answer{Status::none, {}, {}};
    }
    Answer write(const QByteArray& secret, const QString&) const override {
        if (!makeOwnerOnlyFolder(folder_)) return Answer{Status::failed, {}, QStringLiteral("cannot make ") + folder_};
        QString error;
        if (!AtomicFile::write(path_, secret, 0600, &error)) return Answer{Status::failed, {}, error};
        return Answer{Status::done, {}, {}};
    }
    Answer remove() const override {
        if (QFile::remove(path_) || !QFileInfo::exists(path_)) return Answer{Status::done, {}, {}};
        return Answer{Status::failed, {}, QStringLiteral("cannot remove ") + path_};
    }
    QString description() const override { return path_; }

private:
    QString folder_;
    QString path_;
};

TokenKeychain::Stored stored(std::optional<Tokens> tokens, bool unavailable = false) {
    return TokenKeychain::Stored{std::move(tokens), unavailable};
}

TokenKeychain::Outcome outcome(const SecretStore::Answer& answer) { return {answer.status, answer.error}; }

}  // namespace

struct TokenKeychain::State {
    State(const QString& folder, const QString& path, const QString& account)
        : file(folder, path), account(account), folder(folder),
          // Hidden, so that no account's file (never named with a leading point) is ever taken for it.
          signOutMarker(folder + QStringLiteral("/.") + safeFileName(account) + QStringLiteral(".signed-out")) {}

    std::mutex mutex;
    bool chosen = false;
    std::shared_ptr<SecretStore> keyring;  // none: the file alone
    TokenFile file;
    QString account;
    QString folder;
    QString signOutMarker;  // a sign-out the keyring could not take yet
    // What the keyring refused in this launch; not asked again until a store() reaches it.
    bool readUnavailable = false;
    bool fileRefused = false;

    void choose() {
        if (chosen) return;
        chosen = true;
        const auto presence = SecretServiceStore::presence();
        if (presence == SecretServiceStore::Presence::running || presence == SecretServiceStore::Presence::activatable) {
            keyring = std::make_shared<SecretServiceStore>(
                QString::fromLatin1(kSchema),
                SecretServiceStore::Attributes{{QStringLiteral("account"), account}, {QStringLiteral("folder"), folder}});
            return;
        }
        const QString why = presence == SecretServiceStore::Presence::noBus ? QStringLiteral("No session bus")
                                                                            : QStringLiteral("No Secret Service on the session bus");
        OVLOG_WARNING(Log::Business::setup(), why + QStringLiteral(": the session is kept in ") + file.description() +
                                                  QStringLiteral(", readable by this user only."));
    }

    Stored readFile() const {
        const auto answer = file.read();
        return stored(answer.status == Status::done ? decode(answer.secret) : std::nullopt);
    }

    // A file, from an earlier version or a launch without a keyring, into the keyring, replacing
    // what it held: the file is the newer. It goes only once the keyring has it; until then its
    // session is used from where it is.
    std::optional<Tokens> migrate() {
        const auto answer = file.read();
        QString userName;
        const auto tokens = answer.status == Status::done ? decode(answer.secret, &userName) : std::nullopt;
        if (!tokens || fileRefused) return tokens;
        const auto written = keyring->write(encode(*tokens, userName), labelFor(userName));
        if (written.status == Status::done) {
            file.remove();
            OVLOG_INFO(Log::Business::setup(), QStringLiteral("The session moved from ") + file.description() +
                                                   QStringLiteral(" into ") + keyring->description() + u'.');
        } else {
            fileRefused = true;
            OVLOG_WARNING(Log::Business::setup(), QStringLiteral("The session stays in ") + file.description() +
                                                      QStringLiteral(" until the keyring takes it: ") + written.error);
        }
        return tokens;
    }

    void finishSignOut() {
        if (readUnavailable || keyring->remove().status != Status::done) return;
        QFile::remove(signOutMarker);
        OVLOG_INFO(Log::Business::setup(), QStringLiteral("The session signed out earlier is removed from the keyring."));
    }
};

QString TokenKeychain::safeFileName(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("default");
    // Only letters, digits, "-", "_" and "." stay as they are, and a leading point is encoded too,
    // so that no name becomes ".", ".." or a hidden file.
    QString safe = QString::fromLatin1(name.toUtf8().toPercentEncoding(QByteArray(), QByteArrayLiteral("~")));
    if (safe.startsWith(u'.')) safe.replace(0, 1, QStringLiteral("%2E"));
    return safe;
}

QString TokenKeychain::defaultFolder(const QString& group) {
    return QDir::cleanPath(dataHome() + u'/' + safeFileName(group.isEmpty() ? QStringLiteral("Orvella") : group) +
                           QStringLiteral("/keychain"));
}

TokenKeychain::TokenKeychain(QString folder, const QString& account)
    : folder_(QDir::cleanPath(std::move(folder))),
      path_(folder_ + u'/' + safeFileName(account)),
      state_(std::make_shared<State>(folder_, path_, account)) {}

TokenKeychain::Stored TokenKeychain::tokens() const {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    s.choose();
    if (!s.keyring) return s.readFile();
    // Signed out while the keyring could not take it: signed out it stays, whatever it still holds.
    if (QFileInfo::exists(s.signOutMarker)) {
        s.finishSignOut();
        return stored(std::nullopt);
    }
    if (s.readUnavailable) return stored(std::nullopt, true);
    if (auto moved = s.migrate()) return stored(std::move(moved));
    const auto answer = s.keyring->read();
    if (answer.status == Status::unavailable) {
        s.readUnavailable = true;
        OVLOG_ERROR(Log::Business::setup(), QStringLiteral("Cannot read the session from ") + s.keyring->description() +
                                                QStringLiteral(": ") + answer.error);
        return stored(std::nullopt, true);
    }
    return stored(answer.status == Status::done ? decode(answer.secret) : std::nullopt);
}

TokenKeychain::Outcome TokenKeychain::store(const ServiceClient::Tokens& tokens, const QString& userName) const {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    s.choose();
    const QByteArray secret = encode(tokens, userName);
    if (!s.keyring) return outcome(s.file.write(secret, {}));
    const auto written = s.keyring->write(secret, labelFor(userName));
    if (written.status == Status::done) {
        s.readUnavailable = s.fileRefused = false;
        QFile::remove(s.signOutMarker);
        if (QFileInfo::exists(path_)) s.file.remove();
    } else if (written.status == Status::failed) {
        // A keyring that answers but can keep nothing must not stop the user from signing in:
        // the file keeps the session, and moves into the keyring once it can take it.
        const auto kept = s.file.write(secret, {});
        if (kept.status == Status::done) {
            s.fileRefused = true;
            QFile::remove(s.signOutMarker);
            OVLOG_WARNING(Log::Business::setup(), QStringLiteral("The keyring cannot keep the session (") + written.error +
                                                      QStringLiteral("): it is kept in ") + s.file.description() +
                                                      QStringLiteral(", readable by this user only."));
        }
        return outcome(kept);
    }
    return outcome(written);
}

TokenKeychain::Outcome TokenKeychain::remove() const {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    s.choose();
    const auto fileRemoved = s.file.remove();
    if (!s.keyring) return outcome(fileRemoved);
    const auto removed = s.keyring->remove();
    if (removed.status == Status::done) {
        QFile::remove(s.signOutMarker);
        return outcome(fileRemoved);
    }
    if (removed.status == Status::unavailable && makeOwnerOnlyFolder(s.folder) && AtomicFile::write(s.signOutMarker, {}, 0600)) {
        OVLOG_WARNING(Log::Business::setup(), QStringLiteral("Cannot remove the session from ") + s.keyring->description() +
                                                  QStringLiteral(" now (") + removed.error +
                                                  QStringLiteral("); it is removed before the next read."));
        return outcome(fileRemoved);
    }
    return outcome(removed);
}
