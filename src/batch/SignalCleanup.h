#pragma once
// corvalux-batch stopped by Ctrl+C, kill or a closed terminal while it saves: the named
// temporary files of the saves in flight (where the file system has no unnamed ones) are
// removed first.

// Installs handlers for SIGINT, SIGTERM and SIGHUP that unlink the temporary files in
// progress, if any, and then die of the same signal, so the caller sees the usual status.
void RemoveTemporaryFileOnSignals();
