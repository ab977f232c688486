#include "runtime/event_sound.h"

#include <canberra.h>

namespace tambrel {
namespace {

constexpr std::chrono::seconds kRetryDelay{5};

}  // namespace

EventSound::~EventSound() { Close(); }

bool EventSound::PlayBell() {
  if (context_ == nullptr && !Open()) return false;
  // "bell-window-system" falls back to the theme's plain "bell". Cached on
  // the server after the first time, so later bells start sooner.
  const int result = ca_context_play(context_, 0, CA_PROP_EVENT_ID, "bell-window-system",
                                     CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
  if (result == CA_SUCCESS) return true;
  // The server may have gone away; a later bell connects afresh.
  Close();
  retryAfter_ = std::chrono::steady_clock::now() + kRetryDelay;
  return false;
}

bool EventSound::Open() {
  if (std::chrono::steady_clock::now() < retryAfter_) return false;
  ca_context* context = nullptr;
  if (ca_context_create(&context) != CA_SUCCESS) return false;
  ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Tambrel", CA_PROP_APPLICATION_ID,
                          "org.tambrel.Tambrel", nullptr);
  if (ca_context_open(context) != CA_SUCCESS) {
    ca_context_destroy(context);
    retryAfter_ = std::chrono::steady_clock::now() + kRetryDelay;
    return false;
  }
  context_ = context;
  return true;
}

void EventSound::Close() {
  if (context_ == nullptr) return;
  ca_context_destroy(context_);
  context_ = nullptr;
}

}  // namespace tambrel
