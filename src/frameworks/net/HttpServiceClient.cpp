#include "frameworks/net/HttpServiceClient.h"

#include <QSslCertificate>
#include <QSslConfiguration>

#include <thread>

#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/net/HttpTransport.h"
#include "service/ContentHash.h"

namespace {

using Query = QList<QPair<QString, QString>>;

// What a body that is not streamed may hold; every listing but the tree is one JSON document.
constexpr std::size_t answerLimit = 64 << 20;
constexpr auto pauseSlice = std::chrono::milliseconds(20);

ServiceFailure unreadable() { return {ServiceError::storageFailure, QStringLiteral("The service's answer cannot be read.")}; }
ServiceFailure cancelled() { return {ServiceError::storageFailure, QStringLiteral("cancelled")}; }

bool isCut(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::UnknownNetworkError: return true;
    default: return false;
    }
}

QSslConfiguration trustOf(QString caFile) {
    if (caFile.isEmpty()) caFile = qEnvironmentVariable("ORVELLA_CA_FILE");
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!caFile.isEmpty()) {
        const QList<QSslCertificate> extra = QSslCertificate::fromPath(caFile, QSsl::Pem);
        if (extra.isEmpty())
            OVLOG_WARNING(Log::API::calls(), QStringLiteral("No certificate could be read from %1.").arg(caFile));
        tls.setCaCertificates(tls.caCertificates() + extra);
    }
    return tls;
}

QByteArray segment(const QString& identifier) { return ServiceWire::percentEncode(identifier); }

}  // namespace

struct HttpServiceClient::Call {
    QByteArray method;
    QString path;  // below the base URL; all that logs show of a request
    Query query;
    QByteArray body;
    QByteArray contentType;
    QList<QPair<QByteArray, QByteArray>> headers;
    int fd = -1;
    std::int64_t fdOffset = 0;
    std::int64_t fdLength = 0;
    bool authorized = true;
    bool repeatable = false;  // safe to send again after a cut or a busy answer
    const HttpTransport::Sink* sink = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    std::stop_token stop;
    std::optional<std::chrono::milliseconds> stallTimeout;
    std::int64_t rangeFrom = 0;  // the body from this byte on (see HttpTransport::Request)

    static Call to(const QByteArray& method, const QString& path, Query query = {}) {
        Call call;
        call.method = method;
        call.path = path;
        call.query = std::move(query);
        return call;
    }
    static Call get(const QString& path, Query query = {}) { return to("GET", path, std::move(query)).safe(); }
    static Call json(const QByteArray& method, const QString& path, const QJsonObject& json, Query query = {}) {
        Call call = to(method, path, std::move(query));
        call.body = ServiceWire::toBytes(json);
        call.contentType = "application/json";
        return call;
    }
    static Call form(const QString& path, const Query& items) {
        Call call = to("POST", path);
        call.body = ServiceWire::encodeForm(items);
        call.contentType = ServiceWire::formType;
        call.authorized = false;
        return call;
    }
    Call safe() && {
        repeatable = true;
        return std::move(*this);
    }
};

struct HttpServiceClient::Reply {
    int status = 0;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool repeated = false;  // sent more than once: an earlier one may have been carried out

    bool ok() const { return status / 100 == 2; }
    QByteArray header(QByteArrayView name) const {
        for (const auto& [n, v] : headers)
            if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
        return {};
    }
    ServiceFailure failure() const { return ServiceWire::decodeError(status, body, header("retry-after")).failure; }
};

namespace {

using Reply = HttpServiceClient::Reply;

// The value a successful answer's document holds, or why there is none.
template <typename T, typename Document, typename Decode>
ServiceResult<T> documentAnswer(const ServiceResult<Reply>& reply, std::optional<Document> (*parse)(const QByteArray&), Decode decode) {
    if (!reply) return reply.failure();
    if (!reply.value().ok()) return reply.value().failure();
    const auto document = parse(reply.value().body);
    if (!document) return unreadable();
    std::optional<T> value = decode(*document);
    if (!value) return unreadable();
    return std::move(*value);
}
template <typename T, typename Decode>
ServiceResult<T> objectAnswer(const ServiceResult<Reply>& reply, Decode decode) {
    return documentAnswer<T>(reply, &ServiceWire::objectOf, decode);
}
template <typename T, typename Decode>
ServiceResult<T> arrayAnswer(const ServiceResult<Reply>& reply, Decode decode) {
    return documentAnswer<T>(reply, &ServiceWire::arrayOf, decode);
}

// A change that failed so may still have been made: cut off after it was sent, or refused as
// `refusals` refuse the same change sent again once it was made.
bool mayHaveBeenDone(ServiceError error, std::initializer_list<ServiceError> refusals) {
    return error == ServiceError::noConnection || error == ServiceError::timeout ||
           std::find(refusals.begin(), refusals.end(), error) != refusals.end();
}

ServiceResult<ServiceDone> doneAnswer(const ServiceResult<Reply>& reply) {
    if (!reply) return reply.failure();
    // A removal sent again finds nothing when the first one arrived.
    if (reply.value().repeated && reply.value().status == 404) return ServiceDone{};
    if (!reply.value().ok()) return reply.value().failure();
    return ServiceDone{};
}

}  // namespace

HttpServiceClient::HttpServiceClient(Options options)
    : options_(std::move(options)), transport_(std::make_unique<HttpTransport>(trustOf(options_.caFile))) {}

HttpServiceClient::~HttpServiceClient() = default;

QString HttpServiceClient::describe() const { return options_.baseUrl.toString(QUrl::RemoveUserInfo); }
bool HttpServiceClient::isReachable() const { return reachable_.load(); }

bool HttpServiceClient::probe() {
    Call call = Call::to("GET", QString::fromLatin1(ServiceWire::chunkSizePath));
    call.authorized = false;
    call.stallTimeout = std::chrono::seconds(5);
    (void)perform(call);
    return isReachable();
}

// ---- the requests

bool HttpServiceClient::pause(std::chrono::milliseconds wait, const Call& call) const {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < until) {
        if ((call.cancel && call.cancel->load()) || call.stop.stop_requested()) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pauseSlice, until - std::chrono::steady_clock::now()));
    }
    return true;
}

ServiceResult<Reply> HttpServiceClient::perform(const Call& call) {
    QByteArray target = options_.baseUrl.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash) + call.path.toUtf8();
    if (!call.query.isEmpty()) target += '?' + ServiceWire::encodeQuery(call.query);
    HttpTransport::Request request;
    request.method = call.method;
    request.url = QUrl::fromEncoded(target, QUrl::StrictMode);
    request.body = call.body;
    request.fd = call.fd;
    request.fdOffset = call.fdOffset;
    request.fdLength = call.fdLength;
    request.stallTimeout = call.stallTimeout.value_or(options_.stallTimeout);
    request.rangeFrom = call.rangeFrom;
    const auto backoff = [this](int attempt) {
        return std::min(options_.maximumBackoff, std::chrono::milliseconds(options_.firstBackoff.count() << std::min(attempt - 1, 20)));
    };

    bool refreshed = false;
    for (int attempt = 1;; ++attempt) {
        request.headers = call.headers;
        if (!call.contentType.isEmpty()) request.headers.append({"Content-Type", call.contentType});
        QString used;
        if (call.authorized) {
            {
                std::lock_guard lock(tokensMutex_);
                if (!tokens_) return ServiceFailure{ServiceError::invalidSession, QStringLiteral("Not signed in.")};
                used = tokens_->accessToken;
            }
            request.headers.append({"Authorization", "Bearer " + used.toLatin1()});
        }
        OVLOG_DEBUG(Log::API::calls(), QString::fromLatin1(call.method) + u' ' + call.path);
        HttpTransport::Answer answer = transport_->exchange(request, call.sink ? *call.sink : HttpTransport::Sink(), answerLimit,
                                                            call.cancel, call.stop);
        reachable_ = answer.status > 0;
        switch (answer.outcome) {
        case HttpTransport::Outcome::cancelled:
            if (call.stop.stop_requested()) return ServiceFailure{ServiceError::timeout, QStringLiteral("Stopped.")};
            return cancelled();
        case HttpTransport::Outcome::stalled:
            return ServiceFailure{ServiceError::timeout, QStringLiteral("The service stopped answering.")};
        case HttpTransport::Outcome::sinkRefused:
            return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The bytes received could not be kept.")};
        case HttpTransport::Outcome::tooLarge:
            return ServiceFailure{ServiceError::tooLarge, QStringLiteral("The service's answer is too large.")};
        case HttpTransport::Outcome::misplaced: return unreadable();
        case HttpTransport::Outcome::failed: {
            const ServiceFailure failure{ServiceError::noConnection, answer.errorText};
            // A refused connection carried nothing; a cut one may have, so only what is safe goes
            // again. A server that refuses a streamed body answers before reading it and closes,
            // which looks like a cut here: sent again, it would be refused again unseen. Such a
            // body goes again only after a refusal; its caller asks where the upload stands.
            const bool again = answer.error == QNetworkReply::ConnectionRefusedError ||
                               (call.repeatable && isCut(answer.error) && call.fd < 0);
            OVLOG_INFO(Log::API::calls(), QString::fromLatin1(call.method) + u' ' + call.path + QStringLiteral(": ") + answer.errorText);
            if (again && answer.delivered == 0 && attempt < options_.maximumAttempts && pause(backoff(attempt), call)) continue;
            return failure;
        }
        case HttpTransport::Outcome::answered: break;
        }
        Reply reply{answer.status, std::move(answer.body), std::move(answer.headers), attempt > 1};
        if (reply.status == 401 && call.authorized && !refreshed && reply.failure().error == ServiceError::invalidSession) {
            refreshed = true;
            auto renewed = refresh(used);
            if (!renewed) return renewed.failure();
            --attempt;  // the refused one was not carried out: no repetition
            continue;
        }
        if ((reply.status == 429 || reply.status == 503) && call.repeatable && attempt < options_.maximumAttempts) {
            const auto after = ServiceWire::decodeError(reply.status, reply.body, reply.header("retry-after")).retryAfterSeconds;
            const auto wait = after ? std::chrono::milliseconds(std::chrono::seconds(*after)) : backoff(attempt);
            // Longer than a back-off may take is the caller's to wait for.
            if (wait <= options_.maximumBackoff && pause(wait, call)) continue;
        }
        if (!reply.ok())
            OVLOG_DEBUG(Log::API::calls(), QString::fromLatin1(call.method) + u' ' + call.path + QStringLiteral(": %1").arg(reply.status));
        return reply;
    }
}

// ---- tokens

void HttpServiceClient::setTokens(std::optional<Tokens> tokens) {
    std::lock_guard lock(tokensMutex_);
    tokens_ = std::move(tokens);
    if (tokens_) sessionEndedTold_ = false;
}

std::optional<ServiceClient::Tokens> HttpServiceClient::tokens() const {
    std::lock_guard lock(tokensMutex_);
    return tokens_;
}

void HttpServiceClient::setTokensChanged(std::function<void(const Tokens&)> changed) {
    std::lock_guard lock(tokensMutex_);
    tokensChanged_ = std::move(changed);
}

void HttpServiceClient::setSessionEnded(std::function<void()> ended) {
    std::lock_guard lock(tokensMutex_);
    sessionEnded_ = std::move(ended);
}

void HttpServiceClient::keepTokens(const ServiceWire::TokenResponse& tokens) {
    std::lock_guard lock(tokensMutex_);
    tokens_ = Tokens{tokens.accessToken, tokens.refreshToken};
    sessionEndedTold_ = false;
}

ServiceResult<ServiceDone> HttpServiceClient::refresh(const QString& refusedAccessToken) {
    std::lock_guard serial(refreshMutex_);
    QString refreshToken;
    {
        std::lock_guard lock(tokensMutex_);
        if (!tokens_) return ServiceFailure{ServiceError::invalidSession, QStringLiteral("The session has ended; sign in again.")};
        if (tokens_->accessToken != refusedAccessToken) return ServiceDone{};  // another call refreshed it meanwhile
        refreshToken = tokens_->refreshToken;
    }
    auto reply = perform(Call::form(QString::fromLatin1(ServiceWire::tokenPath),
                                    {{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                     {QStringLiteral("refresh_token"), refreshToken}})
                             .safe());
    if (!reply) return reply.failure();
    if (reply.value().status == 400 || reply.value().status == 401) {
        std::function<void()> ended;
        {
            std::lock_guard lock(tokensMutex_);
            tokens_.reset();
            if (!sessionEndedTold_) ended = sessionEnded_;
            sessionEndedTold_ = true;
        }
        OVLOG_INFO(Log::API::accessToken(), QStringLiteral("The service refused to renew the session; it has ended."));
        if (ended) ended();
        return ServiceFailure{ServiceError::invalidSession, QStringLiteral("The session has ended; sign in again.")};
    }
    auto renewed = objectAnswer<ServiceWire::TokenResponse>(reply, &ServiceWire::decodeTokenResponse);
    if (!renewed) return renewed.failure();
    keepTokens(renewed.value());
    std::function<void(const Tokens&)> changed;
    {
        std::lock_guard lock(tokensMutex_);
        changed = tokensChanged_;
    }
    OVLOG_DEBUG(Log::API::accessToken(), QStringLiteral("The access token was renewed."));
    if (changed) changed(Tokens{renewed.value().accessToken, renewed.value().refreshToken});
    return ServiceDone{};
}

ServiceResult<ServiceClient::Tokens> HttpServiceClient::signIn(const QString& userName, const QString& password) {
    auto tokens = objectAnswer<ServiceWire::TokenResponse>(
        perform(Call::form(QString::fromLatin1(ServiceWire::tokenPath), {{QStringLiteral("grant_type"), QStringLiteral("password")},
                                                                         {QStringLiteral("username"), userName},
                                                                         {QStringLiteral("password"), password},
                                                                         {QStringLiteral("client_id"), QStringLiteral("orvella")}})),
        &ServiceWire::decodeTokenResponse);
    if (!tokens) return tokens.failure();
    keepTokens(tokens.value());
    return Tokens{tokens.value().accessToken, tokens.value().refreshToken};
}

ServiceResult<ServiceDone> HttpServiceClient::revoke() {
    QString token;
    {
        std::lock_guard lock(tokensMutex_);
        if (!tokens_) return ServiceDone{};
        token = tokens_->refreshToken;
        tokens_.reset();
    }
    auto reply = perform(Call::form(QString::fromLatin1(ServiceWire::revokePath), {{QStringLiteral("token"), token}}).safe());
    if (!reply) return reply.failure();
    if (!reply.value().ok()) return reply.value().failure();
    return ServiceDone{};
}

ServiceResult<ServiceWire::TokenInfo> HttpServiceClient::tokenInfo() {
    return objectAnswer<ServiceWire::TokenInfo>(perform(Call::get(QString::fromLatin1(ServiceWire::tokenInfoPath))), &ServiceWire::decodeTokenInfo);
}

// ---- account

namespace {
QString api(const char* path) { return QString::fromLatin1(ServiceWire::apiBase) + QLatin1String(path); }
}  // namespace

ServiceResult<ServiceWire::AccountInfo> HttpServiceClient::createAccount(const ServiceWire::NewAccount& account) {
    Call call = Call::json("POST", api("/accounts"), ServiceWire::encode(account));
    call.authorized = false;
    // The new account comes signed in.
    auto tokens = objectAnswer<ServiceWire::TokenResponse>(perform(call), &ServiceWire::decodeTokenResponse);
    if (!tokens) return tokens.failure();
    keepTokens(tokens.value());
    return this->account();
}

ServiceResult<ServiceWire::AccountInfo> HttpServiceClient::account() {
    return objectAnswer<ServiceWire::AccountInfo>(perform(Call::get(api("/account"))), &ServiceWire::decodeAccount);
}

ServiceResult<ServiceQuota> HttpServiceClient::quota() {
    return objectAnswer<ServiceQuota>(perform(Call::get(api("/quota"))), &ServiceWire::decodeQuota);
}

ServiceResult<ServiceDone> HttpServiceClient::importCryptoKey(const QString& key, const QString& password) {
    return doneAnswer(perform(Call::json("POST", api("/account/cryptokey"), ServiceWire::encodeCryptoKey(key, password))));
}

ServiceResult<QString> HttpServiceClient::cryptoKey() {
    return objectAnswer<QString>(perform(Call::get(api("/account/cryptokey"))), &ServiceWire::decodeStoredCryptoKey);
}

ServiceResult<ServiceWire::ChunkSizes> HttpServiceClient::chunkSizes() {
    {
        std::lock_guard lock(chunkSizesMutex_);
        if (chunkSizes_) return *chunkSizes_;
    }
    Call call = Call::get(QString::fromLatin1(ServiceWire::chunkSizePath));
    call.authorized = false;
    auto sizes = objectAnswer<ServiceWire::ChunkSizes>(perform(call), &ServiceWire::decodeChunkSizes);
    if (sizes) {
        std::lock_guard lock(chunkSizesMutex_);
        chunkSizes_ = sizes.value();
    }
    return sizes;
}

// ---- files

ServiceResult<ServiceEntry> HttpServiceClient::entry(const QString& path) {
    return objectAnswer<ServiceEntry>(perform(Call::get(api("/entry"), {{QStringLiteral("path"), path}})), &ServiceWire::decodeEntry);
}

ServiceResult<ServiceDone> HttpServiceClient::tree(const QString& path, const std::function<bool(const ServiceEntry&)>& each, int depth,
                                                   const std::atomic<bool>* cancel) {
    Query query{{QStringLiteral("path"), path}};
    if (depth >= 0) query.append({QStringLiteral("depth"), QString::number(depth)});
    Call call = Call::get(api("/tree"), query);
    call.cancel = cancel;
    // Lines are handed over as they complete; a piece may end inside one.
    QByteArray pending;
    bool stopped = false;
    bool broken = false;
    bool ended = false;
    const auto takeLine = [&](QByteArrayView line) {
        if (line.trimmed().isEmpty()) return true;
        if (ended) broken = true;  // nothing follows the end
        else if (ServiceWire::isTreeEndLine(line)) ended = true;
        if (ended || broken) return !broken;
        const auto entry = ServiceWire::decodeEntryLine(line);
        if (!entry) broken = true;
        else if (!each(*entry)) stopped = true;
        return !broken && !stopped;
    };
    const HttpTransport::Sink sink = [&](const char* data, std::size_t size) {
        pending.append(data, qsizetype(size));
        qsizetype start = 0;
        for (qsizetype end; (end = pending.indexOf('\n', start)) >= 0; start = end + 1)
            if (!takeLine(QByteArrayView(pending).sliced(start, end - start))) return false;
        pending.remove(0, start);
        if (pending.size() > qsizetype(ServiceWire::maximumPathBytes) * 4) broken = true;
        return !broken;
    };
    call.sink = &sink;
    auto reply = perform(call);
    if (stopped) return ServiceDone{};
    if (broken) return unreadable();
    if (!reply) return reply.failure();
    if (!reply.value().ok()) return reply.value().failure();
    if (!takeLine(pending) && broken) return unreadable();
    if (!ended) return unreadable();
    return ServiceDone{};
}

ServiceResult<ServiceEntry> HttpServiceClient::download(const QString& path, const std::optional<QString>& revision, std::int64_t offset,
                                                        const Sink& sink, const std::atomic<bool>* cancel) {
    std::int64_t received = 0;
    const HttpTransport::Sink counted = [&](const char* data, std::size_t size) {
        if (!sink(data, size)) return false;
        received += std::int64_t(size);
        return true;
    };
    const auto cut = [](const ServiceResult<Reply>& reply) {
        return !reply && (reply.error() == ServiceError::noConnection || reply.error() == ServiceError::timeout);
    };
    std::int64_t from = offset;
    ServiceResult<Reply> reply = ServiceFailure{ServiceError::noConnection, QString()};
    // Cut off after some of the bytes: the rest comes from where they stopped, of the same version
    // only (a file without one named could change in between).
    do {
        from = offset + received;
        Call call = Call::get(api("/content"), {{QStringLiteral("path"), path}});
        if (revision) call.headers.append({"If-Match", ServiceWire::ifMatch(*revision)});
        call.rangeFrom = from;
        call.cancel = cancel;
        call.sink = &counted;
        reply = perform(call);
    } while (cut(reply) && revision && offset + received > from);
    if (!reply) return reply.failure();
    if (reply.value().status == 416 && from > 0) {
        // Nothing is left from there: the caller has it all when the file still ends at the offset.
        auto now = entry(path);
        if (now && now.value().type == ServiceEntry::Type::file && now.value().size == from &&
            (!revision || now.value().revision() == *revision))
            return now;
        if (now && revision && now.value().revision() != *revision)
            return ServiceFailure{ServiceError::revisionMismatch, QStringLiteral("The file has changed since it was last seen.")};
        return reply.value().failure();
    }
    if (!reply.value().ok()) return reply.value().failure();
    const auto served = ServiceWire::revisionOfIfMatch(reply.value().header("etag"));
    const auto entry = served ? ServiceWire::fileEntryOfRevision(path, *served) : std::nullopt;
    // A body that ended without its length said can stop short of the file it names.
    if (!entry || entry->size != offset + received) return unreadable();
    return *entry;
}

ServiceResult<ServiceEntry> HttpServiceClient::makeFolder(const QString& path) {
    // Making a folder that is there already answers it: safe to send again.
    return objectAnswer<ServiceEntry>(perform(Call::json("POST", api("/folders"), ServiceWire::encodePathBody(path)).safe()),
                                      &ServiceWire::decodeEntry);
}

ServiceResult<ServiceDone> HttpServiceClient::remove(const QString& path, const QString& revision) {
    Call call = Call::to("DELETE", api("/entry"), {{QStringLiteral("path"), path}}).safe();
    call.headers.append({"If-Match", ServiceWire::ifMatch(revision)});
    return doneAnswer(perform(call));
}

ServiceResult<ServiceEntry> HttpServiceClient::move(const ServiceWire::MoveRequest& move) {
    auto moved = objectAnswer<ServiceEntry>(perform(Call::json("POST", api("/move"), ServiceWire::encode(move))), &ServiceWire::decodeEntry);
    // Cut off after it was sent, the move may have been made. Qt's network layer also sends a
    // request again by itself when the connection closes before any answer, and the move made the
    // first time then finds nothing at `from` (or its item at `to`). A renamed item keeps its
    // identity, so the revision at `to` tells.
    if (moved) return moved;
    if (!mayHaveBeenDone(moved.error(), {ServiceError::notFound, ServiceError::exists})) return moved;
    auto there = entry(move.to);
    if (there && there.value().revision() == move.revision) return there;
    return moved;
}

ServiceResult<ServiceChanges> HttpServiceClient::changes(const QString& cursor, std::chrono::milliseconds timeout, std::stop_token stop) {
    const auto wait = std::clamp<std::chrono::milliseconds>(timeout, std::chrono::milliseconds(0),
                                                            std::chrono::milliseconds(ServiceWire::maximumChangesTimeoutMs));
    Call call = Call::get(api("/changes"), {{QStringLiteral("cursor"), cursor}, {QStringLiteral("timeout"), QString::number(wait.count())}});
    call.stop = stop;
    // The server is silent for as long as it waits.
    call.stallTimeout = options_.stallTimeout + wait;
    return objectAnswer<ServiceChanges>(perform(call), &ServiceWire::decodeChanges);
}

// ---- uploads

namespace {
// Batches: one request, one outcome per item in its answer.
HttpServiceClient::Call batchCall(const char* path, QByteArray body, const std::atomic<bool>* cancel) {
    HttpServiceClient::Call call = HttpServiceClient::Call::to("POST", api(path)).safe();
    call.body = std::move(body);
    call.contentType = "application/octet-stream";
    call.cancel = cancel;
    return call;
}
ServiceFailure failureOf(const ServiceResult<Reply>& reply) { return reply ? reply.value().failure() : reply.failure(); }
// None when the batch failed as a whole (failureOf says why); an answer that does not match the
// request is unreadable for every item.
template <typename T, typename Decode>
std::optional<std::vector<ServiceResult<T>>> batchOutcomes(const ServiceResult<Reply>& reply, std::size_t count, Decode decode) {
    if (!reply || !reply.value().ok()) return std::nullopt;
    auto decoded = decode(reply.value().body);
    if (!decoded || decoded->size() != count) return std::vector<ServiceResult<T>>(count, unreadable());
    return decoded;
}

QString uploadPath(const QString& id, const char* rest = "") {
    return api("/uploads/") + QString::fromLatin1(segment(id)) + QLatin1String(rest);
}
}  // namespace

ServiceResult<ServiceWire::UploadState> HttpServiceClient::createUpload(const ServiceWire::UploadRequest& request) {
    return objectAnswer<ServiceWire::UploadState>(perform(Call::json("POST", api("/uploads"), ServiceWire::encode(request))),
                                                  &ServiceWire::decodeUploadState);
}

ServiceResult<ServiceWire::UploadState> HttpServiceClient::uploadStatus(const QString& id) {
    return objectAnswer<ServiceWire::UploadState>(perform(Call::get(uploadPath(id))), &ServiceWire::decodeUploadState);
}

ServiceResult<ServiceWire::UploadState> HttpServiceClient::putChunk(const QString& id, int fd, std::int64_t offset, std::int64_t length,
                                                                    std::int64_t size, const std::atomic<bool>* cancel) {
    if (length <= 0) return ServiceFailure{ServiceError::invalidRequest, QStringLiteral("A chunk holds at least one byte.")};
    // The server takes a chunk only at its own offset, so one sent again is never appended twice.
    Call call = Call::to("PUT", uploadPath(id)).safe();
    call.contentType = "application/octet-stream";
    call.headers.append({"Content-Range", ServiceWire::contentRange(offset, offset + length - 1, size)});
    call.fd = fd;
    call.fdOffset = offset;
    call.fdLength = length;
    call.cancel = cancel;
    return objectAnswer<ServiceWire::UploadState>(perform(call), &ServiceWire::decodeUploadState);
}

ServiceResult<ServiceEntry> HttpServiceClient::commitUpload(const QString& id) {
    return objectAnswer<ServiceEntry>(perform(Call::to("POST", uploadPath(id, "/commit")).safe()), &ServiceWire::decodeEntry);
}

ServiceResult<ServiceDone> HttpServiceClient::removeUpload(const QString& id) {
    return doneAnswer(perform(Call::to("DELETE", uploadPath(id)).safe()));
}

ServiceResult<ServiceEntry> HttpServiceClient::putContent(const ServiceWire::UploadRequest& request, int fd,
                                                          const std::atomic<bool>* cancel) {
    // Sent twice, the second one finds the file placed by the first and is refused (exists or
    // revisionMismatch): never placed twice.
    Call call = Call::to("PUT", api("/content"), ServiceWire::encodeUploadQuery(request)).safe();
    call.contentType = "application/octet-stream";
    if (request.size > 0) {
        call.fd = fd;
        call.fdLength = request.size;
    } else {
        call.headers.append({QByteArray("Content-Length"), QByteArray("0")});
    }
    call.cancel = cancel;
    return placedBefore(request, objectAnswer<ServiceEntry>(perform(call), &ServiceWire::decodeEntry), cancel);
}

ServiceResult<ServiceEntry> HttpServiceClient::placedBefore(const ServiceWire::UploadRequest& request,
                                                            ServiceResult<ServiceEntry> placed, const std::atomic<bool>* cancel) {
    if (placed) return placed;
    // Cut off after it was sent, it may have been placed; refused, it may have been placed by an
    // earlier sending of the same request. The file at the path tells, by its bytes.
    if (!mayHaveBeenDone(placed.error(), {ServiceError::exists, ServiceError::revisionMismatch})) return placed;
    auto there = entry(request.path);
    if (!there || there.value().type != ServiceEntry::Type::file || there.value().size != request.size ||
        there.value().mtimeNs != request.mtimeNs || (request.revision && there.value().revision() == *request.revision))
        return placed;
    ContentHash hash;
    const auto served = download(request.path, there.value().revision(), 0, [&](const char* data, std::size_t size) {
        hash.add(QByteArrayView(data, qsizetype(size)));
        return true;
    }, cancel);
    if (served && hash.hex() == request.sha256) return served;
    return placed;
}

bool HttpServiceClient::refusesBatches(const ServiceResult<Reply>& reply) {
    if (!reply || (reply.value().status != 404 && reply.value().status != 405)) return false;
    if (!batchesRefused_.exchange(true))
        OVLOG_INFO(Log::API::calls(), QStringLiteral("The server takes no batches; files go one request each."));
    return true;
}

std::vector<ServiceResult<ServiceEntry>> HttpServiceClient::uploadBatch(const std::vector<ServiceWire::BatchFile>& files,
                                                                        const std::atomic<bool>* cancel) {
    if (files.empty()) return {};
    if (batchesRefused_) return uploadEachOf(files, cancel);
    // Sent twice, each item the first one placed is refused the second time, and looked at below.
    const auto reply = perform(batchCall(ServiceWire::batchUploadPath, ServiceWire::encodeBatchUpload(files), cancel));
    if (refusesBatches(reply)) return uploadEachOf(files, cancel);
    auto outcomes = batchOutcomes<ServiceEntry>(reply, files.size(), &ServiceWire::decodeBatchEntries);
    // The whole batch failed: no item is looked at one by one, which against a silent service
    // would wait out one stall after another.
    if (!outcomes) return std::vector<ServiceResult<ServiceEntry>>(files.size(), failureOf(reply));
    for (std::size_t i = 0; i < files.size(); ++i)
        if (!(*outcomes)[i]) (*outcomes)[i] = placedBefore(files[i].request, std::move((*outcomes)[i]), cancel);
    return std::move(*outcomes);
}

std::vector<ServiceResult<ServiceWire::ServedFile>> HttpServiceClient::downloadBatch(const std::vector<ServiceWire::WantedFile>& files,
                                                                                    const std::atomic<bool>* cancel) {
    if (files.empty()) return {};
    if (batchesRefused_) return downloadEachOf(files, cancel);
    const auto reply = perform(batchCall(ServiceWire::batchDownloadPath, ServiceWire::encodeWantedFiles(files), cancel));
    if (refusesBatches(reply)) return downloadEachOf(files, cancel);
    auto outcomes = batchOutcomes<ServiceWire::ServedFile>(reply, files.size(), &ServiceWire::decodeBatchDownload);
    if (!outcomes) return std::vector<ServiceResult<ServiceWire::ServedFile>>(files.size(), failureOf(reply));
    for (std::size_t i = 0; i < files.size(); ++i) {
        // Only the file asked for, as it was asked for, is taken.
        auto& outcome = (*outcomes)[i];
        if (outcome && (outcome.value().entry.path != files[i].path || outcome.value().entry.revision() != files[i].revision))
            outcome = unreadable();
    }
    return std::move(*outcomes);
}

std::vector<ServiceResult<ServiceDone>> HttpServiceClient::removeBatch(const std::vector<ServiceWire::Removal>& items) {
    if (items.empty()) return {};
    if (batchesRefused_) return removeEachOf(items);
    // Sent twice, what the first one removed is not found the second time, which counts as done.
    const auto reply = perform(batchCall(ServiceWire::batchRemovePath, ServiceWire::encodeRemovals(items), nullptr));
    if (refusesBatches(reply)) return removeEachOf(items);
    auto outcomes = batchOutcomes<ServiceDone>(reply, items.size(), &ServiceWire::decodeBatchDone);
    if (!outcomes) return std::vector<ServiceResult<ServiceDone>>(items.size(), failureOf(reply));
    return std::move(*outcomes);
}

ServiceResult<ServiceEntry> HttpServiceClient::upload(const ServiceWire::UploadRequest& request, int fd, const std::atomic<bool>* cancel,
                                                      QString* resumeId) {
    const auto isCutOff = [](ServiceError error) { return error == ServiceError::noConnection || error == ServiceError::timeout; };
    QString id;
    std::int64_t offset = 0;
    std::int64_t chunkSize = 0;
    // A file that fits into one chunk goes in one request, unless an upload of it is under way.
    // Cut off without being placed, it goes in chunks instead: a line that cuts bodies short keeps
    // what arrived of those.
    if (!resumeId || resumeId->isEmpty()) {
        auto sizes = chunkSizes();
        if (!sizes) return sizes.failure();
        if (request.size <= sizes.value().chunkSize) {
            auto placed = putContent(request, fd, cancel);
            if (placed || !isCutOff(placed.error())) return placed;
        }
    }
    // An upload kept from an earlier call goes on where the server has it, when it is still this one.
    if (resumeId && !resumeId->isEmpty()) {
        auto status = uploadStatus(*resumeId);
        if (!status && isCutOff(status.error())) return status.failure();
        if (status && status.value().size == request.size) {
            id = *resumeId;
            offset = status.value().offset;
        }
    }
    if (id.isEmpty()) {
        auto made = createUpload(request);
        if (!made) return made.failure();
        id = made.value().id;
        offset = made.value().offset;
        chunkSize = made.value().chunkSize;
    }
    if (resumeId) *resumeId = id;
    if (chunkSize <= 0) {
        auto sizes = chunkSizes();
        if (!sizes) return sizes.failure();
        chunkSize = sizes.value().chunkSize;
    }
    const auto fail = [&](const ServiceFailure& failure) -> ServiceResult<ServiceEntry> {
        if (!isCutOff(failure.error)) {
            (void)removeUpload(id);
            if (resumeId) resumeId->clear();
        }
        return failure;
    };
    // Cuts in a row without a byte of progress before giving up; each look at the offset has
    // its own retries.
    int cutsLeft = std::max(1, options_.maximumAttempts);
    while (offset < request.size) {
        if (cancel && cancel->load()) return fail(cancelled());
        const std::int64_t length = std::min(chunkSize, request.size - offset);
        auto put = putChunk(id, fd, offset, length, request.size, cancel);
        if (put) {
            cutsLeft = std::max(1, options_.maximumAttempts);
            offset = put.value().offset;
            continue;
        }
        // Refused where it was sent (or cut off): go on from where the server has it, part of a
        // cut chunk included.
        if (put.error() != ServiceError::uploadOffset && !(isCutOff(put.error()) && cutsLeft-- > 0)) return fail(put.failure());
        auto status = uploadStatus(id);
        if (!status) return fail(status.failure());
        // Part of the cut chunk arrived: that is progress, and the cuts count anew.
        if (status.value().offset > offset) cutsLeft = std::max(1, options_.maximumAttempts);
        offset = status.value().offset;
    }
    auto placed = commitUpload(id);
    if (!placed && placed.error() == ServiceError::notFound) {
        // A commit sent again after its answer was lost finds the upload gone: look at the file.
        auto there = entry(request.path);
        if (there && there.value().size == request.size && there.value().mtimeNs == request.mtimeNs) placed = there;
    }
    if (!placed) return fail(placed.failure());
    if (resumeId) resumeId->clear();
    return placed;
}

// ---- shares

ServiceResult<std::vector<ServiceShare>> HttpServiceClient::shares() {
    return arrayAnswer<std::vector<ServiceShare>>(perform(Call::get(api("/shares"))), &ServiceWire::decodeShares);
}

ServiceResult<std::optional<ServiceShare>> HttpServiceClient::share(const QString& path) {
    auto reply = perform(Call::get(api("/shares/item"), {{QStringLiteral("path"), path}}));
    if (reply && reply.value().status == 404) return std::optional<ServiceShare>();
    auto found = objectAnswer<ServiceShare>(reply, &ServiceWire::decodeShare);
    if (!found) return found.failure();
    return std::optional<ServiceShare>(found.value());
}

ServiceResult<ServiceShare> HttpServiceClient::createShare(const QString& path) {
    return objectAnswer<ServiceShare>(perform(Call::json("POST", api("/shares"), ServiceWire::encodePathBody(path))), &ServiceWire::decodeShare);
}

ServiceResult<ServiceShare> HttpServiceClient::updateShare(const QString& path, const ServiceShareChanges& changes) {
    return objectAnswer<ServiceShare>(perform(Call::json("PATCH", api("/shares/item"), ServiceWire::encode(changes), {{QStringLiteral("path"), path}})),
                                      &ServiceWire::decodeShare);
}

ServiceResult<ServiceDone> HttpServiceClient::removeShare(const QString& path) {
    return doneAnswer(perform(Call::to("DELETE", api("/shares/item"), {{QStringLiteral("path"), path}}).safe()));
}

ServiceResult<ServiceShare> HttpServiceClient::addRecipients(const QString& path, const QStringList& addresses) {
    return objectAnswer<ServiceShare>(
        perform(Call::json("POST", api("/shares/recipients"), ServiceWire::encodeRecipients(addresses), {{QStringLiteral("path"), path}})),
        &ServiceWire::decodeShare);
}

// ---- backups

namespace {
QString backupPath(const QString& identifier, const char* rest = "") {
    return api("/backups/") + QString::fromLatin1(segment(identifier)) + QLatin1String(rest);
}
Query itemQuery(ServiceBackupCategory category, const QString& path) {
    return {{QStringLiteral("category"), BackupStore::categoryName(category)}, {QStringLiteral("path"), path}};
}
}  // namespace

ServiceResult<std::vector<ServiceBackupRecord>> HttpServiceClient::backups() {
    return arrayAnswer<std::vector<ServiceBackupRecord>>(perform(Call::get(api("/backups"))), &ServiceWire::decodeBackupRecords);
}

ServiceResult<ServiceBackupRecord> HttpServiceClient::backup(const QString& identifier) {
    return objectAnswer<ServiceBackupRecord>(perform(Call::get(backupPath(identifier))), &ServiceWire::decodeBackupRecord);
}

ServiceResult<ServiceBackupRecord> HttpServiceClient::beginBackup(const ServiceWire::BackupStart& start) {
    return objectAnswer<ServiceBackupRecord>(perform(Call::json("POST", api("/backups"), ServiceWire::encode(start))),
                                             &ServiceWire::decodeBackupRecord);
}

ServiceResult<std::vector<ServiceBackupItem>> HttpServiceClient::backupItems(const QString& identifier) {
    return arrayAnswer<std::vector<ServiceBackupItem>>(perform(Call::get(backupPath(identifier, "/items"))), &ServiceWire::decodeBackupItems);
}

ServiceResult<ServiceBackupItem> HttpServiceClient::storeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                                    const QString& path, const QDateTime& modified, int fd,
                                                                    std::int64_t size, const std::atomic<bool>* cancel) {
    Query query = itemQuery(category, path);
    query.append({QStringLiteral("modified"), ServiceWire::encodeDate(modified)});
    // Storing an item replaces it as a whole: safe to send again.
    Call call = Call::to("PUT", backupPath(identifier, "/items"), query).safe();
    call.contentType = "application/octet-stream";
    if (size > 0) {
        call.fd = fd;
        call.fdLength = size;
    }
    call.cancel = cancel;
    return objectAnswer<ServiceBackupItem>(perform(call), &ServiceWire::decodeBackupItem);
}

ServiceResult<ServiceDone> HttpServiceClient::backupItemContent(const QString& identifier, ServiceBackupCategory category,
                                                                const QString& path, const Sink& sink, const std::atomic<bool>* cancel) {
    Call call = Call::get(backupPath(identifier, "/items/content"), itemQuery(category, path));
    call.sink = &sink;
    call.cancel = cancel;
    auto reply = perform(call);
    if (!reply) return reply.failure();
    if (!reply.value().ok()) return reply.value().failure();
    return ServiceDone{};
}

ServiceResult<ServiceDone> HttpServiceClient::removeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                               const QString& path) {
    return doneAnswer(perform(Call::to("DELETE", backupPath(identifier, "/items"), itemQuery(category, path)).safe()));
}

ServiceResult<ServiceBackupRecord> HttpServiceClient::finishBackup(const QString& identifier, const ServiceWire::BackupFinish& finish) {
    return objectAnswer<ServiceBackupRecord>(perform(Call::json("POST", backupPath(identifier, "/finish"), ServiceWire::encode(finish))),
                                             &ServiceWire::decodeBackupRecord);
}
