// Where restored items go: checking stored names and making target folders without ever
// leaving the restore target through a stored name or a symbolic link.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace restorepath {

// The longest target path a restore writes (PATH_MAX less the terminator).
constexpr size_t MAX_TARGET_BYTES = 4095;

// True for the name of an item below the top level: not empty, not "." or "..", without
// '/' or NUL. Stored names are input: anything else could lead outside the target.
bool IsPlainName(const std::string& name);

// The parts of a top-level item's name (the absolute path of the backed-up source): empty
// and "." parts are dropped. False when the name is not absolute, holds a NUL or a ".."
// part. "/" gives no parts.
bool SplitTopLevel(const std::string& name, std::vector<std::string>& parts);

// `base` with `parts` appended, '/' separated (base "/" gives "/a/b").
std::string Join(const std::string& base, const std::vector<std::string>& parts, size_t count);

// Makes the folder `base`/`parts...` and returns its path in `out`. `base` is made with its
// parents when missing and may be (or lie below) a symbolic link: it is the place the user
// chose. Of `parts`, the first `trusted` may be existing links too (they are the system's own
// folders on the way to an original location); every later part must be a real folder or
// is made, so a link left in the target never leads a restore elsewhere. `created` tells
// whether the last part was made by this call. False, with `out` set to the path that
// failed, when a folder cannot be made or a part is a link or a file. With `make` false
// nothing is made: the checks are the same and `created` tells whether it would be made.
bool MakeFolder(const std::string& base, const std::vector<std::string>& parts, size_t trusted,
                std::string& out, bool& created, bool make = true);

// Makes the folder `path` (whose parent exists) unless a real folder of that name is there;
// a link or a file of that name fails. `created` tells whether it was made (with `make`
// false: whether it would be).
bool MakeChildFolder(const std::string& path, bool& created, bool make = true);

}  // namespace restorepath
