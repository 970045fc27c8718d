#pragma once

#include "common/Reporter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace varnetto::testing {

// Records every message and answers questions with a preset answer.
class RecordingReporter : public Reporter {
  public:
    struct Entry {
        std::string text;
        MessageKind kind;
        bool question;
    };
    void message(std::string_view text, MessageKind kind) override {
        entries.push_back({std::string(text), kind, false});
    }
    bool ask(std::string_view text, MessageKind kind) override {
        entries.push_back({std::string(text), kind, true});
        return answer;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& e : entries) out.push_back(e.text);
        return out;
    }
    std::vector<Entry> entries;
    bool answer = true;
};

// A fresh folder removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir() {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path() /
                ("varnetto-test-" + std::to_string(device()) + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str(const std::string& name = {}) const {
        return name.empty() ? path_.string() : (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

// What a shell command prints, for judging outputs with tools of their own.
inline std::string commandOutput(const std::string& line) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(line.c_str(), "r"), &pclose);
    std::string out;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    return out;
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Everything written to a file descriptor (2: what libraries print to stderr)
// while this lives.
class CapturedDescriptor {
  public:
    explicit CapturedDescriptor(int fd) : fd_(fd), saved_(::dup(fd)) {
        std::fflush(nullptr);
        std::FILE* file = std::tmpfile();
        capture_ = ::dup(::fileno(file));
        std::fclose(file);
        ::dup2(capture_, fd_);
    }
    ~CapturedDescriptor() { release(); }
    CapturedDescriptor(const CapturedDescriptor&) = delete;
    CapturedDescriptor& operator=(const CapturedDescriptor&) = delete;
    // Restores the descriptor and returns what was written.
    std::string release() {
        if (saved_ < 0) return text_;
        std::fflush(nullptr);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
        ::lseek(capture_, 0, SEEK_SET);
        char buffer[4096];
        for (ssize_t n; (n = ::read(capture_, buffer, sizeof buffer)) > 0;) text_.append(buffer, n);
        ::close(capture_);
        return text_;
    }

  private:
    int fd_;
    int saved_;
    int capture_ = -1;
    std::string text_;
};

// Runs work and gives it limit to end. A FIFO that work would wait on forever
// is opened for writing and closed when the limit passes, so a hanging read
// ends and the test can report it instead of hanging itself.
inline bool endsWithin(std::chrono::seconds limit, const std::string& fifo,
                       std::function<void()> work) {
    auto done = std::async(std::launch::async, std::move(work));
    if (done.wait_for(limit) == std::future_status::ready) {
        done.get();
        return true;
    }
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    done.wait();
    return false;
}

}  // namespace varnetto::testing
