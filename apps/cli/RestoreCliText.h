// Fixed texts of tavctl's restore and extract commands.
#pragma once
#include <cstdint>

#include "RestoreRequestText.h"
#include "tavrep/TavTypes.h"

namespace tavctl::restoretext {

// The browser's hub: command identifiers from 61000 up.
constexpr uint32_t HUB_COMMAND_BASE = 61000;

// Command words: the restore marker with the restore's and the extract's fixed bits.
constexpr uint32_t RESTORE_WORD = 0x20000008;
constexpr uint32_t EXTRACT_WORD = 0x20010000;

// The roots whose engines know the dry-run bit: Files and Folders, Outlook Express.
constexpr uint32_t OE_ROOT = MakeFourCC('o', 'e', 'r', 't');
constexpr bool CanDryRun(uint32_t rootModule) {
    return rootModule == MODULE_FILES_ROOT || rootModule == OE_ROOT;
}

// --overwrite values.
constexpr const char* OVERWRITE_ALWAYS = "always";
constexpr const char* OVERWRITE_OLDER = "older";
constexpr const char* OVERWRITE_SIZE = "size";
constexpr const char* OVERWRITE_NEVER = "never";

// Lines of the Files and Folders engine's log that tavctl shows or lists.
constexpr const char* LOG_WOULD_WRITE = "Would write \"";
constexpr const char* LOG_WOULD_REPLACE = "Would replace \"";
constexpr const char* LOG_WOULD_SKIP = "Would skip \"";
constexpr const char* LOG_WOULD_IMPORT = "Would import \"";
constexpr const char* LOG_KEPT = "Kept \"";
constexpr const char* FINISH_PREFIX = "Finish Restoring ";
constexpr const char* SUMMARY_KEPT_SUFFIX =
    " Files kept the existing file; it differs: use --overwrite always";
constexpr const char* MSG_DRY_RUN_HEADING = "Dry run of restoring %s: nothing was written";
constexpr const char* MSG_DRY_RUN_NOT_SHOWN =
    "%s: a dry run cannot show what its restore would do; it is left out";

// Problems.
constexpr const char* ERR_BAD_OVERWRITE =
    "--overwrite takes always, older, size or never (older,size combines two), not '%s'";
constexpr const char* ERR_NO_DESTINATION = "give the folder to extract into with --to DIR";
constexpr const char* ERR_EMPTY_DESTINATION = "--to needs a folder";
constexpr const char* ERR_NO_TARGET =
    "say where to restore: --to DIR (below a folder) or --in-place (over the original files)";
constexpr const char* ERR_TO_AND_IN_PLACE = "--to and --in-place exclude each other";
constexpr const char* ERR_IS_ROOT = "is the root of a module; restore it with 'tavctl restore'";
constexpr const char* ERR_IS_DELETED = "is marked deleted in baseline %u";
constexpr const char* ERR_NOT_STORED =
    "is a folder above the stored items, not a stored item; extract the items inside it";
constexpr const char* ERR_NO_MODULE = "the module of \"%s\" (%s) is not installed; it is not restored";
constexpr const char* ERR_NO_ENGINE = "the module of \"%s\" (%s) gives no engine; it is not restored";
constexpr const char* ERR_ENGINE_FAILED = "the restore of \"%s\" failed";
constexpr const char* ERR_ENGINE_THREW = "the restore of \"%s\" stopped: %s";
constexpr const char* ERR_PREPARE_REFUSED = "the module of \"%s\" refused to start the restore";
constexpr const char* ERR_CANCELLED = "the restore was stopped";
constexpr const char* ERR_ITEMS_FAILED = "%llu item(s) could not be restored (see the lines above)";
constexpr const char* MSG_NOTHING_SELECTED = "Nothing of baseline %u is selected; nothing was restored.";

}  // namespace tavctl::restoretext
