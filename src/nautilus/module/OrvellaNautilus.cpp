// The Nautilus module: emblems for the items of the sync folder and "Share Link with Orvella" in
// their context menu. It runs inside Nautilus's process, so it loads no Qt and never waits on the
// application on the main loop: it answers from the port client's cache, or says "in progress" and
// completes when the badge arrives or the time-out ends the wait.

#include <glib-object.h>

// Nautilus's header declares the module's entry points without C linkage for C++; Nautilus looks
// them up by their C names.
extern "C" {
void nautilus_module_initialize(GTypeModule* module);
void nautilus_module_shutdown(void);
void nautilus_module_list_types(const GType** types, int* count);
}

#include <nautilus-extension.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "nautilus/ModuleLog.h"
#include "nautilus/PendingUpdates.h"
#include "protocol/core/SavedSyncFolder.h"
#include "nautilus/ShownItems.h"
#include "protocol/core/BadgeEmblems.h"
#include "protocol/core/FileManagerTexts.h"
#include "protocol/core/ExtensionClient.h"

namespace {

// Nautilus shows the item without an emblem after this; the badge still comes when it arrives.
constexpr std::chrono::milliseconds updateTimeout{2000};
constexpr guint expiryTickMs = 250;
// The answered counts go to the log once a folder has settled.
constexpr guint tallyDelayMs = 500;
constexpr std::size_t shownCapacity = 50000;

struct OrvellaProvider {
    GObject parent;
};
struct OrvellaProviderClass {
    GObjectClass parent;
};
GType providerType = 0;

std::string pathOf(NautilusFileInfo* file) {
    GFile* location = nautilus_file_info_get_location(file);
    char* path = location ? g_file_get_path(location) : nullptr;
    std::string result = path ? path : "";
    g_free(path);
    if (location) g_object_unref(location);
    return result;
}

NautilusOperationHandle* handleOf(PendingUpdates::Id id) {
    return reinterpret_cast<NautilusOperationHandle*>(static_cast<std::uintptr_t>(id));
}

void addEmblem(NautilusFileInfo* file, const std::string& badge) {
    if (const auto emblem = OrvellaPorts::emblemForBadge(badge))
        nautilus_file_info_add_emblem(file, emblem->c_str());
}

// Nautilus forgets what an extension added to an item and asks again; an item it does not hold
// has nothing to redraw.
void invalidate(const std::string& path) {
    GFile* location = g_file_new_for_path(path.c_str());
    if (NautilusFileInfo* file = nautilus_file_info_lookup(location)) {
        nautilus_file_info_invalidate_extension_info(file);
        g_object_unref(file);
    }
    g_object_unref(location);
}

class Extension : public std::enable_shared_from_this<Extension> {
public:
    void start() {
        OrvellaPorts::ExtensionClient::Options options;
        options.appGroupIdentifier = ORVELLA_APP_GROUP;
        const std::weak_ptr<Extension> self = weak_from_this();
        OrvellaPorts::ExtensionClient::Callbacks callbacks;
        callbacks.syncFolderChanged = [self](const std::string& folder) {
            onMainLoop(self, [folder](Extension& extension) { extension.syncFolderChanged(folder); });
        };
        callbacks.badgeChanged = [self](const std::string& path, const std::string& badge) {
            onMainLoop(self, [path, badge](Extension& extension) { extension.badgeChanged(path, badge); });
        };
        callbacks.applicationWentAway = [self] {
            onMainLoop(self, [](Extension& extension) { extension.applicationWentAway(); });
        };
        savedFolder_ = SavedSyncFolder::load();
        client_ = std::make_unique<OrvellaPorts::ExtensionClient>(std::move(options), std::move(callbacks));
        ModuleLog::write("registered with Nautilus; port " + client_->portName());
    }

    ~Extension() {
        // The client's callbacks end with it; what they queued finds no extension.
        client_.reset();
        for (GSource* source : {batchSource_, expirySource_, tallySource_})
            if (source) g_source_destroy(source);
        for (auto& [id, waiting] : waiting_) release(waiting);
    }

    NautilusOperationResult updateFileInfo(NautilusInfoProvider* provider, NautilusFileInfo* file,
                                           GClosure* complete, NautilusOperationHandle** handle) {
        const std::string path = pathOf(file);
        if (path.empty()) return NAUTILUS_OPERATION_COMPLETE;
        shown_.remember(path);
        if (!client_->isInsideSyncFolder(path)) return NAUTILUS_OPERATION_COMPLETE;
        if (const auto badge = client_->cachedBadge(path)) {
            addEmblem(file, *badge);
            answered(path);
            return NAUTILUS_OPERATION_COMPLETE;
        }
        const PendingUpdates::Id id = pending_.add(path, PendingUpdates::Clock::now());
        waiting_.emplace(id, Waiting{provider, NAUTILUS_FILE_INFO(g_object_ref(file)), g_closure_ref(complete), path});
        *handle = handleOf(id);
        if (!batchSource_) batchSource_ = addSource(g_idle_source_new(), &Extension::flushBatch);
        if (!expirySource_) expirySource_ = addSource(g_timeout_source_new(expiryTickMs), &Extension::expire);
        return NAUTILUS_OPERATION_IN_PROGRESS;
    }

    // Nautilus no longer wants the answer and must not be given it.
    void cancelUpdate(NautilusOperationHandle* handle) {
        const auto id = static_cast<PendingUpdates::Id>(reinterpret_cast<std::uintptr_t>(handle));
        if (!pending_.cancel(id)) return;
        const auto found = waiting_.find(id);
        if (found == waiting_.end()) return;
        release(found->second);
        waiting_.erase(found);
    }

    // Whether the item can be shared: inside the sync folder, or while the application does not
    // run (sharing starts it), inside the one it named last.
    bool shareable(const std::string& path) const {
        if (!client_) return false;
        if (client_->syncFolder()) return client_->isInsideSyncFolder(path);
        if (!savedFolder_) return false;
        GFile* item = g_file_new_for_path(path.c_str());
        GFile* folder = g_file_new_for_path(savedFolder_->c_str());
        const bool inside = g_file_equal(item, folder) || g_file_has_prefix(item, folder);
        g_object_unref(folder);
        g_object_unref(item);
        return inside;
    }

private:
    struct Waiting {
        NautilusInfoProvider* provider;
        NautilusFileInfo* file;
        GClosure* complete;
        std::string path;
    };

    template <typename Function>
    static void onMainLoop(const std::weak_ptr<Extension>& self, Function function) {
        struct Call {
            std::weak_ptr<Extension> self;
            Function function;
        };
        g_main_context_invoke_full(
            nullptr, G_PRIORITY_DEFAULT,
            [](gpointer data) -> gboolean {
                Call* call = static_cast<Call*>(data);
                if (const auto extension = call->self.lock()) call->function(*extension);
                return G_SOURCE_REMOVE;
            },
            new Call{self, std::move(function)}, [](gpointer data) { delete static_cast<Call*>(data); });
    }

    // A source on the main loop that calls `method` of this extension while it lives.
    GSource* addSource(GSource* source, gboolean (Extension::*method)()) {
        struct Target {
            std::weak_ptr<Extension> self;
            gboolean (Extension::*method)();
        };
        g_source_set_callback(
            source,
            [](gpointer data) -> gboolean {
                Target* target = static_cast<Target*>(data);
                const auto extension = target->self.lock();
                return extension ? ((*extension).*(target->method))() : G_SOURCE_REMOVE;
            },
            new Target{weak_from_this(), method}, [](gpointer data) { delete static_cast<Target*>(data); });
        g_source_attach(source, nullptr);
        g_source_unref(source);
        return source;
    }

    gboolean flushBatch() {
        batchSource_ = nullptr;
        std::vector<std::string> batch = pending_.takeBatch();
        if (!batch.empty()) client_->requestBadges(std::move(batch));
        return G_SOURCE_REMOVE;
    }

    gboolean expire() {
        const auto now = PendingUpdates::Clock::now();
        for (const PendingUpdates::Id id : pending_.expire(now)) finish(id, std::nullopt);
        for (const std::string& path : pending_.dueRetries(now)) invalidate(path);
        if (!pending_.idle()) return G_SOURCE_CONTINUE;
        expirySource_ = nullptr;
        return G_SOURCE_REMOVE;
    }

    gboolean logTally() {
        tallySource_ = nullptr;
        for (const auto& [folder, count] : shown_.takeTally())
            ModuleLog::write("answered " + std::to_string(count) + " items of " + folder);
        return G_SOURCE_REMOVE;
    }

    void answered(const std::string& path) {
        shown_.answered(path);
        if (!tallySource_) tallySource_ = addSource(g_timeout_source_new(tallyDelayMs), &Extension::logTally);
    }

    void finish(PendingUpdates::Id id, const std::optional<std::string>& badge) {
        const auto found = waiting_.find(id);
        if (found == waiting_.end()) return;
        Waiting waiting = found->second;
        waiting_.erase(found);
        if (badge) addEmblem(waiting.file, *badge);
        answered(waiting.path);
        nautilus_info_provider_update_complete_invoke(waiting.complete, waiting.provider, handleOf(id),
                                                      NAUTILUS_OPERATION_COMPLETE);
        release(waiting);
    }

    static void release(Waiting& waiting) {
        g_closure_unref(waiting.complete);
        g_object_unref(waiting.file);
    }

    void badgeChanged(const std::string& path, const std::string& badge) {
        const std::vector<PendingUpdates::Id> ids = pending_.resolve(path);
        for (const PendingUpdates::Id id : ids) finish(id, badge);
        // A push, or an answer that came after the wait ended: the item shows the old state.
        if (ids.empty()) invalidate(path);
    }

    void syncFolderChanged(const std::string& folder) {
        ModuleLog::write("registered with the application; sync folder " + folder);
        if (folder != savedFolder_) SavedSyncFolder::save(folder);
        savedFolder_ = folder;
        refreshAll();
    }

    void applicationWentAway() {
        ModuleLog::write("the application went away");
        refreshAll();
    }

    // What every item shows may be wrong now: the waits end without emblem, and Nautilus asks again.
    void refreshAll() {
        for (const PendingUpdates::Id id : pending_.takeAll()) finish(id, std::nullopt);
        for (const std::string& path : shown_.paths()) invalidate(path);
    }

    std::unique_ptr<OrvellaPorts::ExtensionClient> client_;
    std::optional<std::string> savedFolder_;
    PendingUpdates pending_{updateTimeout};
    std::map<PendingUpdates::Id, Waiting> waiting_;
    ShownItems shown_{shownCapacity};
    GSource* batchSource_ = nullptr;
    GSource* expirySource_ = nullptr;
    GSource* tallySource_ = nullptr;
};

std::shared_ptr<Extension> extension;

NautilusOperationResult updateFileInfo(NautilusInfoProvider* provider, NautilusFileInfo* file, GClosure* complete,
                                       NautilusOperationHandle** handle) {
    if (!extension) return NAUTILUS_OPERATION_COMPLETE;
    return extension->updateFileInfo(provider, file, complete, handle);
}

void cancelUpdate(NautilusInfoProvider*, NautilusOperationHandle* handle) {
    if (extension) extension->cancelUpdate(handle);
}

// The application's own program: the installed one, else the first on PATH.
std::string applicationProgram() {
    if (g_file_test(ORVELLA_INSTALLED_PROGRAM, G_FILE_TEST_IS_EXECUTABLE)) return ORVELLA_INSTALLED_PROGRAM;
    char* found = g_find_program_in_path("Orvella");
    std::string program = found ? found : "";
    g_free(found);
    return program;
}

// As "Orvella --share PATH" from a shell: a running application takes the request over, else
// this start becomes the application.
void shareActivated(NautilusMenuItem* item, gpointer) {
    const auto* path = static_cast<const char*>(g_object_get_data(G_OBJECT(item), "orvella-path"));
    const std::string program = applicationProgram();
    if (!path || program.empty()) {
        ModuleLog::write("cannot share: the Orvella program was not found");
        return;
    }
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--share"), const_cast<char*>(path),
                    nullptr};
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error)) {
        ModuleLog::write(std::string("cannot share: ") + error->message);
        g_error_free(error);
        return;
    }
    ModuleLog::write(std::string("asked the application to share ") + path);
}

GList* fileItems(NautilusMenuProvider*, GList* files) {
    if (!extension || !files || files->next) return nullptr;
    const std::string path = pathOf(NAUTILUS_FILE_INFO(files->data));
    if (path.empty() || !extension->shareable(path)) return nullptr;
    NautilusMenuItem* item = nautilus_menu_item_new("OrvellaNautilus::ShareLink", OrvellaPorts::shareMenuTitle,
                                                    "Share a link to this item", nullptr);
    g_object_set_data_full(G_OBJECT(item), "orvella-path", g_strdup(path.c_str()), g_free);
    g_signal_connect(item, "activate", G_CALLBACK(shareActivated), nullptr);
    return g_list_append(nullptr, item);
}

void initInfoProvider(gpointer iface, gpointer) {
    auto* info = static_cast<NautilusInfoProviderInterface*>(iface);
    info->update_file_info = updateFileInfo;
    info->cancel_update = cancelUpdate;
}

void initMenuProvider(gpointer iface, gpointer) {
    static_cast<NautilusMenuProviderInterface*>(iface)->get_file_items = fileItems;
}

void registerProviderType(GTypeModule* module) {
    const GTypeInfo info{sizeof(OrvellaProviderClass), nullptr, nullptr, nullptr, nullptr, nullptr,
                         sizeof(OrvellaProvider), 0, nullptr, nullptr};
    providerType = g_type_module_register_type(module, G_TYPE_OBJECT, "OrvellaNautilusProvider", &info, GTypeFlags(0));
    const GInterfaceInfo infoProvider{initInfoProvider, nullptr, nullptr};
    g_type_module_add_interface(module, providerType, NAUTILUS_TYPE_INFO_PROVIDER, &infoProvider);
    const GInterfaceInfo menuProvider{initMenuProvider, nullptr, nullptr};
    g_type_module_add_interface(module, providerType, NAUTILUS_TYPE_MENU_PROVIDER, &menuProvider);
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void nautilus_module_initialize(GTypeModule* module) {
    registerProviderType(module);
    extension = std::make_shared<Extension>();
    extension->start();
}

G_MODULE_EXPORT void nautilus_module_shutdown() { extension.reset(); }

G_MODULE_EXPORT void nautilus_module_list_types(const GType** types, int* count) {
    static GType listed[1];
    listed[0] = providerType;
    *types = listed;
    *count = 1;
}

}  // extern "C"
