#pragma once

#include "common/Reporter.h"

#include <filesystem>
#include <fstream>
#include <iterator>
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

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace varnetto::testing
