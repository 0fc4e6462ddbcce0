// Whole files of the host file system, read and replaced in one piece.
#pragma once

#include <filesystem>
#include <string>

namespace sim {

// The whole content of a regular file. False when it cannot be opened or read
// to its end (`out` is then left empty).
bool ReadWholeFile(const std::filesystem::path& path, std::string& out);

}  // namespace sim
