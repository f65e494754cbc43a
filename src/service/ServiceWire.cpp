#include "service/ServiceWire.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QStringDecoder>

#include <array>
#include <cmath>

namespace ServiceWire {

namespace {

QString key(const char* name) { return QString::fromLatin1(name); }

struct ErrorRow {
    ServiceError error;
    const char* code;
    int status;
};

// The first row of a code is the one it decodes to.
constexpr std::array errorTable{
    ErrorRow{ServiceError::invalidRequest, "invalid_request", 400},
    ErrorRow{ServiceError::wrongCredentials, "invalid_grant", 400},
    ErrorRow{ServiceError::invalidClient, "invalid_client", 401},
    ErrorRow{ServiceError::invalidSession, "invalid_token", 401},
    ErrorRow{ServiceError::invalidUserName, "invalidUserName", 422},
    ErrorRow{ServiceError::invalidMailAddress, "invalidMailAddress", 422},
    ErrorRow{ServiceError::invalidPassword, "invalidPassword", 422},
    ErrorRow{ServiceError::userExists, "userExists", 409},
    ErrorRow{ServiceError::notFound, "notFound", 404},
    ErrorRow{ServiceError::invalidPath, "invalidPath", 400},
    ErrorRow{ServiceError::revisionMismatch, "revisionMismatch", 412},
    ErrorRow{ServiceError::exists, "exists", 409},
    ErrorRow{ServiceError::notEmpty, "notEmpty", 409},
    ErrorRow{ServiceError::notAFolder, "notAFolder", 409},
    ErrorRow{ServiceError::readOnly, "readOnly", 403},
    ErrorRow{ServiceError::insufficientStorage, "insufficientStorage", 507},
    ErrorRow{ServiceError::tooLarge, "tooLarge", 413},
    ErrorRow{ServiceError::hashMismatch, "hashMismatch", 422},
    ErrorRow{ServiceError::uploadOffset, "uploadOffset", 409},
    ErrorRow{ServiceError::rateLimited, "rateLimited", 429},
    ErrorRow{ServiceError::unavailable, "unavailable", 503},
    ErrorRow{ServiceError::storageFailure, "storageFailure", 500},
    // A service that is busy or cannot be reached says so as unavailable.
    ErrorRow{ServiceError::timeout, "unavailable", 503},
    ErrorRow{ServiceError::noConnection, "unavailable", 503},
};

const ErrorRow& rowOf(ServiceError error) {
    for (const ErrorRow& row : errorTable)
        if (row.error == error) return row;
    return errorTable.back();
}

ServiceError errorOfStatus(int status) {
    switch (status) {
    case 401: return ServiceError::invalidSession;
    case 403: return ServiceError::readOnly;
    case 404: return ServiceError::notFound;
    case 409: return ServiceError::exists;
    case 412: return ServiceError::revisionMismatch;
    case 413: case 431: return ServiceError::tooLarge;
    case 429: return ServiceError::rateLimited;
    case 503: return ServiceError::unavailable;
    case 507: return ServiceError::insufficientStorage;
    default: return status >= 500 ? ServiceError::storageFailure : ServiceError::invalidRequest;
    }
}

bool isUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Fields that must be there, of their kind.
std::optional<QString> stringField(const QJsonObject& json, const char* name) {
    const QJsonValue value = json.value(key(name));
    if (!value.isString()) return std::nullopt;
    return value.toString();
}
std::optional<std::int64_t> integerOf(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong) return variant.toLongLong();
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9.0e18) return std::nullopt;
    return std::int64_t(d);
}
std::optional<std::int64_t> integerField(const QJsonObject& json, const char* name) { return integerOf(json.value(key(name))); }
std::optional<bool> boolField(const QJsonObject& json, const char* name) {
    const QJsonValue value = json.value(key(name));
    if (!value.isBool()) return std::nullopt;
    return value.toBool();
}
std::optional<QStringList> stringsField(const QJsonObject& json, const char* name) {
    const QJsonValue value = json.value(key(name));
    if (!value.isArray()) return std::nullopt;
    QStringList strings;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString()) return std::nullopt;
        strings << item.toString();
    }
    return strings;
}

QJsonObject encodeAmounts(const ServiceBackupAmounts& a) {
    return {{key("contacts"), qint64(a.contacts)},
            {key("calendars"), qint64(a.calendars)},
            {key("images"), qint64(a.images)},
            {key("videos"), qint64(a.videos)}};
}
ServiceBackupAmounts decodeAmounts(const QJsonObject& json) {
    ServiceBackupAmounts a;
    a.contacts = std::uint64_t(std::max<std::int64_t>(0, integerField(json, "contacts").value_or(0)));
    a.calendars = std::uint64_t(std::max<std::int64_t>(0, integerField(json, "calendars").value_or(0)));
    a.images = std::uint64_t(std::max<std::int64_t>(0, integerField(json, "images").value_or(0)));
    a.videos = std::uint64_t(std::max<std::int64_t>(0, integerField(json, "videos").value_or(0)));
    return a;
}

template <typename T, typename Decode>
std::optional<std::vector<T>> decodeList(const QJsonArray& json, Decode decode) {
    std::vector<T> list;
    for (const QJsonValue& value : json) {
        if (!value.isObject()) return std::nullopt;
        auto item = decode(value.toObject());
        if (!item) return std::nullopt;
        list.push_back(std::move(*item));
    }
    return list;
}

}  // namespace

// ---- user paths

std::optional<QString> checkUserPath(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    if (path.contains(QChar(0))) return QStringLiteral("A path may not contain a NUL character.");
    if (path.startsWith(u'/')) return QStringLiteral("A path is relative to the tree: it may not start with \"/\".");
    if (path.toUtf8().size() > maximumPathBytes)
        return QStringLiteral("A path has at most %1 bytes.").arg(maximumPathBytes);
    for (const QString& part : path.split(u'/')) {
        if (part.isEmpty()) return QStringLiteral("A path may not have empty components.");
        if (part == QStringLiteral(".") || part == QStringLiteral(".."))
            return QStringLiteral("A path may not have \".\" or \"..\" components.");
        if (part.contains(QStringLiteral("%2f"), Qt::CaseInsensitive) || part.contains(QStringLiteral("%5c"), Qt::CaseInsensitive))
            return QStringLiteral("A path may not hold an encoded slash.");
        if (part.toUtf8().size() > maximumNameBytes)
            return QStringLiteral("A name has at most %1 bytes.").arg(maximumNameBytes);
    }
    return std::nullopt;
}

QString childPath(const QString& parent, const QString& name) { return parent.isEmpty() ? name : parent + u'/' + name; }

QString parentPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QString fileName(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

// ---- query strings and form bodies

QByteArray percentEncode(const QString& text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (isUnreserved(c)) {
            out += c;
        } else {
            const auto u = static_cast<unsigned char>(c);
            out += '%';
            out += digits[u >> 4];
            out += digits[u & 15];
        }
    }
    return out;
}

std::optional<QString> percentDecode(QByteArrayView encoded, bool plusIsSpace) {
    QByteArray bytes;
    bytes.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            if (i + 2 >= encoded.size()) return std::nullopt;
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            bytes += char(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            bytes += ' ';
        } else {
            bytes += c;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

QByteArray encodeQuery(const QList<QPair<QString, QString>>& items) {
    QByteArray out;
    for (const auto& [name, value] : items) {
        if (!out.isEmpty()) out += '&';
        out += percentEncode(name) + '=' + percentEncode(value);
    }
    return out;
}

std::optional<QMap<QString, QString>> decodeQuery(QByteArrayView query, bool plusIsSpace) {
    QMap<QString, QString> items;
    for (const QByteArray& part : query.toByteArray().split('&')) {
        if (part.isEmpty()) continue;
        const qsizetype equals = part.indexOf('=');
        const auto name = percentDecode(equals < 0 ? part : part.left(equals), plusIsSpace);
        const auto value = percentDecode(equals < 0 ? QByteArray() : part.mid(equals + 1), plusIsSpace);
        if (!name || !value) return std::nullopt;
        if (!items.contains(*name)) items.insert(*name, *value);
    }
    return items;
}

// ---- revisions in headers

QByteArray ifMatch(const QString& revision) { return '"' + revision.toUtf8() + '"'; }

std::optional<QString> revisionOfIfMatch(QByteArrayView header) {
    QByteArray value = header.toByteArray().trimmed();
    if (value.startsWith("W/")) value = value.mid(2);
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) value = value.mid(1, value.size() - 2);
    if (value.isEmpty() || value == "*") return std::nullopt;
    return QString::fromUtf8(value);
}

QByteArray contentRange(std::int64_t first, std::int64_t last, std::int64_t size) {
    return "bytes " + QByteArray::number(qint64(first)) + '-' + QByteArray::number(qint64(last)) + '/' +
           QByteArray::number(qint64(size));
}

std::optional<ContentRange> parseContentRange(QByteArrayView header) {
    const QByteArray value = header.toByteArray().trimmed();
    if (!value.startsWith("bytes ")) return std::nullopt;
    const QByteArray rest = value.mid(6);
    const qsizetype dash = rest.indexOf('-');
    const qsizetype slash = rest.indexOf('/');
    if (dash <= 0 || slash <= dash + 1) return std::nullopt;
    bool ok1 = false, ok2 = false, ok3 = false;
    ContentRange range;
    range.first = rest.left(dash).toLongLong(&ok1);
    range.last = rest.mid(dash + 1, slash - dash - 1).toLongLong(&ok2);
    range.size = rest.mid(slash + 1).toLongLong(&ok3);
    if (!ok1 || !ok2 || !ok3 || range.first < 0 || range.last < range.first || range.size <= range.last) return std::nullopt;
    return range;
}

// ---- errors

QString errorCode(ServiceError error) { return QString::fromLatin1(rowOf(error).code); }
int httpStatus(ServiceError error) { return rowOf(error).status; }

std::optional<ServiceError> errorOfCode(const QString& code) {
    for (const ErrorRow& row : errorTable)
        if (code == QLatin1String(row.code)) return row.error;
    return std::nullopt;
}

QByteArray encodeError(const Error& error) {
    QJsonObject json{{key("error"), errorCode(error.failure.error)}, {key("message"), error.failure.message}};
    if (error.offset) json[key("offset")] = qint64(*error.offset);
    return toBytes(json);
}

Error decodeError(int status, const QByteArray& body, QByteArrayView retryAfter) {
    Error error;
    error.failure.error = errorOfStatus(status);
    error.failure.message = QStringLiteral("The service answered with status %1.").arg(status);
    if (const auto json = objectOf(body)) {
        if (const auto code = stringField(*json, "error"))
            if (const auto known = errorOfCode(*code)) error.failure.error = *known;
        if (const auto message = stringField(*json, "message"); message && !message->isEmpty()) error.failure.message = *message;
        error.offset = integerField(*json, "offset");
    }
    bool ok = false;
    const int seconds = retryAfter.toByteArray().trimmed().toInt(&ok);
    if (ok && seconds >= 0) error.retryAfterSeconds = seconds;
    return error;
}

// ---- dates

QString encodeDate(const QDateTime& date) { return date.toUTC().toString(Qt::ISODateWithMs); }

std::optional<QDateTime> decodeDate(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!date.isValid()) return std::nullopt;
    return date.toUTC();
}

// ---- OAuth2

QJsonObject encode(const TokenResponse& t) {
    return {{key("access_token"), t.accessToken},
            {key("token_type"), t.tokenType},
            {key("expires_in"), qint64(t.expiresIn)},
            {key("refresh_token"), t.refreshToken},
            {key("scope"), t.scope}};
}

std::optional<TokenResponse> decodeTokenResponse(const QJsonObject& json) {
    const auto access = stringField(json, "access_token");
    const auto expires = integerField(json, "expires_in");
    const auto refresh = stringField(json, "refresh_token");
    if (!access || access->isEmpty() || !expires || !refresh) return std::nullopt;
    TokenResponse t;
    t.accessToken = *access;
    t.tokenType = stringField(json, "token_type").value_or(t.tokenType);
    t.expiresIn = *expires;
    t.refreshToken = *refresh;
    t.scope = stringField(json, "scope").value_or(t.scope);
    return t;
}

QJsonObject encode(const TokenInfo& i) {
    return {{key("userName"), i.userName}, {key("accountId"), i.accountId}, {key("expires_in"), qint64(i.expiresIn)}, {key("scope"), i.scope}};
}

std::optional<TokenInfo> decodeTokenInfo(const QJsonObject& json) {
    const auto user = stringField(json, "userName");
    const auto id = stringField(json, "accountId");
    const auto expires = integerField(json, "expires_in");
    if (!user || !id || !expires) return std::nullopt;
    TokenInfo info{*user, *id, *expires, stringField(json, "scope").value_or(QString::fromLatin1(scope))};
    return info;
}

// ---- account

QJsonObject encode(const ServiceFeatures& f) {
    QJsonObject json;
    if (f.backupEnabled) json[key("backupEnabled")] = *f.backupEnabled;
    if (f.encryptionEnabled) json[key("encryptionEnabled")] = *f.encryptionEnabled;
    if (f.sharing)
        json[key("sharing")] = QJsonObject{{key("directorySharing"), f.sharing->directorySharing},
                                           {key("fileSharing"), f.sharing->fileSharing},
                                           {key("shareEmailViaBackend"), f.sharing->shareEmailViaBackend}};
    return json;
}

ServiceFeatures decodeFeatures(const QJsonObject& json) {
    ServiceFeatures f;
    f.backupEnabled = boolField(json, "backupEnabled");
    f.encryptionEnabled = boolField(json, "encryptionEnabled");
    const QJsonValue sharing = json.value(key("sharing"));
    if (sharing.isObject()) {
        const QJsonObject s = sharing.toObject();
        f.sharing = ServiceFeatures::Sharing{boolField(s, "directorySharing").value_or(false),
                                             boolField(s, "fileSharing").value_or(false),
                                             boolField(s, "shareEmailViaBackend").value_or(false)};
    }
    return f;
}

QJsonObject encode(const ServiceAccount& a) {
    return {{key("userName"), a.userName},
            {key("accountId"), a.accountId},
            {key("mailAddress"), a.mailAddress},
            {key("created"), encodeDate(a.created)},
            {key("quotaOverall"), qint64(a.quotaOverall)},
            {key("features"), encode(a.features)},
            {key("hasCryptoKey"), !a.cryptoKey.isEmpty()}};
}

std::optional<AccountInfo> decodeAccount(const QJsonObject& json) {
    const auto user = stringField(json, "userName");
    const auto id = stringField(json, "accountId");
    const auto created = decodeDate(json.value(key("created")));
    const auto quota = integerField(json, "quotaOverall");
    if (!user || !id || !created || !quota) return std::nullopt;
    AccountInfo info;
    info.account.userName = *user;
    info.account.accountId = *id;
    info.account.mailAddress = stringField(json, "mailAddress").value_or(QString());
    info.account.created = *created;
    info.account.quotaOverall = *quota;
    info.account.features = decodeFeatures(json.value(key("features")).toObject());
    info.hasCryptoKey = boolField(json, "hasCryptoKey").value_or(false);
    return info;
}

QJsonObject encode(const NewAccount& a) {
    return {{key("userName"), a.userName}, {key("mailAddress"), a.mailAddress}, {key("password"), a.password}};
}

std::optional<NewAccount> decodeNewAccount(const QJsonObject& json) {
    const auto user = stringField(json, "userName");
    const auto mail = stringField(json, "mailAddress");
    const auto password = stringField(json, "password");
    if (!user || !mail || !password) return std::nullopt;
    return NewAccount{*user, *mail, *password};
}

QJsonObject encode(const ServiceQuota& q) {
    return {{key("overall"), qint64(q.overall)}, {key("used"), qint64(q.used)}, {key("free"), qint64(q.free)}};
}

std::optional<ServiceQuota> decodeQuota(const QJsonObject& json) {
    const auto overall = integerField(json, "overall");
    const auto used = integerField(json, "used");
    const auto free = integerField(json, "free");
    if (!overall || !used || !free) return std::nullopt;
    return ServiceQuota{*overall, *used, *free};
}

QJsonObject encode(const ChunkSizes& s) {
    return {{key("chunkSize"), qint64(s.chunkSize)},
            {key("minimumChunkSize"), qint64(s.minimumChunkSize)},
            {key("maximumChunkSize"), qint64(s.maximumChunkSize)}};
}

std::optional<ChunkSizes> decodeChunkSizes(const QJsonObject& json) {
    const auto size = integerField(json, "chunkSize");
    if (!size || *size <= 0) return std::nullopt;
    ChunkSizes s;
    s.chunkSize = *size;
    s.minimumChunkSize = integerField(json, "minimumChunkSize").value_or(std::min(s.chunkSize, s.minimumChunkSize));
    s.maximumChunkSize = integerField(json, "maximumChunkSize").value_or(std::max(s.chunkSize, s.maximumChunkSize));
    return s;
}

// ---- files

QString typeName(ServiceEntry::Type type) {
    switch (type) {
    case ServiceEntry::Type::file: return QStringLiteral("file");
    case ServiceEntry::Type::folder: return QStringLiteral("folder");
    case ServiceEntry::Type::other: return QStringLiteral("other");
    }
    return QStringLiteral("other");
}

QJsonObject encode(const ServiceEntry& e) {
    return {{key("path"), e.path},
            {key("type"), typeName(e.type)},
            {key("size"), qint64(e.size)},
            {key("mtime"), qint64(e.mtimeNs)},
            {key("inode"), qint64(e.inode)},
            {key("mode"), qint64(e.mode)},
            {key("rev"), e.revision()}};
}

std::optional<ServiceEntry> decodeEntry(const QJsonObject& json) {
    const auto path = stringField(json, "path");
    const auto type = stringField(json, "type");
    const auto size = integerField(json, "size");
    const auto mtime = integerField(json, "mtime");
    const auto inode = integerField(json, "inode");
    if (!path || !type || !size || !mtime || !inode) return std::nullopt;
    ServiceEntry e;
    e.path = *path;
    if (*type == QStringLiteral("file")) e.type = ServiceEntry::Type::file;
    else if (*type == QStringLiteral("folder")) e.type = ServiceEntry::Type::folder;
    else e.type = ServiceEntry::Type::other;
    e.size = *size;
    e.mtimeNs = *mtime;
    e.inode = std::uint64_t(*inode);
    e.mode = std::uint32_t(integerField(json, "mode").value_or(0));
    // The revision is made of the other fields; one that disagrees was not made by this contract.
    if (const auto rev = stringField(json, "rev"); rev && *rev != e.revision()) return std::nullopt;
    return e;
}

std::optional<ServiceEntry> fileEntryOfRevision(const QString& path, const QString& revision) {
    const QStringList parts = revision.split(u'-');
    if (parts.size() != 3) return std::nullopt;
    bool okInode = false, okSize = false, okTime = false;
    ServiceEntry entry;
    entry.path = path;
    entry.type = ServiceEntry::Type::file;
    entry.inode = parts[0].toULongLong(&okInode);
    entry.size = parts[1].toLongLong(&okSize);
    entry.mtimeNs = parts[2].toLongLong(&okTime);
    if (!okInode || !okSize || !okTime || entry.size < 0 || entry.revision() != revision) return std::nullopt;
    return entry;
}

QJsonObject encodePathBody(const QString& path) { return {{key("path"), path}}; }
QJsonObject encodeRecipients(const QStringList& addresses) { return {{key("recipients"), QJsonArray::fromStringList(addresses)}}; }
QJsonObject encodeCryptoKey(const QString& k, const QString& password) { return {{key("key"), k}, {key("password"), password}}; }

QByteArray encodeEntryLine(const ServiceEntry& entry) {
    return QJsonDocument(encode(entry)).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<ServiceEntry> decodeEntryLine(QByteArrayView line) {
    const auto json = objectOf(line.toByteArray());
    if (!json) return std::nullopt;
    return decodeEntry(*json);
}

// A path's state as [kind, size, mtime, inode].
QJsonObject encode(const ServiceChanges& c) {
    QJsonObject json{{key("cursor"), c.cursor}, {key("reset"), c.reset}, {key("paths"), QJsonArray::fromStringList(c.paths)}};
    if (c.states.empty()) return json;
    QJsonArray states;
    for (const ServicePathState& state : c.states)
        states.append(QJsonArray{int(state.kind), qint64(state.size), qint64(state.mtimeNs), qint64(state.inode)});
    json.insert(key("states"), states);
    return json;
}

std::optional<ServiceChanges> decodeChanges(const QJsonObject& json) {
    const auto cursor = stringField(json, "cursor");
    const auto paths = stringsField(json, "paths");
    if (!cursor || !paths) return std::nullopt;
    ServiceChanges changes{*cursor, boolField(json, "reset").value_or(false), *paths, {}};
    // States that do not make sense are not told: the caller then looks at every path itself.
    const QJsonArray states = json.value(key("states")).toArray();
    if (states.size() != paths->size()) return changes;
    for (const QJsonValue& item : states) {
        const QJsonArray fields = item.toArray();
        const auto kind = integerOf(fields.at(0));
        const auto size = integerOf(fields.at(1));
        const auto mtime = integerOf(fields.at(2));
        const auto inode = integerOf(fields.at(3));
        if (fields.size() != 4 || !kind || *kind < 0 || *kind > int(ServicePathState::Kind::other) || !size || !mtime ||
            !inode || *inode < 0) {
            changes.states.clear();
            return changes;
        }
        changes.states.push_back(
            ServicePathState{ServicePathState::Kind(*kind), *size, *mtime, std::uint64_t(*inode) & ServicePathState::inodeMask});
    }
    return changes;
}

QJsonObject encode(const MoveRequest& m) { return {{key("from"), m.from}, {key("to"), m.to}, {key("rev"), m.revision}}; }

std::optional<MoveRequest> decodeMoveRequest(const QJsonObject& json) {
    const auto from = stringField(json, "from");
    const auto to = stringField(json, "to");
    const auto rev = stringField(json, "rev");
    if (!from || !to || !rev) return std::nullopt;
    return MoveRequest{*from, *to, *rev};
}

QJsonObject encode(const UploadRequest& u) {
    return {{key("path"), u.path},
            {key("size"), qint64(u.size)},
            {key("sha256"), u.sha256},
            {key("mtime"), qint64(u.mtimeNs)},
            {key("rev"), u.revision ? QJsonValue(*u.revision) : QJsonValue(QJsonValue::Null)}};
}

std::optional<UploadRequest> decodeUploadRequest(const QJsonObject& json) {
    const auto path = stringField(json, "path");
    const auto size = integerField(json, "size");
    const auto sha = stringField(json, "sha256");
    const auto mtime = integerField(json, "mtime");
    if (!path || !size || *size < 0 || !sha || !mtime) return std::nullopt;
    const QString hash = sha->toLower();
    if (hash.size() != 64 || !std::all_of(hash.begin(), hash.end(), [](QChar c) { return c.isDigit() || (c >= u'a' && c <= u'f'); }))
        return std::nullopt;
    UploadRequest u{*path, *size, hash, *mtime, std::nullopt};
    const QJsonValue rev = json.value(key("rev"));
    if (rev.isString()) u.revision = rev.toString();
    else if (!rev.isNull() && !rev.isUndefined()) return std::nullopt;
    return u;
}

// ---- batches

namespace {

QByteArray framed(const QJsonArray& head, const std::vector<QByteArrayView>& parts) {
    QByteArray body = toBytes(head);
    qsizetype size = body.size() + 1;
    for (const QByteArrayView part : parts) size += part.size();
    // Megabytes of files: grown piece by piece they would be copied again and again.
    body.reserve(size);
    body += '\n';
    for (const QByteArrayView part : parts) body.append(part);
    return body;
}

// The first line's array and what follows it.
std::optional<std::pair<QJsonArray, QByteArrayView>> unframed(const QByteArray& body) {
    const qsizetype end = body.indexOf('\n');
    if (end < 0) return std::nullopt;
    const auto head = arrayOf(body.first(end));
    if (!head || head->size() > maximumBatchItems) return std::nullopt;
    return std::pair{*head, QByteArrayView(body).sliced(end + 1)};
}

// The first line's array of a body that carries nothing after it.
std::optional<QJsonArray> headAlone(const QByteArray& body) {
    const auto frame = unframed(body);
    if (!frame || !frame->second.isEmpty()) return std::nullopt;
    return frame->first;
}

QJsonObject encodeOutcome(const ServiceFailure* failure, const ServiceEntry* entry) {
    if (entry) return {{key("entry"), encode(*entry)}};
    return {{key("error"), errorCode(failure->error)}, {key("message"), failure->message}};
}

// An item's outcome, the entry on success; none when it is neither.
std::optional<ServiceResult<ServiceEntry>> decodeOutcome(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject item = value.toObject();
    if (item.value(key("entry")).isObject()) {
        auto entry = decodeEntry(item.value(key("entry")).toObject());
        if (!entry) return std::nullopt;
        return ServiceResult<ServiceEntry>(std::move(*entry));
    }
    const auto code = stringField(item, "error");
    if (!code) return std::nullopt;
    ServiceFailure failure{errorOfCode(*code).value_or(ServiceError::storageFailure), stringField(item, "message").value_or(QString())};
    return ServiceResult<ServiceEntry>(std::move(failure));
}

}  // namespace

QByteArray encodeRemovals(const std::vector<Removal>& items) {
    QJsonArray head;
    for (const Removal& item : items)
        head.append(QJsonObject{{key("path"), item.path}, {key("rev"), item.revision ? QJsonValue(*item.revision) : QJsonValue(QJsonValue::Null)}});
    return framed(head, {});
}

std::optional<std::vector<Removal>> decodeRemovals(const QByteArray& body) {
    const auto head = headAlone(body);
    if (!head) return std::nullopt;
    std::vector<Removal> items;
    for (const QJsonValue& value : *head) {
        const QJsonObject item = value.toObject();
        const auto path = stringField(item, "path");
        const QJsonValue rev = item.value(key("rev"));
        if (!path || !(rev.isString() || rev.isNull())) return std::nullopt;
        items.push_back({*path, rev.isString() ? std::optional(rev.toString()) : std::nullopt});
    }
    return items;
}

QByteArray encodeBatchDone(const std::vector<ServiceResult<ServiceDone>>& outcomes) {
    QJsonArray head;
    for (const auto& outcome : outcomes)
        head.append(outcome ? QJsonObject{{key("done"), true}} : encodeOutcome(&outcome.failure(), nullptr));
    return framed(head, {});
}

std::optional<std::vector<ServiceResult<ServiceDone>>> decodeBatchDone(const QByteArray& body) {
    const auto head = headAlone(body);
    if (!head) return std::nullopt;
    std::vector<ServiceResult<ServiceDone>> outcomes;
    for (const QJsonValue& value : *head) {
        if (value.toObject().value(key("done")).toBool()) {
            outcomes.emplace_back(ServiceDone{});
            continue;
        }
        const auto outcome = decodeOutcome(value);
        if (!outcome || *outcome) return std::nullopt;
        outcomes.emplace_back(outcome->failure());
    }
    return outcomes;
}

QByteArray encodeBatchUpload(const std::vector<BatchFile>& files) {
    QJsonArray head;
    std::vector<QByteArrayView> parts;
    for (const BatchFile& file : files) {
        head.append(encode(file.request));
        parts.emplace_back(file.bytes);
    }
    return framed(head, parts);
}

std::optional<std::vector<BatchFile>> decodeBatchUpload(const QByteArray& body) {
    const auto frame = unframed(body);
    if (!frame) return std::nullopt;
    auto [head, rest] = *frame;
    std::vector<BatchFile> files;
    for (const QJsonValue& value : head) {
        const auto request = value.isObject() ? decodeUploadRequest(value.toObject()) : std::nullopt;
        if (!request || request->size > rest.size()) return std::nullopt;
        files.push_back({*request, rest.first(request->size).toByteArray()});
        rest = rest.sliced(request->size);
    }
    if (!rest.isEmpty()) return std::nullopt;
    return files;
}

QByteArray encodeBatchEntries(const std::vector<ServiceResult<ServiceEntry>>& outcomes) {
    QJsonArray head;
    for (const auto& outcome : outcomes)
        head.append(outcome ? encodeOutcome(nullptr, &outcome.value()) : encodeOutcome(&outcome.failure(), nullptr));
    return framed(head, {});
}

std::optional<std::vector<ServiceResult<ServiceEntry>>> decodeBatchEntries(const QByteArray& body) {
    const auto head = headAlone(body);
    if (!head) return std::nullopt;
    std::vector<ServiceResult<ServiceEntry>> outcomes;
    for (const QJsonValue& value : *head) {
        auto outcome = decodeOutcome(value);
        if (!outcome) return std::nullopt;
        outcomes.push_back(std::move(*outcome));
    }
    return outcomes;
}

QByteArray encodeWantedFiles(const std::vector<WantedFile>& files) {
    QJsonArray head;
    for (const WantedFile& file : files) head.append(QJsonObject{{key("path"), file.path}, {key("rev"), file.revision}});
    return framed(head, {});
}

std::optional<std::vector<WantedFile>> decodeWantedFiles(const QByteArray& body) {
    const auto head = headAlone(body);
    if (!head) return std::nullopt;
    std::vector<WantedFile> files;
    for (const QJsonValue& value : *head) {
        const QJsonObject item = value.toObject();
        const auto path = stringField(item, "path");
        const auto revision = stringField(item, "rev");
        if (!path || !revision) return std::nullopt;
        files.push_back({*path, *revision});
    }
    return files;
}

QByteArray encodeBatchDownload(const std::vector<ServiceResult<ServedFile>>& outcomes) {
    QJsonArray head;
    std::vector<QByteArrayView> parts;
    for (const auto& outcome : outcomes) {
        if (outcome) {
            head.append(encodeOutcome(nullptr, &outcome.value().entry));
            parts.emplace_back(outcome.value().bytes);
        } else {
            head.append(encodeOutcome(&outcome.failure(), nullptr));
        }
    }
    return framed(head, parts);
}

std::optional<std::vector<ServiceResult<ServedFile>>> decodeBatchDownload(const QByteArray& body) {
    const auto frame = unframed(body);
    if (!frame) return std::nullopt;
    auto [head, rest] = *frame;
    std::vector<ServiceResult<ServedFile>> outcomes;
    for (const QJsonValue& value : head) {
        auto outcome = decodeOutcome(value);
        if (!outcome) return std::nullopt;
        if (!*outcome) {
            outcomes.emplace_back(outcome->failure());
            continue;
        }
        const ServiceEntry& entry = outcome->value();
        if (entry.size < 0 || entry.size > rest.size()) return std::nullopt;
        outcomes.emplace_back(ServedFile{entry, rest.first(entry.size).toByteArray()});
        rest = rest.sliced(entry.size);
    }
    if (!rest.isEmpty()) return std::nullopt;
    return outcomes;
}

QList<QPair<QString, QString>> encodeUploadQuery(const UploadRequest& u) {
    QList<QPair<QString, QString>> query{{key("path"), u.path},
                                         {key("size"), QString::number(u.size)},
                                         {key("sha256"), u.sha256},
                                         {key("mtime"), QString::number(u.mtimeNs)}};
    if (u.revision) query.append({key("rev"), *u.revision});
    return query;
}

std::optional<UploadRequest> decodeUploadQuery(const QMap<QString, QString>& query) {
    // Checked as the JSON of an upload is, so that both ways take the same requests.
    QJsonObject json;
    for (const char* name : {"path", "sha256", "rev"})
        if (query.contains(key(name))) json[key(name)] = query.value(key(name));
    for (const char* name : {"size", "mtime"}) {
        bool numeric = false;
        const qint64 value = query.value(key(name)).toLongLong(&numeric);
        if (!numeric) return std::nullopt;
        json[key(name)] = value;
    }
    return decodeUploadRequest(json);
}

QJsonObject encodeCreatedUpload(const UploadState& s) {
    return {{key("id"), s.id}, {key("offset"), qint64(s.offset)}, {key("chunkSize"), qint64(s.chunkSize)}};
}
QJsonObject encodeUploadOffset(const UploadState& s) { return {{key("offset"), qint64(s.offset)}}; }
QJsonObject encodeUploadStatus(const UploadState& s) { return {{key("offset"), qint64(s.offset)}, {key("size"), qint64(s.size)}}; }

std::optional<UploadState> decodeUploadState(const QJsonObject& json) {
    const auto offset = integerField(json, "offset");
    if (!offset) return std::nullopt;
    UploadState s;
    s.id = stringField(json, "id").value_or(QString());
    s.offset = *offset;
    s.size = integerField(json, "size").value_or(0);
    s.chunkSize = integerField(json, "chunkSize").value_or(0);
    return s;
}

// ---- shares

QJsonObject encode(const ServiceShare& s) {
    QJsonObject json{{key("token"), s.token},
                     {key("itemPath"), s.itemPath.startsWith(u'/') ? s.itemPath.mid(1) : s.itemPath},
                     {key("isDirectory"), s.isDirectory},
                     {key("created"), encodeDate(s.created)},
                     {key("downloadCount"), qint64(s.downloadCount)},
                     {key("isWritable"), s.isWritable},
                     {key("isPasswordProtected"), s.isPasswordProtected},
                     {key("recipients"), QJsonArray::fromStringList(s.recipients)}};
    if (s.validUntil) json[key("validUntil")] = encodeDate(*s.validUntil);
    if (s.maxDownloads) json[key("maxDownloads")] = qint64(*s.maxDownloads);
    return json;
}

std::optional<ServiceShare> decodeShare(const QJsonObject& json) {
    const auto token = stringField(json, "token");
    const auto path = stringField(json, "itemPath");
    const auto created = decodeDate(json.value(key("created")));
    if (!token || !path || !created) return std::nullopt;
    ServiceShare s;
    s.token = *token;
    s.itemPath = u'/' + *path;
    s.isDirectory = boolField(json, "isDirectory").value_or(false);
    s.created = *created;
    if (json.contains(key("validUntil"))) {
        s.validUntil = decodeDate(json.value(key("validUntil")));
        if (!s.validUntil) return std::nullopt;
    }
    s.maxDownloads = integerField(json, "maxDownloads");
    s.downloadCount = integerField(json, "downloadCount").value_or(0);
    s.isWritable = boolField(json, "isWritable").value_or(false);
    s.isPasswordProtected = boolField(json, "isPasswordProtected").value_or(false);
    s.recipients = stringsField(json, "recipients").value_or(QStringList());
    return s;
}

QJsonObject encode(const ServiceShareChanges& c) {
    QJsonObject json;
    if (c.maxDownloads) json[key("maxDownloads")] = qint64(*c.maxDownloads);
    if (c.password) json[key("password")] = *c.password;
    if (c.writable) json[key("writable")] = *c.writable;
    if (c.timeToLive) json[key("timeToLive")] = *c.timeToLive;
    return json;
}

std::optional<ServiceShareChanges> decodeShareChanges(const QJsonObject& json) {
    ServiceShareChanges c;
    if (json.contains(key("maxDownloads")) && !(c.maxDownloads = integerField(json, "maxDownloads"))) return std::nullopt;
    if (json.contains(key("password")) && !(c.password = stringField(json, "password"))) return std::nullopt;
    if (json.contains(key("writable")) && !(c.writable = boolField(json, "writable"))) return std::nullopt;
    if (json.contains(key("timeToLive"))) {
        const QJsonValue ttl = json.value(key("timeToLive"));
        if (!ttl.isDouble()) return std::nullopt;
        c.timeToLive = ttl.toDouble();
    }
    return c;
}

QJsonArray encodeShares(const std::vector<ServiceShare>& shares) {
    QJsonArray json;
    for (const ServiceShare& s : shares) json.append(encode(s));
    return json;
}

std::optional<std::vector<ServiceShare>> decodeShares(const QJsonArray& json) {
    return decodeList<ServiceShare>(json, [](const QJsonObject& o) { return decodeShare(o); });
}

// ---- backups

QJsonObject encode(const ServiceBackupRecord& r) {
    QJsonObject json{{key("identifier"), r.identifier},
                     {key("name"), r.name},
                     {key("deviceId"), r.deviceId},
                     {key("deviceName"), r.deviceName},
                     {key("operatingSystem"), r.operatingSystem},
                     {key("containsImages"), r.containsImages},
                     {key("containsVideos"), r.containsVideos},
                     {key("containsContacts"), r.containsContacts},
                     {key("containsCalendars"), r.containsCalendars},
                     {key("isCompleted"), r.isCompleted},
                     {key("startDate"), encodeDate(r.startDate)},
                     {key("modificationDate"), encodeDate(r.modificationDate)},
                     {key("sizes"), encodeAmounts(r.sizes)},
                     {key("itemCounts"), encodeAmounts(r.itemCounts)}};
    if (r.endDate) json[key("endDate")] = encodeDate(*r.endDate);
    return json;
}

std::optional<ServiceBackupRecord> decodeBackupRecord(const QJsonObject& json) {
    const auto id = stringField(json, "identifier");
    const auto name = stringField(json, "name");
    const auto start = decodeDate(json.value(key("startDate")));
    if (!id || !name || !start) return std::nullopt;
    ServiceBackupRecord r;
    r.identifier = *id;
    r.name = *name;
    r.deviceId = stringField(json, "deviceId").value_or(QString());
    r.deviceName = stringField(json, "deviceName").value_or(QString());
    r.operatingSystem = stringField(json, "operatingSystem").value_or(QString());
    r.containsImages = boolField(json, "containsImages").value_or(false);
    r.containsVideos = boolField(json, "containsVideos").value_or(false);
    r.containsContacts = boolField(json, "containsContacts").value_or(false);
    r.containsCalendars = boolField(json, "containsCalendars").value_or(false);
    r.isCompleted = boolField(json, "isCompleted").value_or(false);
    r.endDate = decodeDate(json.value(key("endDate")));
    r.startDate = *start;
    r.modificationDate = decodeDate(json.value(key("modificationDate"))).value_or(*start);
    r.sizes = decodeAmounts(json.value(key("sizes")).toObject());
    r.itemCounts = decodeAmounts(json.value(key("itemCounts")).toObject());
    return r;
}

QJsonArray encodeBackupRecords(const std::vector<ServiceBackupRecord>& records) {
    QJsonArray json;
    for (const auto& r : records) json.append(encode(r));
    return json;
}

std::optional<std::vector<ServiceBackupRecord>> decodeBackupRecords(const QJsonArray& json) {
    return decodeList<ServiceBackupRecord>(json, [](const QJsonObject& o) { return decodeBackupRecord(o); });
}

QJsonObject encode(const ServiceBackupItem& i) {
    return {{key("category"), BackupStore::categoryName(i.category)},
            {key("relativePath"), i.relativePath},
            {key("size"), qint64(i.size)},
            {key("modified"), encodeDate(i.modified)}};
}

std::optional<ServiceBackupItem> decodeBackupItem(const QJsonObject& json) {
    const auto category = BackupStore::categoryFromName(stringField(json, "category").value_or(QString()));
    const auto path = stringField(json, "relativePath");
    const auto size = integerField(json, "size");
    const auto modified = decodeDate(json.value(key("modified")));
    if (!category || !path || !size || !modified) return std::nullopt;
    ServiceBackupItem item;
    item.category = *category;
    item.relativePath = *path;
    item.size = *size;
    item.modified = *modified;
    return item;
}

QJsonArray encodeBackupItems(const std::vector<ServiceBackupItem>& items) {
    QJsonArray json;
    for (const auto& i : items) json.append(encode(i));
    return json;
}

std::optional<std::vector<ServiceBackupItem>> decodeBackupItems(const QJsonArray& json) {
    return decodeList<ServiceBackupItem>(json, [](const QJsonObject& o) { return decodeBackupItem(o); });
}

QJsonObject encode(const BackupStart& s) {
    return {{key("name"), s.name}, {key("deviceId"), s.deviceId}, {key("deviceName"), s.deviceName}, {key("operatingSystem"), s.operatingSystem}};
}

std::optional<BackupStart> decodeBackupStart(const QJsonObject& json) {
    const auto name = stringField(json, "name");
    const auto device = stringField(json, "deviceId");
    if (!name || !device) return std::nullopt;
    return BackupStart{*name, *device, stringField(json, "deviceName").value_or(QString()),
                       stringField(json, "operatingSystem").value_or(QString())};
}

QJsonObject encode(const BackupFinish& f) {
    QJsonArray chosen;
    for (auto c : f.chosen) chosen.append(BackupStore::categoryName(c));
    return {{key("completed"), f.completed}, {key("chosen"), chosen}};
}

std::optional<BackupFinish> decodeBackupFinish(const QJsonObject& json) {
    const auto completed = boolField(json, "completed");
    if (!completed) return std::nullopt;
    BackupFinish f;
    f.completed = *completed;
    for (const QString& name : stringsField(json, "chosen").value_or(QStringList())) {
        const auto category = BackupStore::categoryFromName(name);
        if (!category) return std::nullopt;
        f.chosen.push_back(*category);
    }
    return f;
}

// ---- documents

QByteArray toBytes(const QJsonObject& json) { return QJsonDocument(json).toJson(QJsonDocument::Compact); }
QByteArray toBytes(const QJsonArray& json) { return QJsonDocument(json).toJson(QJsonDocument::Compact); }

std::optional<QJsonObject> objectOf(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return document.object();
}

std::optional<QJsonArray> arrayOf(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    return document.array();
}

ServiceResult<QString> storedCryptoKey(const ServiceResult<ServiceAccount>& account) {
    if (!account) return account.failure();
    if (account.value().cryptoKey.isEmpty()) return ServiceFailure{ServiceError::notFound, QStringLiteral("The account has no key.")};
    return account.value().cryptoKey;
}

QJsonObject encodeStoredCryptoKey(const QString& key) { return QJsonObject{{QStringLiteral("key"), key}}; }

std::optional<QString> decodeStoredCryptoKey(const QJsonObject& json) {
    const QJsonValue key = json.value(QStringLiteral("key"));
    if (!key.isString() || key.toString().isEmpty()) return std::nullopt;
    return key.toString();
}

QByteArray treeEndLine() { return QByteArrayLiteral("{\"end\":true}\n"); }

bool isTreeEndLine(QByteArrayView line) { return line.trimmed() == QByteArrayView("{\"end\":true}"); }

}  // namespace ServiceWire
