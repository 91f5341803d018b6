#include "image/FileIdentity.h"

#include <sys/acl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "image/AtomicWrite.h"

mode_t KeptMode(mode_t mode) { return mode & 07777 & ~mode_t(S_ISUID | S_ISGID); }

namespace {
// Reads a value of unknown length: `get(nullptr, 0)` gives the length, then `get` fills it,
// again if it grew in between. Returns 0 or the error.
template <class Get>
int ReadSized(std::vector<char>& into, Get get) {
    for (;;) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0) return errno;
        into.resize(std::size_t(size) + 1);  // never empty, so data() is a real buffer
        const ssize_t got = get(into.data(), into.size());
        if (got >= 0) {
            into.resize(std::size_t(got));
            return 0;
        }
        if (errno != ERANGE) return errno;
    }
}

// The access ACL. Copying it also sets the group bits back from the ACL's mask to the owning
// group's own entry. A file system without ACLs has none to copy.
int CopyAcl(const std::string& target, int fd) {
    const acl_t acl = ::acl_get_file(target.c_str(), ACL_TYPE_ACCESS);
    if (acl == nullptr) return errno == ENOTSUP ? 0 : errno;
    const int error = ::acl_set_fd(fd, acl) == 0 ? 0 : errno;
    ::acl_free(acl);
    return error;
}

// The ACL is copied above; a file capability would grant rights as setuid does.
bool Skipped(std::string_view name) { return name.starts_with("system.posix_acl_") || name == "security.capability"; }

int CopyAttributes(const std::string& target, int fd) {
    const char* file = target.c_str();
    std::vector<char> names;
    if (const int error = ReadSized(names, [&](char* list, std::size_t size) { return ::listxattr(file, list, size); }))
        return error == ENOTSUP ? 0 : error;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + names.size(); name += std::strlen(name) + 1) {
        if (Skipped(name)) continue;
        const int error =
            ReadSized(value, [&](char* data, std::size_t size) { return ::getxattr(file, name, data, size); });
        if (error == ENODATA) continue;  // removed meanwhile
        if (error != 0) return error;
        if (::fsetxattr(fd, name, value.data(), value.size(), 0) != 0) return errno;
    }
    return 0;
}
}  // namespace

int CopyIdentity(const std::string& target, const struct stat& old, int fd) {
    if (const int fault = InjectedFault(WriteStep::Identity)) return fault;
    // The owner first: fchown clears setuid and setgid, and an owner or group we may not give
    // is the commonest refusal.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) return errno;
    if (::fchmod(fd, KeptMode(old.st_mode)) != 0) return errno;
    if (const int error = CopyAcl(target, fd)) return error;
    return CopyAttributes(target, fd);
}
