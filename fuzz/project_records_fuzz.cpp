// Any file opened as a project, its radios loaded into records and the poll
// list built, then closed: nothing crashes, and a project only looked at is
// not written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "model/brand.h"
#include "model/group_views.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "seams/prompts.h"

namespace {
struct NoPrompts : tessel::Prompts {
  tessel::PromptButton show(tessel::PromptIcon, const std::string&,
                            tessel::PromptButtons buttons) override {
    return buttons & tessel::pbOk ? tessel::pbOk : tessel::pbCancel;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessel;
  const std::string path = fuzzFilePath("project.vro");
  putFile(path, data, size);
  MemoryPanel panel({"Vireo E", "Vireo Version 2", "Vireo Version 1"});
  MemoryGroupViews views;
  NoPrompts prompts;
  MainWindowModel window(panel, views, prompts, kBrandModels0, "Tessel");
  window.openProject(path);
  (void)window.project()->unreadableReport();
  window.loadProjectRadios();
  window.switchMode(wmProject);
  for (const TpollEntry& e : window.project()->BuildPollList(true))
    if (e.radio < 0 || e.radio > 254 || e.model < 0 || e.model > 2) __builtin_trap();
  window.closeProject();
  if (getFile(path) != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
  ::unlink(path.c_str());
  return 0;
}
