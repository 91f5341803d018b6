#pragma once
// What makes a file the same file to its users beyond its contents: owner, group, permission
// bits, access control list and extended attributes.
#include <sys/stat.h>

#include <string>

// The permission bits a rewritten file keeps: all but setuid and setgid, which would grant
// the new contents the rights given to the old.
mode_t KeptMode(mode_t mode);

// Gives the new file `fd` the identity of the file at `target` (whose stat is `old`): its
// owner and group, its kept mode, its ACL and its extended attributes. Returns 0, or the
// error that stopped it (an owner we may not give, an attribute we may not set).
int CopyIdentity(const std::string& target, const struct stat& old, int fd);
