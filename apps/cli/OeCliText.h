// Fixed texts of tavctl's Outlook Express commands (oe identities, job oe, restore --map).
#pragma once

namespace tavctl::oecli {

// The module as jobs name it.
constexpr const char* OE_MODULE = "oe";
constexpr const char* OE_TITLE = "Outlook Express";

// oe identities.
constexpr const char* HEAD_IDENTIFIER = "IDENTIFIER";
constexpr const char* HEAD_NAME = "NAME";
constexpr const char* HEAD_STORE = "STORE FOLDER";
constexpr const char* NO_STORE =
    "(no store folder: the Outlook Express key or its \"Store Root\" is missing or cannot be "
    "mapped)";
constexpr const char* STORE_MISSING = "%s (missing)";
constexpr const char* MSG_NO_IDENTITIES =
    "No Outlook Express identities in the settings store (HKEY_CURRENT_USER\\Identities of %s).";

// job oe.
constexpr const char* ACTION_ADD = "add";
constexpr const char* ACTION_REMOVE = "remove";
constexpr const char* ACTION_EXCLUDE = "exclude";
constexpr const char* ACTION_INCLUDE = "include";
constexpr const char* ERR_BAD_ACTION = "unknown action '%s': use add, remove, exclude or include";
constexpr const char* ERR_NEEDS_IDENTITY = "%s needs an identity";
constexpr const char* ERR_NO_IDENTITY =
    "no identity of this identifier or name on this machine (see 'tavctl oe identities')";
constexpr const char* ERR_AMBIGUOUS_NAME =
    "more than one identity has this name; give its identifier";
constexpr const char* ERR_NOT_IN_JOB =
    "is not an identity of the job; add it first with 'tavctl job oe JOB add'";
constexpr const char* ERR_BAD_ITEM =
    "unknown item '%s': use messages, preference, rules, block-senders or signatures";
constexpr const char* ERR_ITEMS_AND_ADD = "add and remove take identities only";
constexpr const char* ERR_FOLDER_OPTION = "--folder goes with exclude and include";
constexpr const char* ERR_NO_FOLDER_LIST =
    "cannot read the folder list of the identity's store folder";
constexpr const char* ERR_NO_FOLDER =
    "no folder '%s' in the identity's folder list (see 'tavctl dbx folders FILE')";
constexpr const char* MSG_ADDED = "Added identity %s";
constexpr const char* MSG_ALREADY_ADDED = "%s is in the job already";
constexpr const char* MSG_REMOVED = "Removed identity %s";
constexpr const char* MSG_EXCLUDED = "Excluded %s of %s";
constexpr const char* MSG_ALREADY_EXCLUDED = "%s of %s is excluded already";
constexpr const char* MSG_INCLUDED = "Included %s of %s";
constexpr const char* MSG_NOT_EXCLUDED = "%s of %s is not excluded";
constexpr const char* WHOLE_IDENTITY = "the whole identity";
constexpr const char* IDENTITY_TEXT = "%s (%s)";

// restore --map.
constexpr const char* MAP_OPTION = "map";
constexpr const char* MAP_VALUE = "OLDUID=NEWUID";
constexpr const char* MAP_HELP = "restore identity OLDUID into identity NEWUID (repeatable)";
constexpr const char* ERR_MAP_WITH_DESTINATION =
    "--map steers a restore to the original place; with --to nothing is imported";

}  // namespace tavctl::oecli
