#pragma once

// The main window's values kept per user: what is read at start and written
// at close, the window sizes each mode takes, and the terminal window's
// size. Reads and writes run in guarded blocks: the first failure silently
// ends the block and leaves the defaults in force.
#include <array>
#include <string>
#include <vector>

#include "seams/settings_store.h"

namespace tessel {

constexpr int kMonitorColumnWidths = 6;
constexpr int kRecentFileCount = 4;
// Remembered widths before any resize.
constexpr int kProjectModeWidth = 575;
constexpr int kMonitorModeWidth = 750;
constexpr int kTerminalWidth = 729;
constexpr int kTerminalHeight = 358;

struct StartSettings {
  std::string advancedCaption = "Advanced";  // caption of the Basic/Advanced button
  std::vector<std::string> recentFiles;      // file1 first, at most four
  // -1: automatic width.
  std::array<int, kMonitorColumnWidths> columnWidths{{-1, -1, -1, -1, -1, -1}};
};

// Writes "logs" (logsDir with a trailing '/'; this creates the key), then
// reads "formMode", "file1".."file4" up to the first empty one and "gpName"
// into every column width.
StartSettings loadStartSettings(SettingsStore& store, const std::string& logsDir);

struct CloseSettings {
  std::string advancedCaption;
  int windowWidth = 0;
  int windowHeight = 0;
  int terminalWidth = kTerminalWidth;
  int terminalHeight = kTerminalHeight;
  int groupTreeWidth = 0;
  std::array<int, kMonitorColumnWidths> columnWidths{{-1, -1, -1, -1, -1, -1}};
};

// What "formMode" keeps for a caption: "&Basic" instead of "Cancel" (the
// Monitor mode's caption is no view to come back to).
std::string storedFormMode(const std::string& advancedCaption);

// Writes, into an existing key only, "formMode", "projectH", "projectW",
// "termWidth", "termHeight", "discoveryAG" and the six column widths, all
// under "gpName" (so the sixth remains).
void saveCloseSettings(SettingsStore& store, const CloseSettings& values);

// The window's geometry as a mode switch sets it.
struct ModeGeometry {
  int width = -1;         // -1: leave the width
  int height = -1;        // -1: leave the height
  int splitterLeft = -1;  // -1: leave the splitter (window x of its left edge)
  int groupTreeWidth = -1;
};

struct ModeGeometryInput {
  int mode = 1;  // 2 Project, 3 Monitor; others change nothing
  bool maximised = false;
  int currentWidth = 0;  // window width now
  int clientWidth = 0;
  int rememberedProjectWidth = kProjectModeWidth;
  int rememberedMonitorWidth = kMonitorModeWidth;
  int rememberedGroupTreeWidth = 0;
};

// Project mode: max(remembered width, "projectW") by "projectH". Monitor
// mode: the splitter at max(575, "SplitterPos"), then, unless maximised,
// max(remembered Monitor width, "discoveryW") by "discoveryH" with the group
// tree "discoveryAG" wide. An absent value makes the window at least 575
// (Project) or 750 (Monitor) wide and skips the rest.
ModeGeometry modeGeometry(const SettingsStore& store, const ModeGeometryInput& in);

// The terminal window's stored size; an absent value keeps its default.
void loadTerminalSize(const SettingsStore& store, int& width, int& height);

}  // namespace tessel
