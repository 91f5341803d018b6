#pragma once
// corvalux-batch stopped by Ctrl+C, kill or a closed terminal while it saves: the named
// temporary file of the save (where the file system has no unnamed ones) is removed first.

// Installs handlers for SIGINT, SIGTERM and SIGHUP that unlink the temporary file in
// progress, if any, and then die of the same signal, so the caller sees the usual status.
void RemoveTemporaryFileOnSignals();
