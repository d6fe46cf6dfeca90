// tavctl job new and tavctl job show: making a job file and describing one.
#include <ostream>

#include "CommandGroups.h"
#include "JobCliText.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavImageSettings.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

// The encoding word from the options: the deflate level (default, 1-9, or none) and AES.
bool EncodingFromOptions(const CCliArgs& args, CCliContext& ctx, uint32_t& encoding) {
    encoding = TAV_ENC_DEFAULT_LEVEL;
    if (const auto level = args.Value("level")) {
        if (args.Has("no-compress")) {
            Fail(ctx, "job new", jobtext::ERR_LEVEL_AND_NO_COMPRESS, EXIT_USAGE);
            return false;
        }
        const auto number = ParseNumber(*level);
        if (!number || *number < 1 || *number > 9) {
            Fail(ctx, "job new", jobtext::ERR_BAD_LEVEL, EXIT_USAGE);
            return false;
        }
        encoding = *number;
    }
    if (args.Has("no-compress")) encoding = 0;
    if (const auto method = args.Value("compress")) {
        if (args.Has("no-compress") || args.Value("level")) {
            Fail(ctx, "job new", jobtext::ERR_COMPRESS_AND_LEVEL, EXIT_USAGE);
            return false;
        }
        int32_t level = -1;
        if (*method == "deflate") {
            encoding = TAV_ENC_DEFAULT_LEVEL;
        } else if (method->rfind("zstd", 0) == 0 && (method->size() == 4 || (*method)[4] == ':')) {
            if (method->size() > 4) {
                const auto number = ParseNumber(method->substr(5));
                if (!number || *number < 1 || *number > uint64_t(TAV_ZSTD_MAX_LEVEL)) {
                    Fail(ctx, "job new", jobtext::ERR_BAD_ZSTD_LEVEL, EXIT_USAGE);
                    return false;
                }
                level = int32_t(*number);
            }
            encoding = ZstdEncoding(level, false);
        } else {
            Fail(ctx, "job new", plat::Format(jobtext::ERR_BAD_COMPRESS, method->c_str()), EXIT_USAGE);
            return false;
        }
    }
    if (args.Has("encrypt")) encoding |= TAV_ENC_AES;
    return true;
}

int RunJobNew(const CCliArgs& args, CCliContext& ctx) {
    const std::string path = CommandLinePath(args.positionals[0]);
    const auto location = args.Value("location");
    const auto name = args.Value("name");
    if (!location || !name) return Fail(ctx, "job new", "--location and --name are required", EXIT_USAGE);
    if (!CTavJobHelper::IsImageFileName(*name)) return Fail(ctx, "job new", jobtext::ERR_BAD_NAME, EXIT_USAGE);
    if (plat::PathExists(path) && !args.Has("force")) return Fail(ctx, path, jobtext::ERR_JOB_EXISTS);

    std::string split = TAV_DEFAULT_SPLIT_SIZE;
    if (const auto text = args.Value("split")) {
        uint64_t bytes = 0;
        if (!ParseSplitSize(*text, bytes) || bytes == 0)
            return Fail(ctx, "job new", plat::Format(jobtext::ERR_BAD_SPLIT, text->c_str()), EXIT_USAGE);
        const uint32_t limit = SplitSizeToImageLimit(*text);
        split = FormatSplitSize(limit);
        if (limit != bytes) ctx.err << plat::Format(jobtext::WARN_SPLIT_HELD, split.c_str()) << '\n';
    }
    uint32_t encoding = 0;
    if (!EncodingFromOptions(args, ctx, encoding)) return EXIT_USAGE;

    const std::string folder = CommandLinePath(*location);
    const bool makeFolder = !plat::IsDirectory(folder);
    if (makeFolder && !plat::CreateDirectories(folder))
        return Fail(ctx, "job new",
                    plat::Format(jobtext::ERR_NO_LOCATION, Printable(folder).c_str(),
                           plat::ErrorText(plat::GetLastError()).c_str()));

    CTavJobHelper job;
    job.SetImageDesc(*name, split, encoding, folder);
    if (const auto title = args.Value("title")) job.SetJobDesc(jobtext::JOB_TITLE, *title);
    FilesNode(job);
    if (!job.Save(path)) return Fail(ctx, "", job.GetErrorText());
    if (makeFolder) ctx.out << plat::Format(jobtext::MSG_LOCATION_CREATED, Printable(folder).c_str()) << '\n';
    ctx.out << plat::Format(jobtext::MSG_JOB_CREATED, Printable(job.GetPath()).c_str(),
                      Printable(job.GetImagePath()).c_str())
            << '\n';
    return EXIT_OK;
}

std::string CompressionText(uint32_t encoding) {
    const uint32_t level = encoding & TAV_ENC_LEVEL_MASK;
    if (level == 0) return "none";
    if (EncodingUsesZstd(encoding)) {
        const int32_t zstdLevel = EncodingZstdLevel(encoding);
        return zstdLevel < 0 ? "zstd, default level (3)" : "zstd level " + std::to_string(zstdLevel);
    }
    if (level >= 1 && level <= 9) return "deflate level " + std::to_string(level);
    return "deflate, default level";
}

// The conditions of a backup command word in words.
std::string ConditionText(uint32_t word) {
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (word & TAV_COND_SIZE) add("update on size change");
    if (word & TAV_COND_DATE) add("update on date change");
    switch (word & TAV_COND_NEWFILE_MASK) {
        case TAV_COND_NEWFILE_ALWAYS: add("always add new files"); break;
        case TAV_COND_NEWFILE_IGNORE: add("ignore new files"); break;
        default: add("add new files only when their whole folder is selected"); break;
    }
    if (word & TAV_COND_NO_ARCHIVE) add("archive attribute not checked");
    return text;
}

void PrintField(std::ostream& out, const char* label, const std::string& value) {
    const std::string text = label;
    out << text << std::string(text.size() < 14 ? 14 - text.size() : 1, ' ') << value << '\n';
}

void PrintModuleNode(std::ostream& out, const XMLNode& node) {
    out << "\nModule " << Printable(node.GetAttribute("module")) << " ("
        << Printable(node.GetAttribute("title")) << "):\n";
    if (node.GetChildCount() == 0) out << "  (nothing selected)\n";
    for (XMLNode child = node.GetFirstChild(); child; child = child.GetNextSibling()) {
        std::string line = "  " + child.GetName();
        if (line.size() < 12) line += std::string(12 - line.size(), ' ');
        line += " " + Printable(child.GetAttribute("fullpath"));
        for (const auto& [name, value] : child.GetAttributes())
            if (name != "fullpath") line += "  " + name + "=\"" + Printable(value) + "\"";
        out << line << '\n';
    }
}

int RunJobShow(const CCliArgs& args, CCliContext& ctx) {
    CTavJobHelper job;
    if (!LoadJobFile(args.positionals[0], job, ctx)) return EXIT_PROBLEMS;
    std::ostream& out = ctx.out;
    const uint32_t encoding = job.GetImageEncoding();
    const uint32_t word = job.GetBackupCommand();
    PrintField(out, "Job:", Printable(job.GetPath()));
    PrintField(out, "Title:", Printable(job.GetJobDesc(jobtext::JOB_TITLE)));
    PrintField(out, "Job id:", TavDword2Xml(job.GetJobID()));
    const std::string image = job.GetImagePath();
    PrintField(out, "Images:", image.empty() ? "(no location or name)" : Printable(image));
    PrintField(out, "Split at:", Printable(job.GetImageDesc("splitsize")));
    PrintField(out, "Compression:", CompressionText(encoding));
    PrintField(out, "Encryption:", EncodingEncrypts(encoding) ? "AES-128, built-in key" : "none");
    PrintField(out, "Conditions:", ConditionText(word));
    std::string last;
    const uint32_t lastNumber = job.FindLastImagePath(last);
    PrintField(out, "Last image:", lastNumber == 0xFFFFFFFF ? "none yet" : Printable(last));
    PrintField(out, "Run logs:", Printable(CTavEngineObserver::GetLogFolder(job)));
    const std::string description = job.GetRepDescription();
    if (!description.empty()) PrintField(out, "Description:", Printable(description));
    int iterator = 0;
    for (XMLNode node = job.GetBackupNode(iterator); node; node = job.GetBackupNode(iterator))
        PrintModuleNode(out, node);
    return EXIT_OK;
}

}  // namespace

void RegisterJobCommands(CCommandTable& table) {
    table.Add({{"job", "new"},
               "JOB --location DIR --name NAME [--title T] [--split SIZE] [--no-compress|--level N|--compress M] [--encrypt]",
               "make a new job file",
               "Writes a new job file JOB whose images are DIR/NAME.tvr, DIR/NAME.0001.tvr, ...\n"
               "The job has an empty Files and Folders selection: add sources with\n"
               "'tavctl job add'. Images are compressed with deflate's default level unless\n"
               "--level, --no-compress or --compress says otherwise (zstd is about three times\n"
               "faster; its images are read only by Tavora versions that know zstd), and encrypted with AES-128 and the\n"
               "built-in key with --encrypt (this keeps out casual readers only). SIZE is the\n"
               "size at which the next image file is started (700MB, 2GB; at most 2 GB).\n"
               "Incremental runs update a file whose size or date changed and add new files.\n"
               "An existing JOB is replaced only with --force.",
               {{"location", 'l', true, "DIR", "the folder of the image files"},
                {"name", 'n', true, "NAME", "the image file name (.tvr is added)"},
                {"title", 0, true, "TITLE", "the job's title (names its baselines)"},
         OldSpelling({"title", 't', true, "TITLE", ""}),
                {"split", 's', true, "SIZE", "start a new image file at this size (default 2GB)"},
                {"level", 0, true, "N", "deflate level 1 (fast) to 9 (small)"},
                {"no-compress", 0, false, "", "store contents uncompressed"},
                {"compress", 0, true, "M", "deflate, zstd or zstd:LEVEL (1-19; images need Tavora 2.2 readers)"},
                {"encrypt", 0, false, "", "encrypt blocks with AES-128 (built-in key)"},
                {"force", 'f', false, "", "replace an existing job file"}},
               1,
               1,
               RunJobNew});
    table.Add({{"job", "show"},
               "JOB",
               "describe a job file",
               "Shows the job's title, id, image files, compression and encryption, backup\n"
               "conditions, newest image, log folder and, per module, its selection (for Files\n"
               "and Folders: the sources \"file\", the \"excluded\" and \"partial\" entries and\n"
               "the folder filters).",
               {},
               1,
               1,
               RunJobShow});
}

}  // namespace tavctl
