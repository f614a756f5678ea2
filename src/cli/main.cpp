#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "CliApp.h"
#include "app/Startup.h"
#include "platform/SingleInstance.h"
#include "platform/System.h"

int main(int argc, char** argv) {
    khub::platform::IgnoreWriteFailureSignals();
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--version") {
            std::cout << "k-hub-cli " << KHUB_VERSION << '\n';
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else {
            std::cerr << "k-hub-cli: unknown argument '" << arg << "' (see k-hub-cli --help)\n";
            return 2;
        }
    }

    if (help) {
        khub::SettingsLocation where =
            khub::SystemSettingsLocation(khub::ProcessEnvironment(), false);
        std::ostringstream quiet;
        khub::CliApp app(quiet, where.filePath);
        std::cout << app.HelpText();
        return 0;
    }

    khub::SettingsLocation where = khub::SystemSettingsLocation(khub::ProcessEnvironment());
    std::string lockPath = khub::LockFilePathFor(where.filePath);
    khub::SingleInstance guard = khub::SingleInstance::Acquire(lockPath);
    switch (guard.state()) {
        case khub::SingleInstance::State::AlreadyRunning:
            std::cerr << "k-hub-cli: K-Hub I is already running on the settings in \""
                      << std::filesystem::path(where.filePath).parent_path().string() << "\"";
            if (guard.otherPid() > 0) std::cerr << " (process " << guard.otherPid() << ")";
            std::cerr << ".\n";
            return 1;
        case khub::SingleInstance::State::Unavailable:
            std::cerr << "k-hub-cli: warning: cannot use the lock file \"" << lockPath << "\" ("
                      << guard.error() << "); a second copy would not be stopped.\n";
            break;
        case khub::SingleInstance::State::Acquired:
            break;
    }

#ifdef F_SETPIPE_SZ
    // A reader of our output that falls behind for a moment (a busy machine, a script)
    // would hold the lobby thread in a write once the pipe is full; a larger pipe lets a
    // burst of lines wait there instead.
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
#endif
    khub::CliApp app(std::cout, where.filePath);
    app.SetSettingsLocation(where);
    return app.Run(std::cin);
}
