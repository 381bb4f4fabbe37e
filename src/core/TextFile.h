// Whole-file text I/O with the system's I/O error texts.
#pragma once

#include <string>
#include <vector>

namespace myrl {

// I/O error codes as the program reports them.
constexpr int kIoAccessDenied = 5;
constexpr int kIoDiskFull = 101;

// "ファイルへのアクセスが拒否されました" for access denied, "ディスクがいっぱいです" for a
// write cut short, "I/O エラー (<code>)" for any other code.
std::string InOutErrorText(int code);

// The I/O error code for an errno value: EACCES, EPERM and EROFS are access denied;
// ENOSPC, EDQUOT and EFBIG a write cut short; any other errno is reported as itself.
int InOutCodeFromErrno(int err);

// Throws EInOutError with the text of `code`.
[[noreturn]] void RaiseInOutError(int code);

// Replaces the file at `path` with `bytes` as a whole: the new content is written to a
// temporary file beside it, flushed to disk and renamed over the old one, so a failure
// at any point leaves the old file (or no file) as it was. A file or folder without any
// write permission bit is refused as access denied, for every user including root, as a
// read-only file is. Throws EInOutError.
void WriteFileReplacing(const std::string& path, const std::string& bytes);

// True when `path` is not empty, names an existing regular file and that file opens for
// reading. Never throws.
bool FileCanBeRead(const std::string& path);

// The lines of a text file, without their line ends (CR LF, LF or CR). Throws
// EInOutError when the file cannot be opened or read.
std::vector<std::string> ReadTextLines(const std::string& path);

} // namespace myrl
