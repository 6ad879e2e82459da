#pragma once
// Shared by the fuzz targets: a broken promise stops the run like a crash,
// so libFuzzer keeps the input that caused it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#define FUZZ_REQUIRE(cond)                                                                     \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #cond);    \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzzsupport {

// One scratch file per process, rewritten for every input.
class TScratchFile {
public:
    explicit TScratchFile(const char* tag)
    {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/dadiz-fuzz-" + tag + "-XXXXXX";
        fd_ = ::mkstemp(path_.data());
        FUZZ_REQUIRE(fd_ >= 0);
    }
    ~TScratchFile()
    {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    void write(const std::uint8_t* data, std::size_t size)
    {
        FUZZ_REQUIRE(::ftruncate(fd_, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            FUZZ_REQUIRE(n > 0);
            done += static_cast<std::size_t>(n);
        }
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace fuzzsupport
