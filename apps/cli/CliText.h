// Fixed texts of tavctl: messages, column headings and status words.
#pragma once

namespace tavctl::text {

constexpr const char* PROGRAM = "tavctl";
constexpr const char* VERSION = "tavctl 0.1 (Tavora 0.1)";

// Environment and prompts.
constexpr const char* ENV_PASSWORD = "TAVORA_PASSWORD";
constexpr const char* ENV_NEW_PASSWORD = "TAVORA_NEW_PASSWORD";
constexpr const char* PROMPT_PASSWORD = "Password: ";
constexpr const char* PROMPT_NEW_PASSWORD = "New password: ";
constexpr const char* PROMPT_CONFIRM_PASSWORD = "Retype new password: ";

// Repository opening and passwords.
constexpr const char* ERR_NO_SUCH_FILE = "no such file";
constexpr const char* ERR_BUSY = "the repository is in use by another process";
constexpr const char* ERR_NOT_IMAGE =
    "not a Tavora repository image, or it has no usable entry point";
constexpr const char* ERR_UNKNOWN_VERSION = "the image has an unknown format version";
constexpr const char* ERR_WRONG_IMAGE_ID =
    "the image file carries another image number than its name";
constexpr const char* ERR_CANNOT_OPEN = "the repository cannot be opened";
constexpr const char* ERR_PASSWORD_NEEDED =
    "the repository is protected by a password: give it with --password-file, "
    "TAVORA_PASSWORD or on a terminal";
constexpr const char* ERR_WRONG_PASSWORD = "wrong password";
constexpr const char* ERR_PASSWORD_TOO_LONG =
    "the password is too long (at most 127 bytes of UTF-8)";
constexpr const char* ERR_PASSWORD_FILE = "cannot read the password file";
constexpr const char* ERR_PASSWORD_STDIN = "no password line to read";

// Baselines and items.
constexpr const char* ERR_NO_BASELINE = "no such baseline";
constexpr const char* ERR_NO_ITEM = "no such item";
constexpr const char* ERR_IS_FOLDER = "is a folder, not a file";
constexpr const char* ERR_NO_CONTENT = "no content is stored for this item";
constexpr const char* ERR_BASELINE_UNREADABLE = "the baseline's node table cannot be read";

// passwd.
constexpr const char* ERR_PASSWORDS_DIFFER = "the new passwords do not match";
constexpr const char* ERR_EMPTY_NEW_PASSWORD =
    "the new password is empty; use --remove to remove the password";
constexpr const char* ERR_CANNOT_CHANGE =
    "the password cannot be changed (is the repository in use or read-only?)";
constexpr const char* ERR_PASSWORD_ENCRYPTED =
    "its blocks are encrypted with the password itself; a new password would leave them "
    "unreadable, so it is not changed";
constexpr const char* MSG_PASSWORD_CHANGED = "The password has been changed.";
constexpr const char* MSG_PASSWORD_REMOVED = "The password has been removed.";
// What a password does and does not protect, said after every change.
constexpr const char* MSG_PASSWORD_PROTECTS =
    "The password guards opening the repository with Tavora's tools. It does not encrypt the\n"
    "stored data: that stays encrypted with the key built into the program (or not at all\n"
    "when the job has no --encrypt), so anyone who has the image files can read them. See\n"
    "\"Security of the format\" in the README.";

// Status words of stored items.
constexpr const char* STATUS_UPDATED = "Updated";
constexpr const char* STATUS_ADDED = "Added";
constexpr const char* STATUS_NOT_CHANGED = "Not Changed";
constexpr const char* STATUS_DELETED = "Deleted";

// Backup types of baselines.
constexpr const char* TYPE_FULL = "Full";
constexpr const char* TYPE_INCREMENTAL = "Incremental";
constexpr const char* TYPE_NONE = "-";

}  // namespace tavctl::text
