#pragma once
// What the command-line tools share: their exit statuses (sysexits.h's EX_USAGE and
// EX_IOERR for the last two) and the way they answer --help and a wrong option.
#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string_view>

namespace qln::tools {

inline constexpr int kExitFailed = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitOutput = 74;

// Parses the command line into the app's options. Nothing when the program is to go on;
// otherwise its exit status, the help printed to standard output, or the error and the help
// to standard error, the error named after the program.
inline std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv, std::string_view program)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return std::cout.flush() ? 0 : kExitOutput;
    } catch (const CLI::ParseError& error) {
        std::cerr << program << ": " << error.what() << "\n" << app.help();
        return kExitUsage;
    }
    return std::nullopt;
}

} // namespace qln::tools
