#pragma once

// The three things quillon-setup does. Each writes one line per step to out.
//   install    copies the bundled data under the prefix, writes the settings and data
//              sources, registers every component library, installs the desktop entry and
//              icon; running it again changes nothing
//   uninstall  removes all of that again (files it did not write are left alone)
//   check      lists what an installation lacks; empty when complete

#include "Layout.h"

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

} // namespace qln::setup
