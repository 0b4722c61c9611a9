// Files for the targets that write: a folder of this process's own under /tmp (fork mode
// runs several processes at once), wide paths for the library, whole-file reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzz {

// /tmp/<prefix>.<pid>, created on the first call and emptied on every call; removed when
// the process ends normally. One folder per process.
std::filesystem::path FreshWorkDir(const char* prefix);

// The path as the library takes it (the ASCII of /tmp paths widened).
std::wstring WidePath(const std::filesystem::path& path);

// The file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);
// False when the file cannot be written in full.
bool WriteWholeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

// Removes everything in the folder (not the folder).
void EmptyDir(const std::filesystem::path& dir);

}  // namespace fuzz
