// The octets of a file, and a file in the temporary directory, removed with the object.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testcommon {

inline std::vector<unsigned char> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFile {
public:
    explicit TempFile(const std::vector<unsigned char>& contents = {}) {
        static std::atomic<int> counter{0};
        m_path = (std::filesystem::temp_directory_path() /
                  ("vorlan-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                     .string();
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { std::filesystem::remove(m_path); }

    const char* Path() const { return m_path.c_str(); }
    std::vector<unsigned char> Read() const { return ReadFile(m_path); }

private:
    std::string m_path;
};

}  // namespace testcommon
