#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "service/BackupStore.h"
#include "service/ChangeJournal.h"
#include "service/ServiceAccount.h"
#include "service/ServiceEntry.h"
#include "service/ServiceFeatures.h"
#include "service/ServiceQuota.h"
#include "service/ServiceResult.h"
#include "service/ServiceShare.h"

// What the service on the network and its clients say to each other, in one place so that the
// two sides cannot disagree: the end points, the JSON of every type both ways, the error body with
// its code, HTTP status and ServiceError, and the checks both sides make of a user path.
//
// A decoder answers none when a field the type needs is missing or of the wrong kind; optional
// fields may be absent. Dates are ISO 8601 in UTC with milliseconds; file times are nanoseconds
// since the epoch as JSON integers (Qt keeps 64-bit integers exact).
namespace ServiceWire {

// ---- end points, below the server's base URL
inline constexpr char apiBase[] = "/2.1";
inline constexpr char tokenPath[] = "/oauth2/token";
inline constexpr char tokenInfoPath[] = "/oauth2/tokeninfo";
inline constexpr char revokePath[] = "/oauth2/revoke";
inline constexpr char chunkSizePath[] = "/macos/chunksize.json";
inline constexpr char ndjsonType[] = "application/x-ndjson";
inline constexpr char formType[] = "application/x-www-form-urlencoded";
inline constexpr char scope[] = "admin,rw";
inline constexpr int maximumChangesTimeoutMs = 60000;
// How a client's failure to reach a server whose certificate fails verification begins, so that
// whoever shows it can tell it from a network that is down.
inline constexpr char untrustedCertificate[] = "The server's certificate is not trusted: ";

// ---- user paths
inline constexpr int maximumNameBytes = 255;
inline constexpr int maximumPathBytes = 4096;
// None for a path a tree can hold ("" is the tree's root), else why not: absolute, "." or ".."
// or empty components, NUL, an encoded slash or backslash left in a component ("%2F", "%5C"), a
// name over 255 bytes or a path over 4096 bytes of UTF-8.
std::optional<QString> checkUserPath(const QString& path);
// "a/b" from "a" and "b"; the child alone below the root "".
QString childPath(const QString& parent, const QString& name);
// The folder that holds the path ("" for a top item) and its last component.
QString parentPath(const QString& path);
QString fileName(const QString& path);

// ---- query strings and form bodies
// Percent-encodes all but RFC 3986's unreserved characters: "+", "&", "=", "/" and "%" too, so
// that no reader can take them for anything but themselves.
QByteArray percentEncode(const QString& text);
// None for a broken escape or bytes that are not UTF-8. In form bodies "+" stands for a space.
std::optional<QString> percentDecode(QByteArrayView encoded, bool plusIsSpace = false);
QByteArray encodeQuery(const QList<QPair<QString, QString>>& items);
// None when any part cannot be decoded; a name given twice keeps its first value.
std::optional<QMap<QString, QString>> decodeQuery(QByteArrayView query, bool plusIsSpace = false);
inline QByteArray encodeForm(const QList<QPair<QString, QString>>& items) { return encodeQuery(items); }
inline std::optional<QMap<QString, QString>> decodeForm(QByteArrayView body) { return decodeQuery(body, true); }

// ---- revisions in headers
QByteArray ifMatch(const QString& revision);  // "\"<rev>\"", also the ETag
// The revision an If-Match or ETag names; none for an empty header or "*".
std::optional<QString> revisionOfIfMatch(QByteArrayView header);
QByteArray contentRange(std::int64_t first, std::int64_t last, std::int64_t size);  // "bytes a-b/s"
struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t size = 0;
};
std::optional<ContentRange> parseContentRange(QByteArrayView header);

// ---- errors
// The body every error answer carries, and what travels beside it.
struct Error {
    ServiceFailure failure;
    std::optional<std::int64_t> offset;          // uploadOffset: where the upload stands
    std::optional<int> retryAfterSeconds;        // rateLimited, unavailable: the Retry-After header
    bool operator==(const Error&) const = default;
};
QString errorCode(ServiceError error);
int httpStatus(ServiceError error);
// The error a code stands for; none for a code this side does not know.
std::optional<ServiceError> errorOfCode(const QString& code);
QByteArray encodeError(const Error& error);
// What an answer with a status of 400 and above means, also one without a readable body (then by
// its status alone). `retryAfter` is the header's value, if any.
Error decodeError(int status, const QByteArray& body, QByteArrayView retryAfter = {});

// ---- dates
QString encodeDate(const QDateTime& date);
std::optional<QDateTime> decodeDate(const QJsonValue& value);

// ---- OAuth2
struct TokenResponse {
    QString accessToken;
    QString tokenType = QStringLiteral("Bearer");
    std::int64_t expiresIn = 0;
    QString refreshToken;
    QString scope = QString::fromLatin1(ServiceWire::scope);
    bool operator==(const TokenResponse&) const = default;
};
QJsonObject encode(const TokenResponse& token);
std::optional<TokenResponse> decodeTokenResponse(const QJsonObject& json);

struct TokenInfo {
    QString userName;
    QString accountId;
    std::int64_t expiresIn = 0;
    QString scope = QString::fromLatin1(ServiceWire::scope);
    bool operator==(const TokenInfo&) const = default;
};
QJsonObject encode(const TokenInfo& info);
std::optional<TokenInfo> decodeTokenInfo(const QJsonObject& json);

// ---- account
QJsonObject encode(const ServiceFeatures& features);
ServiceFeatures decodeFeatures(const QJsonObject& json);
// The key itself never travels: only whether there is one.
QJsonObject encode(const ServiceAccount& account);
struct AccountInfo {
    ServiceAccount account;  // its cryptoKey stays empty
    bool hasCryptoKey = false;
};
std::optional<AccountInfo> decodeAccount(const QJsonObject& json);
struct NewAccount {
    QString userName;
    QString mailAddress;
    QString password;
};
QJsonObject encode(const NewAccount& account);
std::optional<NewAccount> decodeNewAccount(const QJsonObject& json);
QJsonObject encode(const ServiceQuota& quota);
std::optional<ServiceQuota> decodeQuota(const QJsonObject& json);

// The account's key as its owner reads it back: {"key": ...}; notFound while there is none.
ServiceResult<QString> storedCryptoKey(const ServiceResult<ServiceAccount>& account);
QJsonObject encodeStoredCryptoKey(const QString& key);
std::optional<QString> decodeStoredCryptoKey(const QJsonObject& json);

struct ChunkSizes {
    std::int64_t chunkSize = 4 << 20;
    std::int64_t minimumChunkSize = 64 << 10;
    std::int64_t maximumChunkSize = 16 << 20;
    bool operator==(const ChunkSizes&) const = default;
};
QJsonObject encode(const ChunkSizes& sizes);
std::optional<ChunkSizes> decodeChunkSizes(const QJsonObject& json);

// ---- files
QString typeName(ServiceEntry::Type type);
QJsonObject encode(const ServiceEntry& entry);
std::optional<ServiceEntry> decodeEntry(const QJsonObject& json);
// The file a content answer served, from its ETag's revision (see ServiceEntry::revision); its
// mode is not in it. None for a revision that is not a file's.
std::optional<ServiceEntry> fileEntryOfRevision(const QString& path, const QString& revision);
// The bodies that name one item ({"path": ...}: a new folder, a new share).
QJsonObject encodePathBody(const QString& path);
QJsonObject encodeRecipients(const QStringList& addresses);
QJsonObject encodeCryptoKey(const QString& key, const QString& password);
// One line of a tree listing, newline included.
QByteArray encodeEntryLine(const ServiceEntry& entry);
std::optional<ServiceEntry> decodeEntryLine(QByteArrayView line);
// The last line of every listing: a listing cut short, whatever the connection said of its end,
// lacks it, and is never taken for the whole tree (whose missing items would read as deleted).
QByteArray treeEndLine();
bool isTreeEndLine(QByteArrayView line);

QJsonObject encode(const ServiceChanges& changes);
std::optional<ServiceChanges> decodeChanges(const QJsonObject& json);

struct MoveRequest {
    QString from;
    QString to;
    QString revision;
    bool operator==(const MoveRequest&) const = default;
};
QJsonObject encode(const MoveRequest& move);
std::optional<MoveRequest> decodeMoveRequest(const QJsonObject& json);

struct UploadRequest {
    QString path;
    std::int64_t size = 0;
    QString sha256;  // lower-case hex
    std::int64_t mtimeNs = 0;
    std::optional<QString> revision;  // none: nothing may be at the path
    bool operator==(const UploadRequest&) const = default;
};
QJsonObject encode(const UploadRequest& upload);
std::optional<UploadRequest> decodeUploadRequest(const QJsonObject& json);
// The same fields in the query of a one-request upload (PUT /content, the bytes as its body, for a
// file no larger than a chunk): path, size, sha256, mtime and, for a file replaced, rev.
QList<QPair<QString, QString>> encodeUploadQuery(const UploadRequest& upload);
std::optional<UploadRequest> decodeUploadQuery(const QMap<QString, QString>& query);

// ---- several small files in one request (POST batchUploadPath, batchDownloadPath below apiBase)
// Each item is carried out on its own, in order, and answered on its own: one refused refuses no
// other. A client sends at most so many items and bytes in one; a server refuses more.
inline constexpr char batchUploadPath[] = "/batch/upload";
inline constexpr char batchDownloadPath[] = "/batch/download";
inline constexpr int maximumBatchItems = 256;
inline constexpr std::int64_t maximumBatchBytes = 4 << 20;
struct BatchFile {
    UploadRequest request;
    QByteArray bytes;  // request.size of them
    bool operator==(const BatchFile&) const = default;
};
// The requests as one JSON array on the first line, then every file's bytes one after another.
QByteArray encodeBatchUpload(const std::vector<BatchFile>& files);
// None unless the body is that, with as many bytes after the line as the sizes add up to.
std::optional<std::vector<BatchFile>> decodeBatchUpload(const QByteArray& body);
// Each item's outcome: {"entry": ...}, or the fields of an error body.
QByteArray encodeBatchEntries(const std::vector<ServiceResult<ServiceEntry>>& outcomes);
std::optional<std::vector<ServiceResult<ServiceEntry>>> decodeBatchEntries(const QByteArray& body);
// A file to download, only while it is still `revision`.
struct WantedFile {
    QString path;
    QString revision;
    bool operator==(const WantedFile&) const = default;
};
QByteArray encodeWantedFiles(const std::vector<WantedFile>& files);
std::optional<std::vector<WantedFile>> decodeWantedFiles(const QByteArray& body);
struct ServedFile {
    ServiceEntry entry;
    QByteArray bytes;  // entry.size of them
};
// The outcomes on the first line as for uploads, then the bytes of each file served, in order.
QByteArray encodeBatchDownload(const std::vector<ServiceResult<ServedFile>>& outcomes);
std::optional<std::vector<ServiceResult<ServedFile>>> decodeBatchDownload(const QByteArray& body);

// Removals, each only while the item is still `revision`; without one, an empty folder whatever
// its revision (UserTree::removeItem). The answer is one outcome per item: {"done": true} or an error.
inline constexpr char batchRemovePath[] = "/batch/remove";
struct Removal {
    QString path;
    std::optional<QString> revision;
    bool operator==(const Removal&) const = default;
};
QByteArray encodeRemovals(const std::vector<Removal>& items);
std::optional<std::vector<Removal>> decodeRemovals(const QByteArray& body);
QByteArray encodeBatchDone(const std::vector<ServiceResult<ServiceDone>>& outcomes);
std::optional<std::vector<ServiceResult<ServiceDone>>> decodeBatchDone(const QByteArray& body);

struct UploadState {
    QString id;  // only in the answer to the upload's creation
    std::int64_t offset = 0;
    std::int64_t size = 0;       // only in the answer to a GET
    std::int64_t chunkSize = 0;  // only in the answer to the upload's creation
    bool operator==(const UploadState&) const = default;
};
QJsonObject encodeCreatedUpload(const UploadState& state);
QJsonObject encodeUploadOffset(const UploadState& state);
QJsonObject encodeUploadStatus(const UploadState& state);
std::optional<UploadState> decodeUploadState(const QJsonObject& json);

// ---- shares; their item paths travel as user paths (no leading "/")
QJsonObject encode(const ServiceShare& share);
std::optional<ServiceShare> decodeShare(const QJsonObject& json);
QJsonObject encode(const ServiceShareChanges& changes);
std::optional<ServiceShareChanges> decodeShareChanges(const QJsonObject& json);
QJsonArray encodeShares(const std::vector<ServiceShare>& shares);
std::optional<std::vector<ServiceShare>> decodeShares(const QJsonArray& json);

// ---- backups; an item's stored path stays on the server
QJsonObject encode(const ServiceBackupRecord& record);
std::optional<ServiceBackupRecord> decodeBackupRecord(const QJsonObject& json);
QJsonArray encodeBackupRecords(const std::vector<ServiceBackupRecord>& records);
std::optional<std::vector<ServiceBackupRecord>> decodeBackupRecords(const QJsonArray& json);
QJsonObject encode(const ServiceBackupItem& item);
std::optional<ServiceBackupItem> decodeBackupItem(const QJsonObject& json);
QJsonArray encodeBackupItems(const std::vector<ServiceBackupItem>& items);
std::optional<std::vector<ServiceBackupItem>> decodeBackupItems(const QJsonArray& json);

struct BackupStart {
    QString name;
    QString deviceId;
    QString deviceName;
    QString operatingSystem;
    bool operator==(const BackupStart&) const = default;
};
QJsonObject encode(const BackupStart& start);
std::optional<BackupStart> decodeBackupStart(const QJsonObject& json);

struct BackupFinish {
    bool completed = false;
    std::vector<ServiceBackupCategory> chosen;
    bool operator==(const BackupFinish&) const = default;
};
QJsonObject encode(const BackupFinish& finish);
std::optional<BackupFinish> decodeBackupFinish(const QJsonObject& json);

// ---- documents
QByteArray toBytes(const QJsonObject& json);
QByteArray toBytes(const QJsonArray& json);
// None unless the bytes are one JSON object (or array).
std::optional<QJsonObject> objectOf(const QByteArray& bytes);
std::optional<QJsonArray> arrayOf(const QByteArray& bytes);

}  // namespace ServiceWire
