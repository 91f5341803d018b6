#include "twain/sane/DefaultSource.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace sanedsm {

std::filesystem::path DefaultSourceFile(const char* configHome, const char* home) {
    std::filesystem::path folder;
    if (configHome && *configHome == '/')
        folder = configHome;
    else if (home && *home)
        folder = std::filesystem::path(home) / ".config";
    else
        return {};
    return folder / "corvalux-twain-sane" / "default-source";
}

std::filesystem::path DefaultSourceFile() {
    return DefaultSourceFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string ReadDefaultSource(const std::filesystem::path& file) {
    if (file.empty()) return {};
    std::ifstream in(file);
    std::string device;
    std::getline(in, device);
    return device;
}

bool WriteDefaultSource(const std::filesystem::path& file, const std::string& device) {
    if (file.empty() || device.find('\n') != std::string::npos) return false;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    const std::filesystem::path temporary = file.string() + "." + std::to_string(::getpid()) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << device << '\n';
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, file, error);
    if (!error) return true;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
}

}  // namespace sanedsm
