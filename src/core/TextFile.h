// Whole-file text I/O with the system's I/O error texts.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace myrl {

class EInOutError;

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
// Throws EInOutError with the code and text of errno value `err`, keeping `err`.
[[noreturn]] void RaiseErrnoError(int err);

// An English sentence for the user: the file and why the operation failed, such as
// "myrl_prm.txt: permission denied: ...". The reason alone when the file is not known.
std::string InOutErrorDetail(const EInOutError& e);

// Replaces the file at `path` with `bytes` as a whole: the new content is written to a
// temporary file beside it, flushed to disk and renamed over the old one, so a failure
// at any point leaves the old file (or no file) as it was. A symbolic link (or a chain of
// them) is followed and the file it names is replaced, created when it does not exist
// yet; the link stays. A replaced file keeps its permission bits, and its owner and group
// where the user may set them; a new file gets the permissions the umask leaves of
// rw-rw-rw-. A file or folder without any write permission bit is refused as access
// denied, for every user including root, as a read-only file is. Throws EInOutError.
void WriteFileReplacing(const std::string& path, const std::string& bytes);

// True when `path` is not empty, names an existing regular file and that file opens for
// reading. Never throws.
bool FileCanBeRead(const std::string& path);

// The lines of a text file, without their line ends (CR LF, LF or CR) and without a
// UTF-8 byte order mark at the start of the file. Reading stops after `maxLines` lines. A
// line longer than `maxLineBytes` keeps as many of its first bytes as end between two
// UTF-8 characters, followed by "…"; the rest of it is read past, not kept. Throws
// EInOutError when the file cannot be opened or read.
// The lines of a text already in memory, split at LF, a CR before the LF dropped; at most
// `maxLines` of them. The views point into `text`.
std::vector<std::string_view> SplitTextLines(std::string_view text,
                                             size_t maxLines = std::numeric_limits<size_t>::max());

std::vector<std::string> ReadTextLines(const std::string& path,
                                       size_t maxLines = std::numeric_limits<size_t>::max(),
                                       size_t maxLineBytes = std::numeric_limits<size_t>::max());

} // namespace myrl
