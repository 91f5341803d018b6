#pragma once
// Rewriting a file's contents where it stands, for a file that a new one put in its place
// would not be: several links, a folder we may not write, a bind mount, an owner or
// attributes we may not give. Inode, owner, group, ACL and attributes all stay as they are.
#include <string>

// Whether we may add and remove names in `folder`.
bool FolderWritable(const std::string& folder);

// Where a save's scratch and backup files go: the target's own folder when we may write it,
// else the user's runtime folder (XDG_RUNTIME_DIR, else a private folder under /tmp).
std::string SideFolder(const std::string& target);

// Replaces the contents of the regular file `target` with those of the file open as
// `contents`. The old contents are first copied to "NAME.corvalux-backup" (beside the file or
// in the runtime folder) and synced; the backup goes only once the new contents are written
// and synced. A failure puts the old contents back. After a kill the backup remains, and the
// next such save of the file is refused with a message naming it rather than overwrite it.
// Errors name `path`, the name the save was given.
void WriteInPlace(const std::string& path, const std::string& target, int contents);
