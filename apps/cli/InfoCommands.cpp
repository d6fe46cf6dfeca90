// tavctl info and tavctl baselines: what a repository is made of and what it holds.
#include <algorithm>
#include <ostream>

#include "CommandGroups.h"
#include "ContentReader.h"
#include "Json.h"
#include "Progress.h"
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

struct ImageRow {
    uint32_t id = 0;
    std::string path, format = "-", password = "-";
    bool missing = false, unreadable = false, newer = false;
    uint64_t size = 0;
};

std::vector<ImageRow> ImageRows(CTavRepository& rep) {
    std::vector<ImageRow> rows;
    uint32_t last = rep.GetCurrentImageID();
    // Images a newer version of Tavora wrote are not held, but they are listed.
    for (uint32_t id : rep.GetNewerImages())
        if (last == TAV_NONE || id > last) last = id;
    for (uint32_t id = 0; last != TAV_NONE && id <= last; ++id) {
        ImageRow row;
        row.id = id;
        row.path = rep.ImagePathOf(id);
        TavFindData data;
        // A forget deletes the images no baseline uses: such gaps are not listed.
        if (rep.GetImagePath(id).empty() && !plat::GetFindData(row.path, data) && !NeededImage(rep, id))
            continue;
        if (!plat::GetFindData(row.path, data)) {
            row.missing = true;
        } else {
            row.size = data.Size();
            if (rep.GetNewerImages().count(id) != 0) {
                row.newer = true;
            } else if (rep.GetImageFromID(id) == nullptr) {
                row.unreadable = true;
            } else {
                if (CTavFormatAdaptor* adaptor = rep.GetAdaptor(id))
                    row.format = FormatVersionText(adaptor->FormatVersion());
                row.password = ImagePassword(rep, id);
            }
        }
        rows.push_back(row);
    }
    return rows;
}

void PrintImages(const std::vector<ImageRow>& rows, std::ostream& out) {
    out << "\n  ID  FORMAT  PASSWORD          SIZE  PATH\n";
    for (const ImageRow& row : rows) {
        const std::string note =
            row.missing ? " (missing)"
            : row.newer ? " (" + NewerReaderText(row.id) + ")"
            : row.unreadable ? " (cannot be opened as image " + std::to_string(row.id) + ")" : "";
        out << PadLeft(std::to_string(row.id), 4) << "  " << Pad(row.format, 6) << "  "
            << Pad(row.password, 8) << "  "
            << PadLeft(row.missing ? "-" : std::to_string(row.size), 12) << "  "
            << Printable(row.path) << note << '\n';
    }
}

std::string ImagesJson(const std::vector<ImageRow>& rows) {
    std::vector<std::string> items;
    for (const ImageRow& row : rows) {
        CJsonObject o;
        o.Num("id", row.id).Str("path", row.path).Bool("missing", row.missing);
        if (!row.missing) o.Num("size", row.size);
        if (row.format != "-") o.Str("format", row.format);
        if (row.newer) o.Bool("needs_newer_version", true);
        if (row.password != "-") o.Str("password", row.password);
        items.push_back(o.Text());
    }
    return JsonArray(items);
}

// Baselines besides the empty baseline 0 made with the repository.
size_t BackupCount(const TavBaselineList& list) {
    size_t n = 0;
    for (const TavBaselineHeaderRec& h : list.items)
        if (h.number != 0) ++n;
    return n;
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
    const uint32_t entryImage = rep.GetEntryImageID();
    std::string format;
    if (entryImage != TAV_NONE && rep.GetAdaptor(entryImage) != nullptr)
        format = FormatVersionText(rep.GetAdaptor(entryImage)->FormatVersion());
    const std::vector<ImageRow> images = ImageRows(rep);
    rep.ReleaseReadHandles();
    std::ostream& out = ctx.out;

    if (args.Has("json")) {
        CJsonObject o;
        o.Str("repository", session.Path());
        if (!format.empty()) o.Str("format", format);
        o.Bool("password", passwordSet);
        if (list != nullptr) {
            o.Raw("entry_point", CJsonObject()
                                     .Num("image", list->entryPoint.image)
                                     .Num("offset", list->entryPoint.offset)
                                     .Text());
            o.Num("baselines", BackupCount(*list));
            if (!list->items.empty())
                o.Raw("newest", CJsonObject()
                                    .Num("number", list->items.back().number)
                                    .Str("saved", FormatLocalTime(list->items.back().time))
                                    .Text());
        }
        o.Raw("images", ImagesJson(images));
        out << o.Text() << '\n';
        return EXIT_OK;
    }
    out << "Repository:   " << Printable(session.Path()) << '\n';
    if (!format.empty()) out << "Format:       " << format << '\n';
    out << "Password:     " << (passwordSet ? "set" : "not set") << '\n';
    if (list != nullptr) {
        out << "Entry point:  image " << list->entryPoint.image << ", offset "
            << list->entryPoint.offset << '\n';
        const size_t count = BackupCount(*list);
        out << "Baselines:    " << count << (count == 1 ? " baseline" : " baselines");
        if (count > 0) {
            const TavBaselineHeaderRec& newest = list->items.back();
            out << " (newest: " << newest.number << ", saved " << FormatLocalTime(newest.time)
                << ")";
        }
        out << '\n';
    }
    out << "Images:       " << images.size() << '\n';
    PrintImages(images, out);
    rep.ReleaseReadHandles();
    const std::vector<std::string> unused = DescribeUnusedSpace(session);
    if (!unused.empty()) out << '\n';
    for (const std::string& line : unused) out << line << '\n';
    return EXIT_OK;
}

// What one baseline holds and what its run stored.
struct BaselineRow {
    const TavBaselineHeaderRec* header = nullptr;
    uint64_t items = 0;       // stored items that are not deleted (module roots not counted)
    bool itemsKnown = false;  // false when the node table cannot be read
    uint32_t firstImage = 0, lastImage = 0;
    uint64_t bytesAdded = 0;  // the sizes of the items its run added or updated
};

std::vector<BaselineRow> BaselineRows(CRepoSession& session, const TavBaselineList& list) {
    std::vector<BaselineRow> rows;
    for (const TavBaselineHeaderRec& header : list.items) {
        BaselineRow row;
        row.header = &header;
        // The images of a run: those holding what it stored, and its node table.
        row.firstImage = row.lastImage = header.image;
        std::string problem;
        if (std::unique_ptr<CBaselineView> view = session.LoadBaseline(header.number, problem)) {
            row.itemsKnown = true;
            TavNodeRec node;
            for (uint32_t k = 0; k < view->Count(); ++k) {
                if (!view->Load(k * NODE_REC_SIZE, node) || node.parentId == TAV_NONE ||
                    IsDeleted(node))
                    continue;
                ++row.items;
                if ((node.flags & NODE_UNCHANGED) || IsFolder(node)) continue;
                row.bytesAdded += node.Size();
                if (node.content.offset != 0) {
                    row.firstImage = std::min(row.firstImage, node.content.image);
                    row.lastImage = std::max(row.lastImage, node.content.image);
                }
            }
        }
        rows.push_back(row);
    }
    session.Rep().ReleaseReadHandles();
    return rows;
}

std::string ImageRange(const BaselineRow& row) {
    return row.firstImage == row.lastImage
               ? std::to_string(row.lastImage)
               : std::to_string(row.firstImage) + "-" + std::to_string(row.lastImage);
}

int RunBaselines(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const TavBaselineList* list = session.Rep().GetBaselineList();
    if (list == nullptr) return EXIT_OK;
    const std::vector<BaselineRow> rows = BaselineRows(session, *list);
    std::ostream& out = ctx.out;
    if (args.Has("json")) {
        for (const BaselineRow& row : rows) {
            const TavBaselineHeaderRec& h = *row.header;
            CJsonObject o;
            o.Num("number", h.number)
                .Str("type", BackupTypeText(h.type))
                .Str("saved", FormatLocalTime(h.time))
                .Str("name", Utf16FieldToUtf8(h.name, 64))
                .Str("description", Utf16FieldToUtf8(h.description, 512));
            if (row.itemsKnown) o.Num("items", row.items);
            else o.Null("items");
            o.Num("bytes_added", row.bytesAdded)
                .Num("first_image", row.firstImage)
                .Num("last_image", row.lastImage);
            out << o.Text() << '\n';
        }
        return EXIT_OK;
    }
    size_t nameWidth = 4;
    for (const TavBaselineHeaderRec& h : list->items)
        nameWidth = std::max(nameWidth, Printable(Utf16FieldToUtf8(h.name, 64)).size());
    out << "  NO  TYPE         " << Pad("SAVED", TIME_WIDTH) << "     ITEMS        ADDED  IMAGES  "
        << Pad("NAME", nameWidth) << "  DESCRIPTION\n";
    for (const BaselineRow& row : rows) {
        const TavBaselineHeaderRec& h = *row.header;
        const std::string name = Printable(Utf16FieldToUtf8(h.name, 64));
        const std::string description = Printable(Utf16FieldToUtf8(h.description, 512));
        std::string line = PadLeft(std::to_string(h.number), 4) + "  " +
                           Pad(BackupTypeText(h.type), 11) + "  " +
                           Pad(FormatLocalTime(h.time), TIME_WIDTH) + "  " +
                           PadLeft(row.itemsKnown ? std::to_string(row.items) : "?", 8) + "  " +
                           PadLeft(FormatBytes(row.bytesAdded), 11) + "  " +
                           Pad(ImageRange(row), 6) + "  " + Pad(name, nameWidth) + "  " + description;
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
               {JsonOption(), PasswordFileOption()},
               1,
               1,
               RunInfo});
    table.Add({{"baselines"},
               "REPO [--password-file FILE]",
               "list the baselines of a repository",
               "Lists every baseline, oldest first: its number, backup type (Full or\n"
               "Incremental), the time it was saved (local time), the number of items it holds,\n"
               "the bytes its run stored (the sizes of the items it added or updated), the\n"
               "images holding them, its name and description. Baseline 0 is the empty one\n"
               "made with the repository. --json writes one JSON object per baseline.",
               {JsonOption(), PasswordFileOption()},
               1,
               1,
               RunBaselines});
}

}  // namespace tavctl
