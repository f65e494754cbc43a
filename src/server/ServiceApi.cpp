#include "server/ServiceApi.h"

#include <QFile>
#include <QJsonArray>

#include <fcntl.h>
#include <unistd.h>

#include "service/BackupStore.h"
#include "service/ShareStore.h"

namespace {

constexpr std::size_t jsonLimit = 1 << 20;
constexpr std::size_t treeBatchBytes = 64 * 1024;

using Handler = HttpHandling (ServiceApi::*)(ServiceApi::Call&);

HttpHandling answer(HttpResponse response) {
    HttpHandling handling;
    handling.response = std::move(response);
    return handling;
}

HttpResponse jsonResponse(int status, const QByteArray& body) {
    HttpResponse r;
    r.status = status;
    r.addHeader("content-type", "application/json");
    r.body = body;
    return r;
}
HttpResponse jsonResponse(int status, const QJsonObject& json) { return jsonResponse(status, ServiceWire::toBytes(json)); }
HttpResponse jsonResponse(int status, const QJsonArray& json) { return jsonResponse(status, ServiceWire::toBytes(json)); }

HttpResponse noContent() {
    HttpResponse r;
    r.status = 204;
    return r;
}

HttpResponse errorResponse(const ServiceWire::Error& error, int status = 0) {
    HttpResponse r = jsonResponse(status ? status : ServiceWire::httpStatus(error.failure.error), ServiceWire::encodeError(error));
    switch (error.failure.error) {
    case ServiceError::invalidSession: r.addHeader("www-authenticate", "Bearer error=\"invalid_token\""); break;
    case ServiceError::rateLimited:
    case ServiceError::unavailable:
    case ServiceError::timeout:
    case ServiceError::noConnection:
        r.addHeader("retry-after", QByteArray::number(error.retryAfterSeconds.value_or(1)));
        break;
    default: break;
    }
    return r;
}
HttpResponse errorResponse(const ServiceFailure& failure) { return errorResponse(ServiceWire::Error{failure, {}, {}}); }
HttpResponse errorResponse(ServiceError error, const QString& message) { return errorResponse(ServiceFailure{error, message}); }
HttpResponse badRequest(const QString& message) { return errorResponse(ServiceError::invalidRequest, message); }

// A body read whole and decoded as the route needs it (a JSON object, a form).
template <typename T>
HttpHandling withBody(std::function<std::optional<T>(const QByteArray&)> decode, const QString& refusal,
                      std::function<HttpResponse(const T&)> use, std::size_t limit = jsonLimit) {
    HttpHandling handling;
    handling.limit = limit;
    handling.whole = [decode = std::move(decode), refusal, use = std::move(use)](const QByteArray& body) {
        const auto decoded = decode(body);
        if (!decoded) return badRequest(refusal);
        return use(*decoded);
    };
    return handling;
}

HttpHandling withJson(std::function<HttpResponse(const QJsonObject&)> use) {
    return withBody<QJsonObject>(&ServiceWire::objectOf, QStringLiteral("The body is not a JSON object."), std::move(use));
}

HttpHandling withForm(std::function<HttpResponse(const QMap<QString, QString>&)> use) {
    return withBody<QMap<QString, QString>>([](const QByteArray& body) { return ServiceWire::decodeForm(body); },
                                            QStringLiteral("The body is not a form."), std::move(use));
}

template <typename T>
HttpResponse resultResponse(const ServiceResult<T>& result, const std::function<HttpResponse(const T&)>& success) {
    if (!result) return errorResponse(result.failure());
    return success(result.value());
}

// Byte ranges as asked for by "Range: bytes=a-b", "a-" or "-n"; none for anything else, which
// gets the whole file.
struct ByteRange {
    std::int64_t first = 0;
    std::int64_t length = 0;
    bool satisfiable = true;
};
std::optional<ByteRange> rangeOf(const QByteArray& header, std::int64_t size) {
    if (!header.startsWith("bytes=") || header.contains(',')) return std::nullopt;
    const QByteArray spec = header.mid(6).trimmed();
    const qsizetype dash = spec.indexOf('-');
    if (dash < 0) return std::nullopt;
    bool okFirst = false, okLast = false;
    const qint64 first = spec.left(dash).toLongLong(&okFirst);
    const qint64 last = spec.mid(dash + 1).toLongLong(&okLast);
    ByteRange range;
    if (dash == 0) {  // the last n bytes
        if (!okLast || last <= 0) return std::nullopt;
        range.first = std::max<std::int64_t>(0, size - last);
    } else {
        if (!okFirst || first < 0 || (dash + 1 < spec.size() && (!okLast || last < first))) return std::nullopt;
        range.first = first;
        if (first >= size) return ByteRange{0, 0, false};
        const std::int64_t end = dash + 1 < spec.size() ? std::min<std::int64_t>(last, size - 1) : size - 1;
        range.length = end - first + 1;
        return range;
    }
    range.length = size - range.first;
    if (range.length <= 0) return ByteRange{0, 0, false};
    return range;
}

// A new staging file of the user's, opened for a request's body to be written into as it arrives.
struct Staging {
    QString path;
    std::shared_ptr<UniqueFd> fd;
};
ServiceResult<Staging> openStaging(const UploadStore& uploads, const QString& userName) {
    auto staging = uploads.newStagingFile(userName);
    if (!staging) return staging.failure();
    auto fd = std::make_shared<UniqueFd>(::open(QFile::encodeName(staging.value()).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!*fd) {
        QFile::remove(staging.value());
        return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot stage the body.")};
    }
    return Staging{staging.value(), std::move(fd)};
}

ServiceError storingFailed(const HttpBodyEnd& end) {
    return end.writeError == ENOSPC || end.writeError == EDQUOT ? ServiceError::insufficientStorage : ServiceError::storageFailure;
}

std::optional<QDateTime> dateOfQuery(const QString& text) {
    QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!date.isValid()) return std::nullopt;
    return date;
}

}  // namespace

struct ServiceApi::Call {
    const HttpRequestHead& head;
    QMap<QString, QString> query;
    QStringList captures;
    QString session;
    QString userName;
    QString accountId;
    std::int64_t expiresIn = 0;

    // The user path of the query's `path`; none (and `problem` set) when it is not one.
    std::optional<QString> path(HttpResponse& problem, const QString& name = QStringLiteral("path"), bool required = true) const {
        if (!query.contains(name)) {
            if (!required) return QString();
            problem = badRequest(QStringLiteral("The query needs \"%1\".").arg(name));
            return std::nullopt;
        }
        const QString value = query.value(name);
        if (auto why = ServiceWire::checkUserPath(value)) {
            problem = errorResponse(ServiceError::invalidPath, *why);
            return std::nullopt;
        }
        return value;
    }
    QString home(const StorageService& service) const { return service.homeFolder(userName); }
};

struct ServiceApi::Route {
    const char* method;
    const char* pattern;  // "*" matches one segment
    Handler handler;
    bool needsToken;
};

namespace {

const ServiceApi::Route* findRoute(const std::vector<ServiceApi::Route>& routes, const QByteArray& method, const QByteArray& path,
                                   QStringList& captures, bool& pathKnown) {
    const QList<QByteArray> segments = path.split('/');
    for (const auto& route : routes) {
        const QList<QByteArray> pattern = QByteArray(route.pattern).split('/');
        if (pattern.size() != segments.size()) continue;
        QStringList found;
        bool matches = true;
        for (qsizetype i = 0; i < pattern.size() && matches; ++i) {
            if (pattern[i] == "*") {
                const QByteArray& segment = segments[i];
                // Identifiers are letters, digits and dashes; nothing encoded.
                matches = !segment.isEmpty() && std::all_of(segment.begin(), segment.end(), [](char c) {
                    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
                });
                found << QString::fromLatin1(segment);
            } else {
                matches = pattern[i] == segments[i];
            }
        }
        if (!matches) continue;
        pathKnown = true;
        if (method != route.method) continue;
        captures = found;
        return &route;
    }
    return nullptr;
}

}  // namespace

ServiceApi::ServiceApi(std::shared_ptr<StorageService> service, Options options)
    : service_(std::move(service)),
      options_(options),
      tokens_(options.accessTokenLifetime),
      limiter_(options.signInLimits),
      uploads_(*service_) {}

HttpHandling ServiceApi::handle(const HttpRequestHead& head) {
    QStringList captures;
    bool pathKnown = false;
    const Route* route = findRoute(routes(), head.method, head.path, captures, pathKnown);
    if (!route) {
        if (pathKnown) return answer(errorResponse(ServiceWire::Error{{ServiceError::invalidRequest, QStringLiteral("Method not allowed.")}, {}, {}}, 405));
        return answer(errorResponse(ServiceError::notFound, QStringLiteral("No such end point.")));
    }
    const auto query = ServiceWire::decodeQuery(head.query);
    if (!query) return answer(errorResponse(ServiceError::invalidPath, QStringLiteral("The query cannot be decoded.")));
    Call call{head, *query, captures, {}, {}, {}, 0};
    if (route->needsToken)
        if (auto refused = authenticate(call)) return answer(std::move(*refused));
    return (this->*(route->handler))(call);
}

std::optional<HttpResponse> ServiceApi::authenticate(Call& call) {
    const QByteArray authorization = call.head.header("authorization");
    const ServiceFailure invalid{ServiceError::invalidSession, QStringLiteral("A valid access token is needed.")};
    if (!authorization.startsWith("Bearer ")) return errorResponse(invalid);
    const QString token = QString::fromLatin1(authorization.mid(7).trimmed());
    const auto grant = tokens_.find(token);
    if (!grant) return errorResponse(invalid);
    auto account = service_->validateSession(grant->session);
    if (!account) {
        if (account.error() == ServiceError::invalidSession) tokens_.dropSession(grant->session);
        return errorResponse(account.error() == ServiceError::invalidSession ? invalid : account.failure());
    }
    call.session = grant->session;
    call.userName = account.value().userName;
    call.accountId = account.value().accountId;
    call.expiresIn = std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::seconds>(grant->expires - AccessTokens::Clock::now()).count());
    return std::nullopt;
}

// ---- accounts and tokens

HttpResponse ServiceApi::tokenAnswer(const ServiceSession& session, int status) {
    ServiceWire::TokenResponse token;
    token.accessToken = tokens_.issue(session.token, session.userName, session.accountId);
    token.expiresIn = tokens_.lifetimeSeconds();
    token.refreshToken = session.token;
    HttpResponse r = jsonResponse(status, ServiceWire::encode(token));
    r.addHeader("cache-control", "no-store");
    return r;
}

HttpHandling ServiceApi::token(Call& call) {
    const QString peer = call.head.peer;
    return withForm([this, peer](const QMap<QString, QString>& form) {
        const QString grant = form.value(QStringLiteral("grant_type"));
        if (grant == QStringLiteral("password")) {
            const QString user = form.value(QStringLiteral("username"));
            if (const auto wait = limiter_.admit(user, peer))
                return errorResponse(ServiceWire::Error{{ServiceError::rateLimited, QStringLiteral("Too many sign-in attempts; try again later.")}, {}, *wait});
            auto session = service_->signIn(user, form.value(QStringLiteral("password")));
            if (!session) {
                if (session.error() == ServiceError::wrongCredentials) limiter_.failed(user);
                return errorResponse(session.failure());
            }
            limiter_.succeeded(user);
            return tokenAnswer(session.value(), 200);
        }
        if (grant == QStringLiteral("refresh_token")) {
            const QString refresh = form.value(QStringLiteral("refresh_token"));
            auto account = service_->validateSession(refresh);
            if (!account) {
                if (account.error() != ServiceError::invalidSession) return errorResponse(account.failure());
                return errorResponse(ServiceError::wrongCredentials, QStringLiteral("The refresh token is not valid (any more)."));
            }
            return tokenAnswer(ServiceSession{refresh, account.value().userName, account.value().accountId, {}}, 200);
        }
        return badRequest(QStringLiteral("Unsupported grant type."));
    });
}

HttpHandling ServiceApi::revoke(Call&) {
    return withForm([this](const QMap<QString, QString>& form) {
        const QString token = form.value(QStringLiteral("token"));
        const auto grant = tokens_.find(token);
        const QString session = grant ? grant->session : token;
        tokens_.dropSession(session);
        auto revoked = service_->revokeSession(session);
        // An unknown token is no error: whatever it was, it is of no use now.
        if (!revoked && revoked.error() != ServiceError::invalidSession) return errorResponse(revoked.failure());
        HttpResponse r;
        r.status = 200;
        return r;
    });
}

HttpHandling ServiceApi::tokenInfo(Call& call) {
    return answer(jsonResponse(200, ServiceWire::encode(ServiceWire::TokenInfo{call.userName, call.accountId, call.expiresIn,
                                                                               QString::fromLatin1(ServiceWire::scope)})));
}

HttpHandling ServiceApi::createAccount(Call& call) {
    const QString peer = call.head.peer;
    return withJson([this, peer](const QJsonObject& json) {
        const auto request = ServiceWire::decodeNewAccount(json);
        if (!request) return badRequest(QStringLiteral("An account needs userName, mailAddress and password."));
        if (const auto wait = limiter_.admit(QString(), peer))
            return errorResponse(ServiceWire::Error{{ServiceError::rateLimited, QStringLiteral("Too many attempts; try again later.")}, {}, *wait});
        auto made = service_->createAccount(request->userName, request->mailAddress, request->password);
        if (!made) return errorResponse(made.failure());
        auto session = service_->signIn(made.value().userName, request->password);
        if (!session) return errorResponse(session.failure());
        return tokenAnswer(session.value(), 201);
    });
}

HttpHandling ServiceApi::account(Call& call) {
    return answer(resultResponse<ServiceAccount>(service_->account(call.userName), [](const ServiceAccount& a) {
        return jsonResponse(200, ServiceWire::encode(a));
    }));
}

HttpHandling ServiceApi::quota(Call& call) {
    return answer(resultResponse<ServiceQuota>(service_->quotaOfUser(call.userName), [](const ServiceQuota& q) {
        return jsonResponse(200, ServiceWire::encode(q));
    }));
}

HttpHandling ServiceApi::cryptoKey(Call& call) {
    const QString session = call.session;
    return withJson([this, session](const QJsonObject& json) {
        const QJsonValue key = json.value(QStringLiteral("key"));
        const QJsonValue password = json.value(QStringLiteral("password"));
        if (!key.isString() || !password.isString()) return badRequest(QStringLiteral("A key needs key and password."));
        auto imported = service_->importCryptoKey(session, key.toString(), password.toString());
        if (!imported) return errorResponse(imported.failure());
        return noContent();
    });
}

HttpHandling ServiceApi::storedCryptoKey(Call& call) {
    return answer(resultResponse<QString>(ServiceWire::storedCryptoKey(service_->account(call.userName)), [](const QString& key) {
        return jsonResponse(200, ServiceWire::encodeStoredCryptoKey(key));
    }));
}

HttpHandling ServiceApi::chunkSize(Call&) { return answer(jsonResponse(200, ServiceWire::encode(options_.chunkSizes))); }

// ---- files

HttpHandling ServiceApi::tree(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem, QStringLiteral("path"), false);
    if (!path) return answer(problem);
    int depth = -1;
    if (call.query.contains(QStringLiteral("depth"))) {
        bool numeric = false;
        depth = call.query.value(QStringLiteral("depth")).toInt(&numeric);
        if (!numeric) return answer(badRequest(QStringLiteral("The depth is a number of levels.")));
    }
    auto walk = UserTree(call.home(*service_)).walk(*path, depth);
    if (!walk) return answer(errorResponse(walk.failure()));
    HttpResponse r;
    r.addHeader("content-type", ServiceWire::ndjsonType);
    std::shared_ptr<UserTree::Walk> shared = std::move(walk.value());
    auto ended = std::make_shared<bool>(false);
    r.stream = [shared, ended]() -> std::optional<QByteArray> {
        if (*ended) return std::nullopt;
        if (auto batch = shared->next(treeBatchBytes)) return batch;
        *ended = true;
        return ServiceWire::treeEndLine();
    };
    return answer(std::move(r));
}

HttpHandling ServiceApi::entry(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    return answer(resultResponse<ServiceEntry>(UserTree(call.home(*service_)).entry(*path), [](const ServiceEntry& e) {
        HttpResponse r = jsonResponse(200, ServiceWire::encode(e));
        r.addHeader("etag", ServiceWire::ifMatch(e.revision()));
        return r;
    }));
}

HttpHandling ServiceApi::content(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    auto opened = UserTree(call.home(*service_)).openFile(*path);
    if (!opened) return answer(errorResponse(opened.failure()));
    const ServiceEntry entry = opened.value().entry;
    if (const auto expected = ServiceWire::revisionOfIfMatch(call.head.header("if-match")); expected && *expected != entry.revision())
        return answer(errorResponse(ServiceError::revisionMismatch, QStringLiteral("The file has changed since it was last seen.")));
    HttpResponse r;
    r.addHeader("content-type", "application/octet-stream");
    r.addHeader("etag", ServiceWire::ifMatch(entry.revision()));
    r.addHeader("accept-ranges", "bytes");
    r.file = std::make_shared<UniqueFd>(std::move(opened.value().fd));
    r.fileLength = entry.size;
    if (const auto range = rangeOf(call.head.header("range"), entry.size)) {
        if (!range->satisfiable) {
            HttpResponse refused = errorResponse(ServiceWire::Error{{ServiceError::invalidRequest, QStringLiteral("The range lies beyond the file.")}, {}, {}}, 416);
            refused.addHeader("content-range", "bytes */" + QByteArray::number(qint64(entry.size)));
            return answer(std::move(refused));
        }
        r.status = 206;
        r.fileOffset = range->first;
        r.fileLength = range->length;
        r.addHeader("content-range", ServiceWire::contentRange(range->first, range->first + range->length - 1, entry.size));
    }
    return answer(std::move(r));
}

HttpHandling ServiceApi::removeEntry(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    const auto revision = ServiceWire::revisionOfIfMatch(call.head.header("if-match"));
    if (!revision)
        return answer(errorResponse(ServiceWire::Error{{ServiceError::invalidRequest, QStringLiteral("A removal names the revision it saw in If-Match.")}, {}, {}}, 428));
    auto removed = UserTree(call.home(*service_)).remove(*path, *revision);
    if (!removed) return answer(errorResponse(removed.failure()));
    return answer(noContent());
}

HttpHandling ServiceApi::makeFolder(Call& call) {
    const QString home = call.home(*service_);
    return withJson([home](const QJsonObject& json) {
        const QJsonValue path = json.value(QStringLiteral("path"));
        if (!path.isString()) return badRequest(QStringLiteral("A folder needs a path."));
        bool created = false;
        return resultResponse<ServiceEntry>(UserTree(home).makeFolder(path.toString(), &created), [&](const ServiceEntry& e) {
            return jsonResponse(created ? 201 : 200, ServiceWire::encode(e));
        });
    });
}

HttpHandling ServiceApi::move(Call& call) {
    const QString home = call.home(*service_);
    return withJson([home](const QJsonObject& json) {
        const auto request = ServiceWire::decodeMoveRequest(json);
        if (!request) return badRequest(QStringLiteral("A move needs from, to and rev."));
        return resultResponse<ServiceEntry>(UserTree(home).move(request->from, request->to, request->revision), [](const ServiceEntry& e) {
            return jsonResponse(200, ServiceWire::encode(e));
        });
    });
}

HttpHandling ServiceApi::changes(Call& call) {
    const QString cursor = call.query.value(QStringLiteral("cursor"));
    bool numeric = false;
    int timeout = call.query.value(QStringLiteral("timeout")).toInt(&numeric);
    if (!numeric) timeout = 0;
    timeout = std::clamp(timeout, 0, ServiceWire::maximumChangesTimeoutMs);
    const QString user = call.userName;
    const auto service = service_;
    auto check = [service, user, cursor](bool last) -> std::optional<HttpResponse> {
        auto found = service->changesOfUser(user, cursor, std::chrono::milliseconds(0));
        if (!found) return errorResponse(found.failure());
        if (!last && !found.value().reset && found.value().paths.isEmpty()) return std::nullopt;
        return jsonResponse(200, ServiceWire::encode(found.value()));
    };
    if (auto now = check(timeout == 0)) return answer(std::move(*now));
    HttpResponse r;
    r.wait = std::make_shared<HttpChangeWait>(HttpChangeWait{user, std::chrono::milliseconds(timeout), check});
    return answer(std::move(r));
}

// ---- uploads

std::shared_ptr<void> ServiceApi::claimUpload(const QString& id) {
    struct Claim {
        ServiceApi* api;
        QString id;
        ~Claim() {
            std::lock_guard lock(api->busyMutex_);
            api->busyUploads_.erase(id);
        }
    };
    {
        std::lock_guard lock(busyMutex_);
        if (!busyUploads_.insert(id).second) return nullptr;
    }
    return std::shared_ptr<Claim>(new Claim{this, id});
}

HttpResponse ServiceApi::uploadFailure(const ServiceFailure& failure, const QString& userName, const QString& id) {
    ServiceWire::Error error{failure, {}, {}};
    if (failure.error == ServiceError::uploadOffset)
        if (auto upload = uploads_.find(userName, id)) error.offset = upload.value().offset;
    return errorResponse(error);
}

HttpHandling ServiceApi::createUpload(Call& call) {
    const QString user = call.userName;
    const QString home = call.home(*service_);
    return withJson([this, user, home](const QJsonObject& json) {
        const auto request = ServiceWire::decodeUploadRequest(json);
        if (!request) return badRequest(QStringLiteral("An upload needs path, size, sha256 and mtime."));
        auto made = uploads_.begin(user, UserTree(home), *request);
        if (!made) return errorResponse(made.failure());
        ServiceWire::UploadState state{made.value().id, 0, request->size, options_.chunkSizes.chunkSize};
        return jsonResponse(201, ServiceWire::encodeCreatedUpload(state));
    });
}

HttpHandling ServiceApi::putChunk(Call& call) {
    const QString user = call.userName;
    const QString id = call.captures.value(0);
    auto upload = uploads_.find(user, id);
    if (!upload) return answer(errorResponse(upload.failure()));
    const auto range = ServiceWire::parseContentRange(call.head.header("content-range"));
    if (!range || range->size != upload.value().request.size)
        return answer(badRequest(QStringLiteral("A chunk needs a Content-Range within the upload's size.")));
    const std::int64_t length = range->last - range->first + 1;
    if (length > options_.chunkSizes.maximumChunkSize)
        return answer(errorResponse(ServiceError::tooLarge, QStringLiteral("A chunk has at most %1 bytes.").arg(options_.chunkSizes.maximumChunkSize)));
    if (!call.head.contentLength || std::int64_t(*call.head.contentLength) != length)
        return answer(badRequest(QStringLiteral("The chunk's length is not the one of its Content-Range.")));
    auto claim = claimUpload(id);
    // Re-read under the claim: the offset is the one no other request is moving.
    if (claim) upload = uploads_.find(user, id);
    if (!upload) return answer(errorResponse(upload.failure()));
    if (!claim || range->first != upload.value().offset)
        return answer(errorResponse(ServiceWire::Error{{ServiceError::uploadOffset, QStringLiteral("The upload stands elsewhere.")}, upload.value().offset, {}}));
    auto fd = uploads_.openForAppend(user, id);
    if (!fd) return answer(errorResponse(fd.failure()));
    HttpHandling handling;
    handling.sink = std::make_shared<UniqueFd>(std::move(fd.value()));
    handling.limit = std::size_t(length);
    const std::int64_t before = upload.value().offset;
    handling.finished = [claim, before](const HttpBodyEnd& end) {
        if (end.writeError) return errorResponse(storingFailed(end), QStringLiteral("The chunk could not be stored."));
        return jsonResponse(200, ServiceWire::encodeUploadOffset(ServiceWire::UploadState{{}, before + end.written, 0, 0}));
    };
    return handling;
}

HttpHandling ServiceApi::uploadStatus(Call& call) {
    return answer(resultResponse<UploadStore::Upload>(uploads_.find(call.userName, call.captures.value(0)), [](const UploadStore::Upload& u) {
        return jsonResponse(200, ServiceWire::encodeUploadStatus(ServiceWire::UploadState{{}, u.offset, u.request.size, 0}));
    }));
}

HttpHandling ServiceApi::commitUpload(Call& call) {
    const QString user = call.userName;
    const QString id = call.captures.value(0);
    const QString home = call.home(*service_);
    HttpHandling handling;
    handling.limit = jsonLimit;
    handling.whole = [this, user, id, home](const QByteArray&) {
        auto claim = claimUpload(id);
        if (!claim) return uploadFailure({ServiceError::uploadOffset, QStringLiteral("A chunk of the upload is still being written.")}, user, id);
        UserTree tree(home);
        bool created = false;
        auto placed = uploads_.commit(user, id, tree, &created);
        if (!placed) return uploadFailure(placed.failure(), user, id);
        return jsonResponse(created ? 201 : 200, ServiceWire::encode(placed.value()));
    };
    return handling;
}

HttpHandling ServiceApi::putContent(Call& call) {
    const auto request = ServiceWire::decodeUploadQuery(call.query);
    if (!request) return answer(badRequest(QStringLiteral("An upload needs path, size, sha256 and mtime.")));
    if (request->size > options_.chunkSizes.maximumChunkSize)
        return answer(errorResponse(ServiceError::tooLarge, QStringLiteral("A file of more than %1 bytes is uploaded in chunks.").arg(options_.chunkSizes.maximumChunkSize)));
    if (!call.head.contentLength || std::int64_t(*call.head.contentLength) != request->size)
        return answer(badRequest(QStringLiteral("The body's length is not the upload's size.")));
    const QString user = call.userName;
    const QString home = call.home(*service_);
    // Refused before a byte is read, as the creation of an upload is.
    if (auto admitted = uploads_.admit(user, UserTree(home), *request); !admitted) return answer(errorResponse(admitted.failure()));
    auto staging = openStaging(uploads_, user);
    if (!staging) return answer(errorResponse(staging.failure()));
    HttpHandling handling;
    handling.sink = staging.value().fd;
    handling.limit = std::size_t(request->size);
    const QString stagedPath = staging.value().path;
    handling.finished = [this, user, home, upload = *request, stagedPath](const HttpBodyEnd& end) {
        if (!end.complete || end.writeError) {
            QFile::remove(stagedPath);
            return errorResponse(storingFailed(end), QStringLiteral("The upload could not be stored."));
        }
        UserTree tree(home);
        bool created = false;
        auto placed = uploads_.commitStaged(user, stagedPath, upload, tree, &created);
        if (!placed) return errorResponse(placed.failure());
        return jsonResponse(created ? 201 : 200, ServiceWire::encode(placed.value()));
    };
    return handling;
}

namespace {
HttpResponse batchResponse(QByteArray body) {
    HttpResponse r;
    r.addHeader("content-type", "application/octet-stream");
    r.body = std::move(body);
    return r;
}
}  // namespace

HttpHandling ServiceApi::batchUpload(Call& call) {
    const QString user = call.userName;
    const QString home = call.home(*service_);
    using Files = std::vector<ServiceWire::BatchFile>;
    return withBody<Files>(
        &ServiceWire::decodeBatchUpload, QStringLiteral("A batch is one line of at most %1 uploads, then their bytes.").arg(ServiceWire::maximumBatchItems),
        [this, user, home](const Files& files) {
            UserTree tree(home);
            return batchResponse(ServiceWire::encodeBatchEntries(uploads_.placeWhole(user, tree, files)));
        },
        std::size_t(ServiceWire::maximumBatchBytes) + jsonLimit);
}

namespace {
// One file of a download batch, while the answer has room for it (`total`: the bytes it holds).
ServiceResult<ServiceWire::ServedFile> serveBatchFile(const UserTree& tree, const ServiceWire::WantedFile& file, std::int64_t& total) {
    auto opened = tree.openFile(file.path);
    if (!opened) return opened.failure();
    const ServiceEntry& entry = opened.value().entry;
    if (entry.revision() != file.revision)
        return ServiceFailure{ServiceError::revisionMismatch, QStringLiteral("The file has changed since it was last seen.")};
    if (total + entry.size > ServiceWire::maximumBatchBytes)
        return ServiceFailure{ServiceError::tooLarge, QStringLiteral("The file is more than a batch carries: it is fetched alone.")};
    QByteArray bytes(qsizetype(entry.size), Qt::Uninitialized);
    qsizetype read = 0;
    while (read < bytes.size()) {
        const ssize_t n = ::pread(opened.value().fd.get(), bytes.data() + read, std::size_t(bytes.size() - read), read);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        read += n;
    }
    if (read != bytes.size()) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The file cannot be read.")};
    total += entry.size;
    return ServiceWire::ServedFile{entry, std::move(bytes)};
}
}  // namespace

HttpHandling ServiceApi::batchDownload(Call& call) {
    const QString home = call.home(*service_);
    using Wanted = std::vector<ServiceWire::WantedFile>;
    return withBody<Wanted>(&ServiceWire::decodeWantedFiles, QStringLiteral("A batch is one line of at most %1 files.").arg(ServiceWire::maximumBatchItems),
                            [home](const Wanted& wanted) {
                                const UserTree tree(home);
                                std::vector<ServiceResult<ServiceWire::ServedFile>> outcomes;
                                outcomes.reserve(wanted.size());
                                std::int64_t total = 0;
                                for (const ServiceWire::WantedFile& file : wanted) outcomes.push_back(serveBatchFile(tree, file, total));
                                return batchResponse(ServiceWire::encodeBatchDownload(outcomes));
                            });
}

HttpHandling ServiceApi::batchRemove(Call& call) {
    const QString home = call.home(*service_);
    using Removals = std::vector<ServiceWire::Removal>;
    return withBody<Removals>(&ServiceWire::decodeRemovals, QStringLiteral("A batch is one line of at most %1 removals.").arg(ServiceWire::maximumBatchItems),
                              [home](const Removals& items) {
                                  UserTree tree(home);
                                  std::vector<ServiceResult<ServiceDone>> outcomes;
                                  outcomes.reserve(items.size());
                                  for (const ServiceWire::Removal& item : items) outcomes.push_back(tree.removeItem(item.path, item.revision));
                                  return batchResponse(ServiceWire::encodeBatchDone(outcomes));
                              });
}

HttpHandling ServiceApi::removeUpload(Call& call) {
    const QString id = call.captures.value(0);
    auto claim = claimUpload(id);
    if (!claim) return answer(uploadFailure({ServiceError::uploadOffset, QStringLiteral("A chunk of the upload is being written.")}, call.userName, id));
    auto removed = uploads_.remove(call.userName, id);
    if (!removed) return answer(errorResponse(removed.failure()));
    return answer(noContent());
}

// ---- shares

namespace {
QString shareItem(const QString& path) { return ShareStore::itemOfUserPath(path); }
HttpResponse shareResponse(const ServiceResult<ServiceShare>& result) {
    return resultResponse<ServiceShare>(result, [](const ServiceShare& s) { return jsonResponse(200, ServiceWire::encode(s)); });
}
}  // namespace

HttpHandling ServiceApi::shares(Call& call) {
    return answer(resultResponse<std::vector<ServiceShare>>(ShareStore(service_).shares(call.session), [](const auto& list) {
        return jsonResponse(200, ServiceWire::encodeShares(list));
    }));
}

HttpHandling ServiceApi::share(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    auto found = ShareStore(service_).share(call.session, shareItem(*path));
    if (!found) return answer(errorResponse(found.failure()));
    if (!found.value()) return answer(errorResponse(ServiceError::notFound, QStringLiteral("This item has no share link.")));
    return answer(jsonResponse(200, ServiceWire::encode(*found.value())));
}

HttpHandling ServiceApi::createShare(Call& call) {
    const QString session = call.session;
    return withJson([this, session](const QJsonObject& json) {
        const QJsonValue path = json.value(QStringLiteral("path"));
        if (!path.isString()) return badRequest(QStringLiteral("A share needs a path."));
        if (auto why = ServiceWire::checkUserPath(path.toString())) return errorResponse(ServiceError::invalidPath, *why);
        return shareResponse(ShareStore(service_).createShare(session, shareItem(path.toString())));
    });
}

HttpHandling ServiceApi::updateShare(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    const QString session = call.session;
    const QString item = shareItem(*path);
    return withJson([this, session, item](const QJsonObject& json) {
        const auto changes = ServiceWire::decodeShareChanges(json);
        if (!changes) return badRequest(QStringLiteral("The changes of a share are not readable."));
        return shareResponse(ShareStore(service_).updateShare(session, item, *changes));
    });
}

HttpHandling ServiceApi::removeShare(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    auto removed = ShareStore(service_).removeShare(call.session, shareItem(*path));
    if (!removed) return answer(errorResponse(removed.failure()));
    return answer(noContent());
}

HttpHandling ServiceApi::addRecipients(Call& call) {
    HttpResponse problem;
    const auto path = call.path(problem);
    if (!path) return answer(problem);
    const QString session = call.session;
    const QString item = shareItem(*path);
    return withJson([this, session, item](const QJsonObject& json) {
        const QJsonValue list = json.value(QStringLiteral("recipients"));
        if (!list.isArray()) return badRequest(QStringLiteral("Recipients come as a list."));
        QStringList addresses;
        for (const QJsonValue& address : list.toArray()) addresses << address.toString();
        return shareResponse(ShareStore(service_).addRecipients(session, item, addresses));
    });
}

// ---- backups

namespace {
HttpResponse recordResponse(const ServiceResult<ServiceBackupRecord>& result) {
    return resultResponse<ServiceBackupRecord>(result, [](const ServiceBackupRecord& r) { return jsonResponse(200, ServiceWire::encode(r)); });
}
struct ItemName {
    ServiceBackupCategory category;
    QString path;
};
std::optional<ItemName> itemNameOf(const QMap<QString, QString>& query, HttpResponse& problem) {
    const auto category = BackupStore::categoryFromName(query.value(QStringLiteral("category")));
    const QString path = query.value(QStringLiteral("path"));
    if (!category) {
        problem = badRequest(QStringLiteral("Unknown category."));
        return std::nullopt;
    }
    if (auto why = ServiceWire::checkUserPath(path); why || path.isEmpty()) {
        problem = errorResponse(ServiceError::invalidPath, why.value_or(QStringLiteral("An item needs a path.")));
        return std::nullopt;
    }
    return ItemName{*category, path};
}
}  // namespace

HttpHandling ServiceApi::backups(Call& call) {
    return answer(resultResponse<std::vector<ServiceBackupRecord>>(BackupStore(*service_).backups(call.userName), [](const auto& list) {
        return jsonResponse(200, ServiceWire::encodeBackupRecords(list));
    }));
}

HttpHandling ServiceApi::backup(Call& call) {
    return answer(recordResponse(BackupStore(*service_).backup(call.userName, call.captures.value(0))));
}

HttpHandling ServiceApi::beginBackup(Call& call) {
    const QString user = call.userName;
    return withJson([this, user](const QJsonObject& json) {
        const auto start = ServiceWire::decodeBackupStart(json);
        if (!start) return badRequest(QStringLiteral("A backup needs name and deviceId."));
        return recordResponse(BackupStore(*service_).beginBackup(user, start->name, start->deviceId, start->deviceName, start->operatingSystem));
    });
}

HttpHandling ServiceApi::backupItems(Call& call) {
    return answer(resultResponse<std::vector<ServiceBackupItem>>(BackupStore(*service_).items(call.userName, call.captures.value(0)),
                                                                 [](const auto& list) { return jsonResponse(200, ServiceWire::encodeBackupItems(list)); }));
}

HttpHandling ServiceApi::storeBackupItem(Call& call) {
    HttpResponse problem;
    const auto name = itemNameOf(call.query, problem);
    if (!name) return answer(problem);
    const auto modified = dateOfQuery(call.query.value(QStringLiteral("modified")));
    if (!modified) return answer(badRequest(QStringLiteral("An item needs its modification time (ISO 8601).")));
    const QString user = call.userName;
    const QString id = call.captures.value(0);
    if (auto record = BackupStore(*service_).backup(user, id); !record) return answer(errorResponse(record.failure()));
    auto free = uploads_.room(user);
    if (!free) return answer(errorResponse(free.failure()));
    const std::int64_t room = free.value();
    if (call.head.contentLength && std::int64_t(*call.head.contentLength) > room)
        return answer(errorResponse(ServiceError::insufficientStorage, QStringLiteral("The item does not fit into the account's storage.")));
    auto staging = openStaging(uploads_, user);
    if (!staging) return answer(errorResponse(staging.failure()));
    const QString stagedPath = staging.value().path;
    HttpHandling handling;
    handling.sink = staging.value().fd;
    handling.limit = std::size_t(std::max<std::int64_t>(0, room));
    const ItemName item = *name;
    const QDateTime when = *modified;
    handling.finished = [this, user, id, item, when, stagedPath](const HttpBodyEnd& end) {
        if (!end.complete || end.writeError) {
            QFile::remove(stagedPath);
            return errorResponse(storingFailed(end), QStringLiteral("The item could not be stored."));
        }
        auto stored = BackupStore(*service_).adoptItem(user, id, item.category, item.path, stagedPath, when);
        if (!stored) QFile::remove(stagedPath);
        return resultResponse<ServiceBackupItem>(stored, [](const ServiceBackupItem& i) { return jsonResponse(200, ServiceWire::encode(i)); });
    };
    return handling;
}

HttpHandling ServiceApi::backupItemContent(Call& call) {
    HttpResponse problem;
    const auto name = itemNameOf(call.query, problem);
    if (!name) return answer(problem);
    auto file = BackupStore(*service_).itemFile(call.userName, call.captures.value(0), name->category, name->path);
    if (!file) return answer(errorResponse(file.failure()));
    UniqueFd fd(::open(QFile::encodeName(file.value()).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return answer(errorResponse(ServiceError::notFound, QStringLiteral("No such item.")));
    const off_t size = ::lseek(fd.get(), 0, SEEK_END);
    HttpResponse r;
    r.addHeader("content-type", "application/octet-stream");
    r.file = std::make_shared<UniqueFd>(std::move(fd));
    r.fileLength = std::max<off_t>(0, size);
    return answer(std::move(r));
}

HttpHandling ServiceApi::removeBackupItem(Call& call) {
    HttpResponse problem;
    const auto name = itemNameOf(call.query, problem);
    if (!name) return answer(problem);
    const QString id = call.captures.value(0);
    if (auto record = BackupStore(*service_).backup(call.userName, id); !record) return answer(errorResponse(record.failure()));
    auto removed = BackupStore(*service_).removeItem(call.userName, id, name->category, name->path);
    if (!removed) return answer(errorResponse(removed.failure()));
    return answer(noContent());
}

HttpHandling ServiceApi::finishBackup(Call& call) {
    const QString user = call.userName;
    const QString id = call.captures.value(0);
    return withJson([this, user, id](const QJsonObject& json) {
        const auto finish = ServiceWire::decodeBackupFinish(json);
        if (!finish) return badRequest(QStringLiteral("A finish says whether the run completed."));
        return recordResponse(BackupStore(*service_).finishBackup(user, id, finish->completed, finish->chosen));
    });
}

const std::vector<ServiceApi::Route>& ServiceApi::routes() {
    using A = ServiceApi;
    static const std::vector<ServiceApi::Route> routes{
        {"POST", "/oauth2/token", &A::token, false},
        {"POST", "/oauth2/revoke", &A::revoke, false},
        {"GET", "/oauth2/tokeninfo", &A::tokenInfo, true},
        {"GET", "/macos/chunksize.json", &A::chunkSize, false},
        {"POST", "/2.1/accounts", &A::createAccount, false},
        {"GET", "/2.1/account", &A::account, true},
        {"GET", "/2.1/quota", &A::quota, true},
        {"POST", "/2.1/account/cryptokey", &A::cryptoKey, true},
        {"GET", "/2.1/account/cryptokey", &A::storedCryptoKey, true},
        {"GET", "/2.1/tree", &A::tree, true},
        {"GET", "/2.1/entry", &A::entry, true},
        {"DELETE", "/2.1/entry", &A::removeEntry, true},
        {"GET", "/2.1/content", &A::content, true},
        {"PUT", "/2.1/content", &A::putContent, true},
        {"POST", "/2.1/batch/upload", &A::batchUpload, true},
        {"POST", "/2.1/batch/download", &A::batchDownload, true},
        {"POST", "/2.1/batch/remove", &A::batchRemove, true},
        {"POST", "/2.1/folders", &A::makeFolder, true},
        {"POST", "/2.1/move", &A::move, true},
        {"GET", "/2.1/changes", &A::changes, true},
        {"POST", "/2.1/uploads", &A::createUpload, true},
        {"PUT", "/2.1/uploads/*", &A::putChunk, true},
        {"GET", "/2.1/uploads/*", &A::uploadStatus, true},
        {"DELETE", "/2.1/uploads/*", &A::removeUpload, true},
        {"POST", "/2.1/uploads/*/commit", &A::commitUpload, true},
        {"GET", "/2.1/shares", &A::shares, true},
        {"POST", "/2.1/shares", &A::createShare, true},
        {"GET", "/2.1/shares/item", &A::share, true},
        {"PATCH", "/2.1/shares/item", &A::updateShare, true},
        {"DELETE", "/2.1/shares/item", &A::removeShare, true},
        {"POST", "/2.1/shares/recipients", &A::addRecipients, true},
        {"GET", "/2.1/backups", &A::backups, true},
        {"POST", "/2.1/backups", &A::beginBackup, true},
        {"GET", "/2.1/backups/*", &A::backup, true},
        {"GET", "/2.1/backups/*/items", &A::backupItems, true},
        {"PUT", "/2.1/backups/*/items", &A::storeBackupItem, true},
        {"DELETE", "/2.1/backups/*/items", &A::removeBackupItem, true},
        {"GET", "/2.1/backups/*/items/content", &A::backupItemContent, true},
        {"POST", "/2.1/backups/*/finish", &A::finishBackup, true},
    };
    return routes;
}
