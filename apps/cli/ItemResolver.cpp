// Resolving item names.
#include "ItemResolver.h"

#include <cctype>
#include <optional>

#include "ArgParser.h"
#include "CliText.h"
#include "JobFile.h"
#include "NodeFormat.h"

namespace tavctl {

namespace {

bool SameText(const std::string& a, const std::string& b, bool foldCase) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (x != y && (!foldCase || std::tolower(x) != std::tolower(y))) return false;
    }
    return true;
}

// How many bytes of `rest` the child name `name` covers: the whole of it, or a leading
// part that ends at a '/' (names of top-level Files and Folders items contain '/').
size_t Covers(const std::string& rest, const std::string& name, bool foldCase) {
    if (name.empty() || name.size() > rest.size()) return 0;
    if (!SameText(rest.substr(0, name.size()), name, foldCase)) return 0;
    if (name.size() == rest.size() || name.back() == '/' || rest[name.size()] == '/')
        return name.size();
    return 0;
}

// Walks down from `start` along `rest`; the longest child name that fits wins, a live
// item before a deleted one. File paths compare exactly; other modules' names also
// without regard to case when nothing matches exactly.
std::optional<TavNodeRec> Descend(const CBaselineView& view, const TavNodeRec& start,
                                  std::string rest) {
    TavNodeRec current = start;
    for (uint32_t depth = 0; !rest.empty(); ++depth) {
        if (depth > view.Count()) return std::nullopt;
        const std::vector<TavNodeRec> children = view.Children(current, true);
        const bool fileItems =
            current.moduleId == MODULE_FILES_ROOT || current.moduleId == MODULE_FILES_ITEM;
        std::optional<TavNodeRec> best;
        size_t bestLength = 0;
        for (int pass = 0; pass < (fileItems ? 1 : 2) && !best; ++pass) {
            for (const TavNodeRec& child : children) {
                const size_t length = Covers(rest, NodeName(child), pass == 1);
                if (length == 0) continue;
                const bool better = !best || length > bestLength ||
                                    (length == bestLength && IsDeleted(*best) && !IsDeleted(child));
                if (better) {
                    best = child;
                    bestLength = length;
                }
            }
        }
        if (!best) return std::nullopt;
        rest.erase(0, bestLength);
        while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
        current = *best;
    }
    return current;
}

std::string Normalized(const std::string& name) {
    std::string out;
    for (char c : name)
        if (c != '/' || out.empty() || out.back() != '/') out += c;
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::optional<uint32_t> IdOf(const std::string& name) {
    if (name.size() > 1 && name[0] == '#') {
        const uint32_t id = NodeIdFromString(name.c_str());
        if (id != TAV_NONE) return id;
        return std::nullopt;
    }
    return ParseNumber(name);
}

bool NotFound(const CBaselineView& view, const std::string& name, std::string& problem) {
    problem = Printable(name) + ": " + text::ERR_NO_ITEM + " in baseline " +
              std::to_string(view.Number());
    return false;
}

bool ResolveFilesPath(const CBaselineView& view, const std::string& path, ResolvedItem& out,
                      std::string& problem) {
    for (const TavNodeRec& root : view.Roots()) {
        if (!IsFilesRoot(root)) continue;
        if (std::optional<TavNodeRec> found = Descend(view, root, path)) {
            out.node = *found;
            out.path = path;
            return true;
        }
        if (path == "/") {  // everything that was backed up
            out.node = root;
            out.path = path;
            return true;
        }
        // A folder above the stored items: list the top-level items inside it.
        const std::string prefix = path + "/";
        for (const TavNodeRec& child : view.Children(root, false)) {
            const std::string childName = NodeName(child);
            if (childName.compare(0, prefix.size(), prefix) == 0) out.below.push_back(child);
        }
        if (!out.below.empty()) {
            out.stored = false;
            out.path = path;
            return true;
        }
    }
    return NotFound(view, path, problem);
}

}  // namespace

bool ResolveItem(const CBaselineView& view, const std::string& name, ResolvedItem& out,
                 std::string& problem) {
    out = ResolvedItem{};
    if (std::optional<uint32_t> id = IdOf(name)) {
        if (!view.Load(*id, out.node)) return NotFound(view, name, problem);
        std::optional<std::string> path = view.ItemPath(out.node);
        out.path = path ? *path : IdText(*id);
        return true;
    }
    const std::string path = Normalized(name);
    if (path.empty()) return NotFound(view, name, problem);
    if (path[0] == '/') return ResolveFilesPath(view, path, out, problem);

    // Names from a module root down; a name whose first part is no module root is a path
    // relative to the current folder.
    const size_t slash = path.find('/');
    const std::string rootName = path.substr(0, slash);
    std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
    for (int pass = 0; pass < 2; ++pass) {
        for (const TavNodeRec& root : view.Roots()) {
            if (!SameText(NodeName(root), rootName, pass == 1)) continue;
            if (IsFilesRoot(root) && !rest.empty())
                return ResolveFilesPath(view, "/" + rest, out, problem);
            if (std::optional<TavNodeRec> found = Descend(view, root, rest)) {
                out.node = *found;
                std::optional<std::string> itemPath = view.ItemPath(out.node);
                out.path = itemPath ? *itemPath : path;
                return true;
            }
            return NotFound(view, name, problem);
        }
    }
    return ResolveFilesPath(view, CommandLinePath(path), out, problem);
}

}  // namespace tavctl
