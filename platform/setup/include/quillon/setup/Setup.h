#pragma once

// The three things quillon-setup does (the viewer and the map install on their first start). Each writes one line per step to out.
//   install    copies the bundled data under the prefix, writes the settings and data
//              sources, registers every component library, installs the desktop entry and
//              icon; running it again changes nothing
//   uninstall  removes all of that again (files it did not write are left alone)
//   check      lists what an installation lacks; empty when complete

#include "quillon/setup/Layout.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qln::setup {

// Throws SetupError naming what could not be written or registered.
void install(const Sources& sources, const Target& target, std::ostream& out);

// Goes on past steps that fail and returns their messages (empty when all went well).
std::vector<std::string> uninstall(const Sources* sources, const Target& target, std::ostream& out);

// One line per missing or outdated item.
std::vector<std::string> check(const Sources& sources, const Target& target);

// The prefix an earlier install recorded in the settings, or nothing.
std::optional<std::filesystem::path> installedPrefix();

// Whether this user has an installation: its settings, and the engine registered with a
// library that exists.
bool isSetUp();

// The first start of the viewer or the map needs no set-up command: when the user has no
// installation, install() from the tree the program runs from under defaultPrefix().
// Returns the prefix of the user's installation; throws SetupError (or a registry error)
// naming what could not be set up.
std::filesystem::path setUpOnFirstStart(const std::filesystem::path& executable);

} // namespace qln::setup
