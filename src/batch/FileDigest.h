#pragma once

// What tells a file's content apart from any other: its SHA-256, as sha256sum prints it, so
// that a study can check the files a run used by hand.

#include <optional>
#include <string>

namespace quendra {

// The SHA-256 of the file's content in 64 lower-case hex digits; nothing when it cannot be read.
std::optional<std::string> fileSha256(const std::string& path);

}  // namespace quendra
