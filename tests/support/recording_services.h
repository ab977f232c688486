#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/services.h"

namespace tambrel::testing {

struct Message {
  std::string prompt;
  MsgStyle style;
  std::string title;
  bool operator==(const Message&) const = default;
};

// Services that answer every message box at once and keep a record of
// what the user was told, with a generator seeded for repeatable draws.
class RecordingServices final : public Services {
 public:
  explicit RecordingServices(std::uint64_t seed = 20261207) : random_(seed) {}

  void MsgBox(std::string_view prompt, MsgStyle style, std::string_view title) override {
    messages.push_back({std::string(prompt), style, std::string(title)});
  }
  bool AskYesNo(std::string_view prompt, std::string_view title) override {
    questions.push_back({std::string(prompt), MsgStyle::OkOnly, std::string(title)});
    return answer_yes;
  }
  void Beep() override { ++beeps; }
  // A timer that never moves: the draws must still vary.
  void Randomize() override {
    ++randomizes;
    random_.MixTimer(0);
  }
  RandomGenerator& Random() override { return random_; }

  std::vector<Message> messages;
  std::vector<Message> questions;
  bool answer_yes = false;
  int beeps = 0;
  int randomizes = 0;

 private:
  RandomGenerator random_;
};

}  // namespace tambrel::testing
