// tavctl info and tavctl baselines: what a repository is made of and what it holds.
#include <algorithm>
#include <ostream>

#include "CommandGroups.h"
#include "ContentReader.h"
#include "NodeFormat.h"
#include "PasswordSource.h"
#include "RepoSession.h"
#include "UnusedSpace.h"
#include "platform/FileSystem.h"
#include "tavrep/FormatAdaptor.h"

namespace tavctl {

namespace {

std::string Pad(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string PadLeft(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

// "yes", "no" or "?" from the digest slots of an image's security record.
std::string ImagePassword(CTavRepository& rep, uint32_t id) {
    try {
        const TavPosition a = rep.GetEntryPoint(id, 1);
        const TavPosition b = rep.GetEntryPoint(id, 2);
        const bool none = a.image == TAV_NONE && a.offset == TAV_NONE && b.image == TAV_NONE &&
                          b.offset == TAV_NONE;
        return none ? "no" : "yes";
    } catch (CTavException* e) {
        TakeException(e);
        return "?";
    }
}

// True when a listed baseline's node table lies in image `id`.
bool NeededImage(CTavRepository& rep, uint32_t id) {
    if (const TavBaselineList* list = rep.GetBaselineList())
        for (const TavBaselineHeaderRec& h : list->items)
            if (h.image == id) return true;
    return false;
}

void PrintImages(CTavRepository& rep, std::ostream& out) {
    out << "\n  ID  FORMAT  PASSWORD          SIZE  PATH\n";
    const uint32_t last = rep.GetCurrentImageID();
    for (uint32_t id = 0; last != TAV_NONE && id <= last; ++id) {
        const std::string path = ImagePathFor(rep, id);
        std::string format = "-", password = "-", size = "-", note;
        TavFindData data;
        // A forget deletes the images no baseline uses: such gaps are not listed.
        if (rep.GetImagePath(id).empty() && !plat::GetFindData(path, data) && !NeededImage(rep, id))
            continue;
        if (!plat::GetFindData(path, data)) {
            note = " (missing)";
        } else {
            size = std::to_string(data.Size());
            if (rep.GetImageFromID(id) == nullptr) {
                note = " (cannot be opened as image " + std::to_string(id) + ")";
            } else {
                if (CTavFormatAdaptor* adaptor = rep.GetAdaptor(id))
                    format = FormatVersionText(adaptor->FormatVersion());
                password = ImagePassword(rep, id);
            }
        }
        out << PadLeft(std::to_string(id), 4) << "  " << Pad(format, 6) << "  " << Pad(password, 8)
            << "  " << PadLeft(size, 12) << "  " << Printable(path) << note << '\n';
    }
}

int RunInfo(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    CTavRepository& rep = session.Rep();
    const TavBaselineList* list = rep.GetBaselineList();
    bool passwordSet = false;
    try {
        passwordSet = !rep.VerifyPassword("");
    } catch (CTavException* e) {
        TakeException(e);
    }
    std::ostream& out = ctx.out;
    out << "Repository:   " << Printable(session.Path()) << '\n';
    const uint32_t entryImage = rep.GetEntryImageID();
    if (entryImage != TAV_NONE && rep.GetAdaptor(entryImage) != nullptr)
        out << "Format:       " << FormatVersionText(rep.GetAdaptor(entryImage)->FormatVersion())
            << '\n';
    out << "Password:     " << (passwordSet ? "set" : "not set") << '\n';
    if (list != nullptr) {
        out << "Entry point:  image " << list->entryPoint.image << ", offset "
            << list->entryPoint.offset << '\n';
        out << "Baselines:    " << list->items.size();
        if (!list->items.empty()) {
            const TavBaselineHeaderRec& newest = list->items.back();
            out << " (newest: " << newest.number << ", saved " << FormatLocalTime(newest.time)
                << ")";
        }
        out << '\n';
    }
    const uint32_t last = rep.GetCurrentImageID();
    out << "Images:       " << (last == TAV_NONE ? 0 : last + 1) << '\n';
    PrintImages(rep, out);
    rep.ReleaseReadHandles();
    const std::vector<std::string> unused = DescribeUnusedSpace(session);
    if (!unused.empty()) out << '\n';
    for (const std::string& line : unused) out << line << '\n';
    return EXIT_OK;
}

int RunBaselines(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const TavBaselineList* list = session.Rep().GetBaselineList();
    if (list == nullptr) return EXIT_OK;
    size_t nameWidth = 4;
    for (const TavBaselineHeaderRec& h : list->items)
        nameWidth = std::max(nameWidth, Printable(Utf16FieldToUtf8(h.name, 64)).size());
    std::ostream& out = ctx.out;
    out << "  NO  TYPE         SAVED                IMAGE  " << Pad("NAME", nameWidth)
        << "  DESCRIPTION\n";
    for (const TavBaselineHeaderRec& h : list->items) {
        const std::string name = Printable(Utf16FieldToUtf8(h.name, 64));
        const std::string description = Printable(Utf16FieldToUtf8(h.description, 512));
        std::string line =
            PadLeft(std::to_string(h.number), 4) + "  " + Pad(BackupTypeText(h.type), 11) + "  " +
            Pad(FormatLocalTime(h.time), 19) + "  " + PadLeft(std::to_string(h.image), 5) + "  " +
            Pad(name, nameWidth) + "  " + description;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    }
    return EXIT_OK;
}

}  // namespace

void RegisterInfoCommands(CCommandTable& table) {
    table.Add({{"info"},
               "REPO [--password-file FILE]",
               "show a repository's images, entry point and baselines",
               "Shows the repository that REPO (any of its image files) belongs to: its format\n"
               "version, whether a password is set, the entry point (where the newest baseline\n"
               "table lies), the number of baselines, and every image file with its id, format,\n"
               "password mark, size and path (gaps in the numbering are left by forgotten\n"
               "baselines), and the images that no baseline uses.",
               {PasswordFileOption()},
               1,
               1,
               RunInfo});
    table.Add({{"baselines"},
               "REPO [--password-file FILE]",
               "list the baselines of a repository",
               "Lists every baseline, oldest first: its number, backup type (Full or\n"
               "Incremental), the time it was saved (local time), the image holding its node\n"
               "table, its name and description. Baseline 0 is the empty one made with the\n"
               "repository.",
               {PasswordFileOption()},
               1,
               1,
               RunBaselines});
}

}  // namespace tavctl
