#pragma once
// The manager's default source, kept as the SANE device name in a small file of its own under
// the user's configuration folder: $XDG_CONFIG_HOME/corvalux-twain-sane/default-source, or
// ~/.config/... when that is not set.
#include <filesystem>
#include <string>

namespace sanedsm {

// Empty when neither a configuration folder nor a home folder is known. A relative
// XDG_CONFIG_HOME is ignored, as the base directory rules ask.
std::filesystem::path DefaultSourceFile(const char* configHome, const char* home);
std::filesystem::path DefaultSourceFile();

// The device name in the file; empty when there is no file or it is empty.
std::string ReadDefaultSource(const std::filesystem::path& file);
// Replaces the file (written beside it, then renamed over it); false when that fails.
bool WriteDefaultSource(const std::filesystem::path& file, const std::string& device);

}  // namespace sanedsm
