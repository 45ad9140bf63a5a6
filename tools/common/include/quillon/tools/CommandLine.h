#pragma once
// What the command-line tools share: their exit statuses (sysexits.h's EX_USAGE and
// EX_IOERR for the last two) and the way they answer --help, --version and a wrong option.
#include <CLI/CLI.hpp>

#include <cctype>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace qln::tools {

inline constexpr int kExitFailed = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitOutput = 74;

// "quillon-rate 0.1.0": the answer to --version.
inline std::string versionLine(std::string_view program)
{
    return std::string(program) + " " + QUILLON_VERSION;
}

// The one line a wrong command line gets on standard error.
inline void reportUsageError(std::string_view program, std::string_view what)
{
    std::cerr << program << ": " << what << " (see " << program << " --help)\n";
}

// The first word that looks like an option but is none of the app's: reported before what
// it may have caused (a required argument taken for missing). Numbers such as -1 are values.
inline std::optional<std::string> unknownOption(const CLI::App& app, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--") break;
        const std::size_t dashes = word.starts_with("--") ? 2 : 1;
        if (!word.starts_with('-') || word.size() <= dashes || !std::isalpha(static_cast<unsigned char>(word[dashes])))
            continue;
        const std::string name(word.substr(0, word.find('=')));
        if (dashes == 1 && name.size() > 2) continue;  // short flags run together
        if (!app.get_option_no_throw(name)) return name;
    }
    return std::nullopt;
}

// Parses the command line into the app's options. Nothing when the program is to go on;
// otherwise its exit status, the help or version printed to standard output, or one line
// naming the error on standard error.
inline std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv, std::string_view program)
{
    app.set_version_flag("--version", versionLine(program), "Print the version and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return std::cout.flush() ? 0 : kExitOutput;
    } catch (const CLI::CallForVersion&) {
        std::cout << versionLine(program) << "\n";
        return std::cout.flush() ? 0 : kExitOutput;
    } catch (const CLI::ParseError& error) {
        const auto unknown = unknownOption(app, argc, argv);
        reportUsageError(program, unknown ? "unknown option " + *unknown : std::string(error.what()));
        return kExitUsage;
    }
    return std::nullopt;
}

} // namespace qln::tools
