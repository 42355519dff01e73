// main.cpp -- tarnwick-build: one build of a folder, as the window's Build button runs it.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "builder/build_command.h"
#include "cli/terminal_view.h"
#include "zip/OrvZip.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr int kExitError = 3;

constexpr const char* kDescription =
    "Builds the update set of a client installation: a mirror of FOLDER's sub-folders under Upload/\n"
    "in the current working directory, one ZIP archive per file (deflated at level 9) beside them,\n"
    "and the index Upload/updates.lst that the updater client reads. It writes exactly what the\n"
    "window's Build button writes with the same settings. Nothing in Upload/ is deleted; a later\n"
    "build writes over the same paths. The updater must lie at the top of FOLDER.";

constexpr const char* kFooter =
    "Output:\n"
    "  The closing message (\"Done! N files have been packed.\" or \"NAME was not found!\") is\n"
    "  printed as one line on standard output, an error's message on standard error. While it\n"
    "  packs, a progress bar (files done of the total, and the current file) is drawn on\n"
    "  standard error when that is a terminal, and nothing of it otherwise.\n"
    "\n"
    "Exit status:\n"
    "  0  the update set was built\n"
    "  1  the updater was not found at the top of FOLDER; no list or archive was written\n"
    "  2  usage error (unknown option, missing or non-existent FOLDER)\n"
    "  3  the build ended with an error; what was written before it stays in Upload/";

}  // namespace

int main(int argc, char** argv)
{
    tarnwick::cli::TBuildSettings settings;
    CLI::App app(kDescription, "tarnwick-build");
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.add_option("--updater", settings.UpdaterName, "File name of the updater itself, at the top of FOLDER")
        ->type_name("NAME")
        ->capture_default_str();
    app.add_option("--server", settings.ServerAddress, "Server address written into the list")
        ->type_name("ADDRESS")
        ->capture_default_str();
    app.add_flag("--critical", settings.Critical, "Mark every file as a critical update (flag c, else n)");
    app.add_flag("--modify-host", settings.ModifyHost, "Have the updater modify the hosts file (ModifyHost=1)");
    app.add_option("FOLDER", settings.Folder, "Root folder of the client installation")
        ->required()
        ->check(CLI::ExistingDirectory);
    app.footer(kFooter);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitDone : kExitUsage;
    }

    tarnwick::cli::TTerminalView view(settings, ::isatty(STDERR_FILENO) == 1);
    try {
        orvzip::TOrvZip zip(nullptr);
        tarnwick::ConfigureOrvZip1(zip);
        tarnwick::TBuildState state;
        const auto result = tarnwick::RunBuildCommand(view, zip, state);
        return result == tarnwick::TBuildResult::brDone ? kExitDone : kExitNotFound;
    } catch (const std::exception& e) {
        view.ClearProgress();
        std::fprintf(stderr, "%s\n", e.what());
        return kExitError;
    }
}
