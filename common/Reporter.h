#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

enum class MessageKind { Stop, Exclamation, Information };

// How the core speaks to the user. The Qt program shows message boxes, the
// command-line tool prints to stderr, tests record what was said.
class Reporter {
  public:
    virtual ~Reporter() = default;
    virtual void message(std::string_view text, MessageKind kind) = 0;
    // A Yes/No question; true means Yes.
    virtual bool ask(std::string_view text, MessageKind kind) = 0;
};

// Swallows everything; questions are answered No.
class SilentReporter final : public Reporter {
  public:
    void message(std::string_view, MessageKind) override {}
    bool ask(std::string_view, MessageKind) override { return false; }
};

// Keeps what is said for the window to show later, from its own thread:
// work in the background never waits for the user. Questions are answered No.
class CollectingReporter final : public Reporter {
  public:
    void message(std::string_view text, MessageKind) override { said.emplace_back(text); }
    bool ask(std::string_view text, MessageKind kind) override {
        message(text, kind);
        return false;
    }
    std::vector<std::string> said;
};

// printf-style formatting for the system's message templates ("%s", "%d").
std::string formatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace varnetto
