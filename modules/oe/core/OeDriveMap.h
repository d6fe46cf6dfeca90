// COeDriveMap: local folders for store folders that the settings give in Windows form.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// Outlook Express writes its store folder as a Windows path ("C:\Documents and
// Settings\anna\...\Outlook Express"). On Linux such data lives in a Wine prefix or in a
// copied Windows tree, so each drive letter is mapped to a local folder:
//
// - a value named after the drive ("C:") under HKEY_CURRENT_USER
//   "Software\Norvik\Tavora\Drives" of the settings store names its folder (an absolute
//   path; %VARIABLES% in it are expanded);
// - without one, C: is $WINEPREFIX/drive_c, else ~/.wine/drive_c, whichever exists first;
//   another letter X: is $WINEPREFIX/dosdevices/x:, else ~/.wine/dosdevices/x:, when it
//   exists (Wine keeps its drive links there).
//
// The rest of the path follows with each '\' turned into '/'. Paths are taken exactly as
// written: Linux file names keep their letter case.
class COeDriveMap {
public:
    // True when `path` starts with a drive letter and a colon ("C:", "c:\x", "D:/x").
    static bool IsWindowsPath(std::string_view path);
    // The local folder of a drive letter as described above; nothing when none is known.
    static std::optional<std::string> DriveFolder(char letter);
    // Maps a store folder to a local path: a Windows path through its drive's folder, an
    // absolute Linux path as it is. Nothing for any other form (a relative path, a network
    // path "\\server\share"), for a path with a ".." part (which could leave the drive's
    // folder) and for a drive that has no folder.
    static std::optional<std::string> MapPath(std::string_view path);
    // Writes a mapping (letter, absolute folder) into the settings store; false on failure.
    static bool SetDriveFolder(char letter, const std::string& folder);
};
