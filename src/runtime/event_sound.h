#pragma once

#include <chrono>

struct ca_context;

namespace tambrel {

// The desktop sound theme's event sounds, played through libcanberra: the
// way desktop programs reach PipeWire or PulseAudio, under X11 and Wayland
// alike. Nothing is loaded or connected until the first sound is asked for,
// so that start-up neither loads libcanberra nor waits on a sound server.
class EventSound {
 public:
  EventSound() = default;
  ~EventSound();
  EventSound(const EventSound&) = delete;
  EventSound& operator=(const EventSound&) = delete;

  // Starts the theme's window-system bell and returns without waiting for
  // it to sound. False when no sound server took it, so that the caller can
  // signal some other way.
  bool PlayBell();

 private:
  bool Open();
  void Close();

  ca_context* context_ = nullptr;
  // After a failure the server is not asked again for a while: a missing
  // one would otherwise be looked for on every refused key.
  std::chrono::steady_clock::time_point retryAfter_{};
};

}  // namespace tambrel
