#pragma once

#include "Status.h"
#include "SystemCalls.h"

#include <optional>
#include <string>
#include <string_view>

namespace pervo::machine {

// The registry's file on disk, and the steps that replace it so that a crash
// or a full disk at any moment leaves either the old file or the new one.
//
// Writers take an exclusive lock on a sentinel file beside the hive
// (`<hive>.lock`). It is never renamed or removed: a lock on the hive itself
// would be lost at the first rename, and removing the sentinel would let two
// writers lock two different files. The new text goes to `<hive>.tmp` in the
// same folder, is flushed, renamed over the hive, and the folder is flushed
// so that the rename itself survives a crash. Only the lock holder writes the
// temporary file, so one name serves every writer, and what a writer killed
// halfway leaves there is cleared by the next one.
//
// One object serves one change: Lock, Read, Replace, and the destructor
// releases the lock. Every system call goes through the SystemCalls seam.
class HiveFile {
public:
    HiveFile(std::string path, SystemCalls& calls);
    ~HiveFile();

    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // The whole file, or no text when there is no file.
    Result<std::optional<std::string>> Read();

    // Creates the hive's folder and the lock file when missing, then waits
    // until no other writer holds the lock and takes it.
    Status Lock();

    // Puts text in place of the hive. On failure the temporary file is removed
    // and the hive is as it was, unless Replaced() says the rename was done
    // and only flushing the folder failed.
    Status Replace(std::string_view text);
    bool Replaced() const { return m_replaced; }

private:
    Status CreateFolders();

    std::string m_path;
    std::string m_folder;
    std::string m_lockPath;
    std::string m_tempPath;
    SystemCalls& m_calls;
    int m_lockFd = -1;
    bool m_replaced = false;
};

}  // namespace pervo::machine
