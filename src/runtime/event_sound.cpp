#include "runtime/event_sound.h"

#include <canberra.h>
#include <dlfcn.h>

namespace tambrel {
namespace {

constexpr std::chrono::seconds kRetryDelay{5};

// libcanberra is loaded with the first bell rather than linked: most
// sessions never ring one, and loading it (with what it pulls in) at every
// start would hold up the first paint. Only the prototypes come from its
// header.
struct Canberra {
  decltype(&ca_context_create) create = nullptr;
  decltype(&ca_context_change_props) changeProps = nullptr;
  decltype(&ca_context_open) open = nullptr;
  decltype(&ca_context_play) play = nullptr;
  decltype(&ca_context_destroy) destroy = nullptr;
};

template <typename Function>
bool Bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// Null when the library or one of its functions is missing; then no bell is
// ever played and the caller's fallback applies. Looked for once: a library
// does not appear while the program runs. Never unloaded, as libcanberra
// loads its own drivers and may leave threads behind.
const Canberra* LoadCanberra() {
  static const Canberra* const loaded = []() -> const Canberra* {
    void* library = dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static Canberra api;
    if (Bind(library, "ca_context_create", api.create) &&
        Bind(library, "ca_context_change_props", api.changeProps) &&
        Bind(library, "ca_context_open", api.open) && Bind(library, "ca_context_play", api.play) &&
        Bind(library, "ca_context_destroy", api.destroy)) {
      return &api;
    }
    dlclose(library);
    return nullptr;
  }();
  return loaded;
}

}  // namespace

EventSound::~EventSound() { Close(); }

bool EventSound::PlayBell() {
  if (context_ == nullptr && !Open()) return false;
  // "bell-window-system" falls back to the theme's plain "bell". Cached on
  // the server after the first time, so later bells start sooner.
  const int result = LoadCanberra()->play(context_, 0, CA_PROP_EVENT_ID, "bell-window-system",
                                          CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
  if (result == CA_SUCCESS) return true;
  // The server may have gone away; a later bell connects afresh.
  Close();
  retryAfter_ = std::chrono::steady_clock::now() + kRetryDelay;
  return false;
}

bool EventSound::Open() {
  if (std::chrono::steady_clock::now() < retryAfter_) return false;
  const Canberra* canberra = LoadCanberra();
  if (canberra == nullptr) return false;
  ca_context* context = nullptr;
  if (canberra->create(&context) != CA_SUCCESS) return false;
  canberra->changeProps(context, CA_PROP_APPLICATION_NAME, "Tambrel", CA_PROP_APPLICATION_ID,
                        "org.tambrel.Tambrel", nullptr);
  if (canberra->open(context) != CA_SUCCESS) {
    canberra->destroy(context);
    retryAfter_ = std::chrono::steady_clock::now() + kRetryDelay;
    return false;
  }
  context_ = context;
  return true;
}

void EventSound::Close() {
  if (context_ == nullptr) return;
  LoadCanberra()->destroy(context_);
  context_ = nullptr;
}

}  // namespace tambrel
