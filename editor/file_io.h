#pragma once
// Byte-exact file reading and crash-safe writing for editor documents.
// Plain POSIX; errors come back as errno values so callers can show the
// system's own text for them.

#include <cstdint>
#include <string>
#include <string_view>

namespace korl_editor {

// Files above this size are refused rather than loaded into the control.
inline constexpr std::int64_t kMaxEditableFileBytes = 64ll * 1024 * 1024;

// Nanoseconds since the epoch of the file's last modification; 0 when the
// file cannot be examined (a missing file counts as "no time").
std::int64_t FileWriteTime(const std::string& path);

// Reads the whole file. On failure returns false and sets *err to an errno
// value (EFBIG for files above kMaxEditableFileBytes, EISDIR for folders).
bool ReadWholeFile(const std::string& path, std::string* out, int* err);

// Writes the bytes beside the file (a temporary in the same folder), flushes
// them to disk and only then renames over the old file, so the old file stays
// intact whenever anything fails. A symbolic link is followed: its target is
// replaced, the link stays. The permissions of an existing file are kept.
bool WriteFileBeside(const std::string& path, std::string_view bytes, int* err);

// The system's text for an errno value.
std::string SystemErrorText(int err);

} // namespace korl_editor
