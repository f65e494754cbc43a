// libsecret first: GLib's headers name members `signals`, which Qt's headers make a keyword.
#include <libsecret/secret.h>

#include "platform/keyring/SecretServiceStore.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace {

constexpr const char* kServiceName = "org.freedesktop.secrets";

// Cancels the calls made with its cancellable once the time is up. libsecret's synchronous calls
// run a loop of their own that nobody else can add a timer to, so a thread of its own watches.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds timeout)
        : timeout_(timeout), watch_([this](std::stop_token stop) {
              std::mutex mutex;
              std::unique_lock lock(mutex);
              std::condition_variable_any wake;
              wake.wait_for(lock, stop, timeout_, [] { return false; });
              if (stop.stop_requested()) return;
              expired_.store(true);
              g_cancellable_cancel(cancellable_);
          }) {}
    ~Deadline() {
        watch_.request_stop();
        watch_.join();
        g_object_unref(cancellable_);
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    GCancellable* cancellable() const { return cancellable_; }
    int milliseconds() const { return static_cast<int>(timeout_.count()); }
    // Why a call failed: the time-out when it cut the call short, else what the error says.
    QString why(const GError* error) const {
        if (expired_.load()) return QStringLiteral("no answer within %1 ms").arg(timeout_.count());
        return error ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
    }

private:
    GCancellable* cancellable_ = g_cancellable_new();
    std::atomic<bool> expired_{false};
    std::chrono::milliseconds timeout_;
    std::jthread watch_;  // last: it reads the members above
};

struct ErrorHolder {
    GError* error = nullptr;
    ~ErrorHolder() { g_clear_error(&error); }
    GError** out() {
        g_clear_error(&error);
        return &error;
    }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, decltype(&g_object_unref)>;

struct ItemList {
    GList* items = nullptr;
    ~ItemList() { g_list_free_full(items, g_object_unref); }
};

// The session bus that libsecret shares. GLib ends the process when that connection closes (the
// bus went away) unless it is told not to; a keyring is not worth the application.
GObjectPtr<GDBusConnection> sessionBus(const Deadline& deadline, QString* why) {
    ErrorHolder error;
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, deadline.cancellable(), error.out()), g_object_unref);
    if (bus)
        g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
    else
        *why = QStringLiteral("no session bus: ") + deadline.why(error.error);
    return bus;
}

bool busAnswer(GDBusConnection* bus, const Deadline& deadline, const char* method, GVariant* arguments,
               const char* type, GVariant** reply) {
    ErrorHolder error;
    *reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                         method, arguments, G_VARIANT_TYPE(type), G_DBUS_CALL_FLAGS_NONE,
                                         deadline.milliseconds(), deadline.cancellable(), error.out());
    return *reply != nullptr;
}

// A schema and attribute table for one call, as libsecret takes them.
class Query {
public:
    Query(const QString& schema, const SecretServiceStore::Attributes& attributes)
        : attributes_(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free)) {
        GHashTable* types = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
        for (const auto& [name, value] : attributes) {
            const QByteArray key = name.toUtf8();
            g_hash_table_insert(types, g_strdup(key.constData()), GINT_TO_POINTER(SECRET_SCHEMA_ATTRIBUTE_STRING));
            g_hash_table_insert(attributes_, g_strdup(key.constData()), g_strdup(value.toUtf8().constData()));
        }
        schema_ = secret_schema_newv(schema.toUtf8().constData(), SECRET_SCHEMA_NONE, types);
        g_hash_table_unref(types);
    }
    ~Query() {
        secret_schema_unref(schema_);
        g_hash_table_unref(attributes_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const SecretSchema* schema() const { return schema_; }
    GHashTable* attributes() const { return attributes_; }

private:
    SecretSchema* schema_ = nullptr;
    GHashTable* attributes_;
};

using Answer = SecretStore::Answer;
using Status = SecretStore::Status;

Answer unavailable(QString why) { return Answer{Status::unavailable, {}, std::move(why)}; }

// A proxy of the service of its own for each call: one that a call finds broken (its daemon was
// restarted, its session is gone) is never handed to the next call.
GObjectPtr<SecretService> openService(const Deadline& deadline, QString* why) {
    if (!sessionBus(deadline, why)) return {nullptr, g_object_unref};
    ErrorHolder error;
    GObjectPtr<SecretService> service(
        secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, deadline.cancellable(), error.out()),
        g_object_unref);
    if (!service) *why = deadline.why(error.error);
    return service;
}

// The items the query picks out, unlocked where the keyring lets that happen (it may prompt).
bool search(SecretService* service, const Query& query, bool loadSecrets, const Deadline& deadline, ItemList* found,
            QString* why) {
    ErrorHolder error;
    const int flags = SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK | (loadSecrets ? SECRET_SEARCH_LOAD_SECRETS : 0);
    found->items = secret_service_search_sync(service, query.schema(), query.attributes(),
                                              static_cast<SecretSearchFlags>(flags), deadline.cancellable(), error.out());
    if (error.error) {
        *why = deadline.why(error.error);
        return false;
    }
    return true;
}

// Runs `work` within the time-out, on a service and query of its own.
template <typename Work>
Answer withService(const QString& schema, const SecretServiceStore::Attributes& attributes,
                   std::chrono::milliseconds timeout, Work work) {
    const Deadline deadline(timeout);
    QString why;
    const auto service = openService(deadline, &why);
    if (!service) return unavailable(why);
    const Query query(schema, attributes);
    return work(service.get(), query, deadline);
}

}  // namespace

SecretServiceStore::Presence SecretServiceStore::presence(std::chrono::milliseconds timeout) {
    const Deadline deadline(timeout);
    QString why;
    const auto bus = sessionBus(deadline, &why);
    if (!bus) return Presence::noBus;
    GVariant* reply = nullptr;
    if (!busAnswer(bus.get(), deadline, "NameHasOwner", g_variant_new("(s)", kServiceName), "(b)", &reply))
        return Presence::noBus;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    if (owned) return Presence::running;
    if (!busAnswer(bus.get(), deadline, "ListActivatableNames", nullptr, "(as)", &reply)) return Presence::absent;
    GVariantIter* names = nullptr;
    g_variant_get(reply, "(as)", &names);
    bool activatable = false;
    const char* name = nullptr;
    while (g_variant_iter_loop(names, "&s", &name))
        if (g_strcmp0(name, kServiceName) == 0) activatable = true;
    g_variant_iter_free(names);
    g_variant_unref(reply);
    return activatable ? Presence::activatable : Presence::absent;
}

SecretServiceStore::SecretServiceStore(QString schema, Attributes attributes, std::chrono::milliseconds timeout)
    : schema_(std::move(schema)), attributes_(std::move(attributes)), timeout_(timeout) {}

QString SecretServiceStore::description() const { return QStringLiteral("the keyring (Secret Service)"); }

SecretStore::Answer SecretServiceStore::read() const {
    return withService(schema_, attributes_, timeout_, [](SecretService* service, const Query& query, const Deadline& deadline) {
        ItemList found;
        QString why;
        if (!search(service, query, true, deadline, &found, &why)) return unavailable(why);
        if (!found.items) return Answer{Status::none, {}, {}};
        for (GList* entry = found.items; entry; entry = entry->next) {
            auto* item = static_cast<SecretItem*>(entry->data);
            if (secret_item_get_locked(item)) continue;
            if (SecretValue* value = secret_item_get_secret(item)) {
                gsize length = 0;
                const gchar* bytes = secret_value_get(value, &length);
                Answer answer{Status::done, QByteArray(bytes, static_cast<qsizetype>(length)), {}};
                secret_value_unref(value);
                return answer;
            }
        }
        // Kept, but not to be had now: a locked item is not an absent one.
        return unavailable(QStringLiteral("the keyring is locked"));
    });
}

SecretStore::Answer SecretServiceStore::write(const QByteArray& secret, const QString& label) const {
    return withService(schema_, attributes_, timeout_, [&](SecretService* service, const Query& query, const Deadline& deadline) {
        SecretValue* value = secret_value_new(secret.constData(), secret.size(), "text/plain");
        ErrorHolder error;
        const bool stored = secret_service_store_sync(service, query.schema(), query.attributes(), SECRET_COLLECTION_DEFAULT,
                                                      label.toUtf8().constData(), value, deadline.cancellable(), error.out());
        secret_value_unref(value);
        if (stored) return Answer{Status::done, {}, {}};
        // A keyring without a default collection (one no login made, nor anyone since) answers,
        // but has nowhere to keep anything: no unlocking makes it take the secret. GNOME Keyring
        // says so as an unknown method of the missing collection's path.
        if (g_error_matches(error.error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
            g_error_matches(error.error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
            g_error_matches(error.error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
            return Answer{Status::failed, {}, QStringLiteral("the keyring has no default collection: ") + deadline.why(error.error)};
        return unavailable(deadline.why(error.error));
    });
}

SecretStore::Answer SecretServiceStore::remove() const {
    return withService(schema_, attributes_, timeout_, [](SecretService* service, const Query& query, const Deadline& deadline) {
        ItemList found;
        QString why;
        if (!search(service, query, false, deadline, &found, &why)) return unavailable(why);
        for (GList* entry = found.items; entry; entry = entry->next) {
            auto* item = static_cast<SecretItem*>(entry->data);
            // A locked item cannot be deleted, and libsecret's own clear would quietly leave it.
            if (secret_item_get_locked(item)) return unavailable(QStringLiteral("the keyring is locked"));
            ErrorHolder error;
            if (!secret_item_delete_sync(item, deadline.cancellable(), error.out()))
                return unavailable(deadline.why(error.error));
        }
        return Answer{Status::done, {}, {}};
    });
}
