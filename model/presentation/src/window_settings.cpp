#include "model/window_settings.h"

#include <algorithm>

namespace tessel {

StartSettings loadStartSettings(SettingsStore& store, const std::string& logsDir) {
  StartSettings s;
  std::string dir = logsDir;
  if (dir.empty() || dir.back() != '/') dir += '/';
  store.writeString("logs", dir);
  // Texts read as empty when absent; the first absent integer ends the block.
  std::string text;
  if (!store.readString("formMode", text)) text.clear();
  if (!text.empty()) s.advancedCaption = text;
  for (int n = 1; n <= kRecentFileCount; ++n) {
    if (!store.readString("file" + std::to_string(n), text) || text.empty()) break;
    s.recentFiles.push_back(text);
  }
  for (int& width : s.columnWidths)
    if (!store.readInteger("gpName", width)) break;
  return s;
}

std::string storedFormMode(const std::string& advancedCaption) {
  return advancedCaption.find("Cancel") != std::string::npos ? "&Basic" : advancedCaption;
}

void saveCloseSettings(SettingsStore& store, const CloseSettings& v) {
  if (!store.exists()) return;
  bool ok = store.writeString("formMode", storedFormMode(v.advancedCaption)) &&
            store.writeInteger("projectH", v.windowHeight) &&
            store.writeInteger("projectW", v.windowWidth) &&
            store.writeInteger("termWidth", v.terminalWidth) &&
            store.writeInteger("termHeight", v.terminalHeight) &&
            store.writeInteger("discoveryAG", v.groupTreeWidth);
  for (int width : v.columnWidths) ok = ok && store.writeInteger("gpName", width);
}

ModeGeometry modeGeometry(const SettingsStore& store, const ModeGeometryInput& in) {
  ModeGeometry g;
  int a = 0, b = 0, c = 0;
  if (in.mode == 2) {
    if (in.maximised) return g;
    if (store.readInteger("projectW", a) && store.readInteger("projectH", b)) {
      g.width = std::max(in.rememberedProjectWidth, a);
      g.height = b;
    } else {
      g.width = std::max(kProjectModeWidth, in.currentWidth);
    }
  } else if (in.mode == 3) {
    int pos = 0;
    if (!store.readInteger("SplitterPos", pos)) {
      g.width = std::max(kMonitorModeWidth, in.currentWidth);
      return g;
    }
    g.splitterLeft = std::max(kProjectModeWidth, pos);
    if (in.maximised) {
      g.groupTreeWidth = in.rememberedGroupTreeWidth;
      g.splitterLeft = in.clientWidth - in.rememberedGroupTreeWidth;
      return g;
    }
    g.splitterLeft = std::max(in.rememberedProjectWidth, pos);
    if (store.readInteger("discoveryW", a) && store.readInteger("discoveryH", b) &&
        store.readInteger("discoveryAG", c)) {
      g.width = std::max(in.rememberedMonitorWidth, a);
      g.height = b;
      g.groupTreeWidth = c;
    } else {
      g.width = std::max(kMonitorModeWidth, in.currentWidth);
    }
  }
  return g;
}

void loadTerminalSize(const SettingsStore& store, int& width, int& height) {
  int w = 0, h = 0;
  if (store.readInteger("termWidth", w) && w > 0) width = w;
  if (store.readInteger("termHeight", h) && h > 0) height = h;
}

}  // namespace tessel
