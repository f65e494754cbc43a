#pragma once

#include <memory>

class ServiceClient;

// The service client the application talks through: to the server the environment or the user
// chose, else to this computer's own server, started on first use over the user's service folder.
// One client per server, kept while that server stays chosen, so that connections and tokens
// carry over between calls. Any thread.
namespace ServiceClients {

std::shared_ptr<ServiceClient> current();
// The one client the application holds for its whole run: each call goes to the client current()
// answers then, which carries the tokens over when it changes (this computer's own server started
// again), so that the server named on the sign-in page is the one a sign-in reaches. The service
// inside the application itself when no server can be started.
std::shared_ptr<ServiceClient> forApplication();

}  // namespace ServiceClients
