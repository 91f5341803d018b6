#pragma once
// The temporary files of a save. Each is unnamed where the file system allows it (O_TMPFILE),
// so that a killed program leaves nothing; where it does not, it is named "NAME.XXXXXX" and
// that name is published for a signal handler (UnlinkTemporaryFilesInProgress) until it goes.
#include <string>

#include "image/RegularFile.h"

// The folder part of `path`: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& path);

// One temporary file. Its temporary name, if it has one, is removed with it.
struct TemporaryFile {
    FileDescriptor File;
    std::string Name;  // empty while it has none
    int Slot = -1;     // where the name is published for a signal handler, if it is

    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { Remove(); }
    // Unlinks the temporary name; the open file stays usable.
    void Remove();
    // Unlinks and closes it.
    void Discard();
    // The name is the saved file's own now: forgets it without removing it.
    void Keep();
};

// Opens a temporary file in the folder of `file`, named after it in the fallback. Errors
// name `path`, the file being saved.
void CreateTemporary(const std::string& path, const std::string& file, TemporaryFile& temp);

// Gives an unnamed temporary file a fresh random name beside `file`. Returns 0 or the error.
int NameTemporary(TemporaryFile& temp, const std::string& file);

// Links the temporary file's contents under `name` as well; EEXIST when the name is taken.
int LinkTemporaryAs(const TemporaryFile& temp, const std::string& name);
