#pragma once

// The viewer's command line when the GIS starts it: "folder|attribute file", quoted.

#include <string>
#include <string_view>

namespace qln::viewer::link {

struct CommandLine {
    enum class Kind {
        Standalone,     // empty after trimming blanks: the viewer runs without the GIS
        Linked,         // two parts and an existing attribute file
        WrongParts,     // not exactly two "|"-separated parts
        FileMissing,    // the attribute file is not there
    };
    Kind kind = Kind::Standalone;
    std::string ShapeDirectory;
    std::string AttributeFileName;  // the file's short name without its extension
    std::string attributePath;      // the file looked up (for messages)
};

// Reads the command line. Enclosing double quotes are dropped; a line without them (a shell
// took them away) is read as it stands, so no character of the folder or the name is lost.
CommandLine ParseCommandLine(std::string_view text);

} // namespace qln::viewer::link
