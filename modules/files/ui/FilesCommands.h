// The Files and Folders module's job-editing commands, as its exports call them.
#pragma once
#include <cstdint>
#include <string>

class CTlcDataProvider;
class QWidget;
class XMLNode;

// Results of the commands.
constexpr int32_t FILES_CMD_DONE = 1;
constexpr int32_t FILES_CMD_NOT_HANDLED = 2;

namespace filescmd {

// Whether the command of that procedure name (letter case ignored) is available for
// `current` under `root`.
int32_t UpdateCmdUI(const std::string& command, CTlcDataProvider* root, CTlcDataProvider* current);
int32_t DataExchange(CTlcDataProvider* root, const XMLNode* node, int32_t direction);
int32_t OnAddFile(CTlcDataProvider* current, QWidget* window);
int32_t OnAddFolder(CTlcDataProvider* current, QWidget* window);
int32_t OnRemoveItem(CTlcDataProvider* current);
int32_t OnFileFiltering(CTlcDataProvider* current, QWidget* window);
int32_t OnSelection(CTlcDataProvider* current, QWidget* window);
// A path dropped on the view: 1 when it was added, 0 when it was refused.
int32_t OnEventFilesDrop(CTlcDataProvider* root, QWidget* window, const std::string& path);

}  // namespace filescmd
