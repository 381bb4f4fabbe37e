// Whole-file text I/O with the system's I/O error texts.
#pragma once

#include <chrono>
#include <cstddef>
#include <exception>
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

// What the user reads about a file that was not read or written: InOutErrorDetail and a full
// stop for an EInOutError, what() of any other error (a sentence of its own).
std::string FileErrorReason(const std::exception& e);
// The same naming the file: an EInOutError's reason names it already; any other error's
// what() is followed by " (<path>).".
std::string FileErrorReason(const std::exception& e, const std::string& path);

// Symbolic links. Every file this program reads or writes may be reached through links, and
// each link is followed only where the kernel's rule for protected links would follow it,
// whatever the system's setting: a link in a sticky folder that every user may write to
// (/tmp and the like) only when it belongs to this user or to the folder's owner. A link
// another user put there is refused as access denied, with the reason in Why, and nothing
// is read, written or created.

// Replaces the file at `path` with `bytes` as a whole: the new content is written to a
// temporary file beside it ("<name>.XXXXXX"), flushed to disk and renamed over the old
// one, so a failure at any point leaves the old file (or no file) as it was. A symbolic
// link (or a chain of them) is followed, as above, and the file it names is replaced,
// created when it does not exist yet; the link stays. A replaced file keeps its permission
// bits, and its owner and group where the user may set them; a new file gets the
// permissions the umask leaves of rw-rw-rw-. A file the user may not write, or a folder the
// user may not write or enter, is refused as access denied (the system's answer for this
// user, not the mode bits: another user's rw-r--r-- file is not replaced though its
// folder could be written); so is a file or folder without any write permission bit, for
// every user including root, as a read-only file is. Throws EInOutError.
void WriteFileReplacing(const std::string& path, const std::string& bytes);

// Removes what WriteFileReplacing leaves behind when the program is killed in the middle
// of a write: the temporaries "<name>.XXXXXX" of `names` in `folder` that are regular
// files of this user last written before `before`. Returns how many went. Never throws.
int RemoveStaleTemporaries(const std::string& folder, const std::vector<std::string>& names,
                           std::chrono::system_clock::time_point before);

// True when `path` is not empty, names an existing regular file and that file opens for
// reading. Never throws.
bool FileCanBeRead(const std::string& path);

// The bytes of the regular file at `path`, at most `maxBytes + 1` of them, so that a caller
// can tell a file over its limit from one at it. Every reader of this program opens its file
// this way: without waiting for a writer (a FIFO), only a regular file (a FIFO, a device
// such as /dev/zero, a folder are refused with the reason in Why), links as above. Throws
// EInOutError.
std::string ReadFileBytes(const std::string& path, size_t maxBytes);

// The lines of a text already in memory, split at LF, a CR before the LF dropped; at most
// `maxLines` of them. The views point into `text`.
std::vector<std::string_view> SplitTextLines(std::string_view text,
                                             size_t maxLines = std::numeric_limits<size_t>::max());

// The lines of a file's text as every reader of this program takes them: without their
// line ends (CR LF, LF or a lone CR) and without a UTF-8 byte order mark at the start; at
// most `maxLines` of them. The views point into `text`.
std::vector<std::string_view> TextLines(std::string_view text,
                                        size_t maxLines = std::numeric_limits<size_t>::max());

// The lines of a text file, as TextLines takes them, opened as ReadFileBytes does. Reading
// stops after `maxLines` lines. A line longer than `maxLineBytes` keeps as many of its
// first bytes as end between two UTF-8 characters, followed by "…"; the rest of it is read
// past, not kept. A file that runs past `maxBytes` bytes before its `maxLines`th line ends is
// refused. Throws EInOutError when the file cannot be opened or read.
std::vector<std::string> ReadTextLines(const std::string& path,
                                       size_t maxLines = std::numeric_limits<size_t>::max(),
                                       size_t maxLineBytes = std::numeric_limits<size_t>::max(),
                                       size_t maxBytes = std::numeric_limits<size_t>::max());

} // namespace myrl
