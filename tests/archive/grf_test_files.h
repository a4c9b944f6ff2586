// Archives the archive tests write to temporary files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace plovant::testing {

// A file in a fresh temporary folder, removed with the folder at the end of the test.
class TempArchive {
public:
    explicit TempArchive(const std::vector<uint8_t>& bytes, const std::string& name = "test.grf") {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("plovant-grf-" + std::string(info ? info->name() : "x") + "-" +
                   std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        path_ = folder_ / name;
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempArchive() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Path() const { return path_.string(); }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_, path_;
};

// `size` bytes that deflate cannot shrink.
inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = uint8_t(random());
    return bytes;
}

inline std::vector<uint8_t> Text(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::filesystem::path InteropFile(const std::string& name) {
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "interop" / name;
}

}  // namespace plovant::testing
