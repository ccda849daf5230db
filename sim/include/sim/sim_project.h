#pragma once

// Setting up a simulated group: built-in defaults, or the configuration of a
// project file (its "Project" section and "Radio<n>" sections), and writing
// the radios' saved registers back in the project file's keys and value
// texts.
#include <string>
#include <vector>

#include "sim/sim_radio_group.h"

namespace tessel::sim {

struct SimSetup {
  std::vector<SimRadio> radios;
  size_t local = 0;  // the radio on the serial line
  // Values of the project file that no radio accepts, each replaced by the
  // built-in default ("Radio3: Retries: 'abc' ...").
  std::vector<std::string> warnings;
};

// The clock every radio starts with, minutes since midnight.
int wallClockMinutes();

// count radios (1..254) with radio IDs 1..count; radio 1 is the master and
// the local radio, the others are its slaves. models gives the model of
// each radio in turn and repeats when shorter (empty: 0, 1, 0, 1, ...).
// False with error when count or a model is out of range.
bool defaultSetup(int count, const std::vector<int>& models, SimSetup& out, std::string& error,
                  uint32_t seed = 1, int clockMinutes = 6 * 60);

// Reads the project at path: every section "Radio0" to "Radio254" that
// exists is one radio; the local radio is the first master (the first radio
// when there is none). False with error when the file has no radio.
bool loadProject(const std::string& path, SimSetup& out, std::string& error, uint32_t seed = 1,
                 int clockMinutes = 6 * 60);

// Whether saveProject can later replace the file at path: an existing one
// must be a writable regular file, and its folder must take a new file. A
// simulator checks this before serving, so its radios' state is not lost
// at the end. False with error otherwise.
bool canSaveProject(const std::string& path, std::string& error);

// Writes the saved registers of the group into the project at path: the
// group section from the local radio, one section per radio under its
// current radio ID. Sections of radio IDs listed in formerIDs that no radio
// holds any more (a radio was renumbered) are erased. False with error when
// the file cannot be written.
bool saveProject(const std::string& path, const SimRadioGroup& group,
                 const std::vector<int>& formerIDs, std::string& error);

}  // namespace tessel::sim
