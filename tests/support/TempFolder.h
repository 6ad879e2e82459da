#pragma once
// A folder of the test's own under the temporary folder, removed with all it
// holds when the object goes, whether the checks passed or not.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace testsupport {

class TTempFolder {
public:
    explicit TTempFolder(const std::string& prefix)
    {
        const char* base = std::getenv("TMPDIR");
        std::string name = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
        if (!mkdtemp(name.data()))
            throw std::runtime_error("cannot make a folder like " + name);
        path_ = name;
    }
    ~TTempFolder()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        // Folders a test made read-only give their entries up too.
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace testsupport
