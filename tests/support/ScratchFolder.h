#pragma once
// A scratch folder of a test's own: mkdtemp makes it under the temporary folder with a name no
// other run holds, so that runs side by side, and folders a killed run left, never meet. It is
// removed with everything in it when the object goes.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& stem) {
        std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
        path_ = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};
