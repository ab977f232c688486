#pragma once

#include <cstdint>
#include <optional>
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
  // Answers with the next of `typed` (nothing: Cancel), or OK on what was
  // offered once they are used up.
  std::optional<std::string> AskText(std::string_view prompt, std::string_view title,
                                     std::string_view text) override {
    questions.push_back({std::string(prompt), MsgStyle::OkOnly, std::string(title)});
    offered.emplace_back(text);
    if (typed.empty()) return std::string(text);
    std::optional<std::string> answer = typed.front();
    typed.erase(typed.begin());
    return answer;
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
  std::vector<std::optional<std::string>> typed;
  std::vector<std::string> offered;
  int beeps = 0;
  int randomizes = 0;

 private:
  RandomGenerator random_;
};

}  // namespace tambrel::testing
