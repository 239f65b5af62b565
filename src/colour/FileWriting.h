#pragma once

// Writing a whole file so that a failure never leaves a half-written file behind: the bytes go
// to a temporary file beside the target, which replaces the target only once everything was
// written and flushed. An existing file therefore stays intact when the disk is full or the
// folder is read-only.

#include <span>
#include <string>

namespace quendra {

// Returns false, leaving any existing file untouched, when the file could not be written.
bool writeFileReplacing(const std::string& path, std::span<const char> bytes);

}  // namespace quendra
