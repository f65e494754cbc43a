#include "app/shell/update/UpdateTransfer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>

#include <memory>

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"

namespace UpdateTransfer {
namespace {

constexpr int transferTimeoutMs = 60000;

SerialQueue& fileQueue() {
    static SerialQueue queue(QStringLiteral("Orvella.update.transfer"));
    return queue;
}

QNetworkAccessManager& network() {
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}

QNetworkReply* get(const QUrl& url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return network().get(request);
}

template <typename Result>
void deliver(std::function<void(Result)> completion, Result result) {
    MainQueue::async([completion = std::move(completion), result = std::move(result)] { completion(result); });
}

// Copies in pieces so that an archive never has to fit into memory.
std::optional<QString> copyLocalFile(const QString& source, const QString& destination) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return QStringLiteral("Cannot read %1: %2").arg(source, in.errorString());
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) return QStringLiteral("Cannot write %1: %2").arg(destination, out.errorString());
    QByteArray buffer;
    while (!(buffer = in.read(1 << 20)).isEmpty())
        if (out.write(buffer) != buffer.size()) return QStringLiteral("Cannot write %1: %2").arg(destination, out.errorString());
    if (in.error() != QFile::NoError) return QStringLiteral("Cannot read %1: %2").arg(source, in.errorString());
    if (!out.commit()) return QStringLiteral("Cannot write %1: %2").arg(destination, out.errorString());
    return std::nullopt;
}

void verifyOnQueue(const QString& path, std::int64_t expectedLength, const QString& sha256,
                   std::function<void(FileResult)> completion) {
    fileQueue().async([=] {
        FileResult result;
        if (auto failure = verifyArchive(path, expectedLength, sha256)) {
            QFile::remove(path);
            result.error = *failure;
        } else {
            result.path = path;
        }
        deliver(completion, result);
    });
}

}  // namespace

void fetchData(const QUrl& url, std::int64_t maxBytes, std::function<void(DataResult)> completion) {
    if (url.isLocalFile()) {
        fileQueue().async([=] {
            DataResult result;
            QFile file(url.toLocalFile());
            if (!file.open(QIODevice::ReadOnly)) {
                result.error = file.errorString();
            } else if (file.size() > maxBytes) {
                result.error = QStringLiteral("The feed is larger than %1 bytes.").arg(maxBytes);
            } else {
                QByteArray data = file.readAll();
                if (file.error() != QFile::NoError) result.error = file.errorString();
                else result.data = std::move(data);
            }
            deliver(completion, result);
        });
        return;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http" && scheme != u"https") {
        deliver(completion, DataResult{std::nullopt, QStringLiteral("Unsupported feed URL: %1").arg(url.toString())});
        return;
    }
    QNetworkReply* reply = get(url);
    auto buffer = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [=] {
        buffer->append(reply->readAll());
        if (buffer->size() > maxBytes) {
            *tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [=] {
        reply->deleteLater();
        DataResult result;
        if (*tooLarge) result.error = QStringLiteral("The feed is larger than %1 bytes.").arg(maxBytes);
        else if (reply->error() != QNetworkReply::NoError) {
            result.error = reply->errorString();
            result.unreachable = isUnreachable(reply->error());
        } else {
            result.data = *buffer + reply->readAll();
        }
        completion(result);
    });
}

bool isUnreachable(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError: return true;
    default: return false;
    }
}

void downloadArchive(const QUrl& url, const QString& destinationPath, std::int64_t expectedLength,
                     const QString& sha256, std::function<void(FileResult)> completion) {
    if (url.isLocalFile()) {
        fileQueue().async([=] {
            if (auto failure = copyLocalFile(url.toLocalFile(), destinationPath)) {
                deliver(completion, FileResult{std::nullopt, *failure});
                return;
            }
            verifyOnQueue(destinationPath, expectedLength, sha256, completion);
        });
        return;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http" && scheme != u"https") {
        deliver(completion, FileResult{std::nullopt, QStringLiteral("Unsupported archive URL: %1").arg(url.toString())});
        return;
    }
    auto file = std::make_shared<QFile>(destinationPath);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        deliver(completion, FileResult{std::nullopt, file->errorString()});
        return;
    }
    QNetworkReply* reply = get(url);
    auto writeFailed = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [=] {
        const QByteArray chunk = reply->readAll();
        // More than announced can only be a wrong archive; stop before it fills the disk.
        if (file->write(chunk) != chunk.size() || (expectedLength > 0 && file->size() > expectedLength)) {
            *writeFailed = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [=] {
        reply->deleteLater();
        const QByteArray rest = reply->readAll();
        if (!rest.isEmpty() && file->write(rest) != rest.size()) *writeFailed = true;
        file->close();
        if (*writeFailed || reply->error() != QNetworkReply::NoError) {
            const QString error = *writeFailed ? QStringLiteral("The download does not match the announced archive.")
                                               : reply->errorString();
            QFile::remove(destinationPath);
            completion(FileResult{std::nullopt, error});
            return;
        }
        verifyOnQueue(destinationPath, expectedLength, sha256, completion);
    });
}

std::optional<QString> verifyArchive(const QString& path, std::int64_t expectedLength, const QString& sha256) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("Cannot read the download: %1").arg(file.errorString());
    if (expectedLength > 0 && file.size() != expectedLength)
        return QStringLiteral("The download has %1 bytes instead of %2.").arg(file.size()).arg(expectedLength);
    if (sha256.isEmpty()) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return QStringLiteral("Cannot read the download: %1").arg(file.errorString());
    if (QString::fromLatin1(hash.result().toHex()) != sha256.toLower())
        return QStringLiteral("The download's SHA-256 does not match the feed.");
    return std::nullopt;
}

}  // namespace UpdateTransfer
