#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/CThemesApp.h"
#include "platform/System.h"

namespace {

bool HasDisplay() {
#if defined(__unix__) && !defined(__APPLE__)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    khub::platform::IgnoreWriteFailureSignals();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("k-hub %s\n", KHUB_VERSION);
            return 0;
        }
    }
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "k-hub: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "Run the same lobby in a terminal with k-hub-cli, or start k-hub inside a "
                     "desktop session.\n");
        return 2;
    }
    khub::gui::CThemesApp app(argc, argv);
    return app.Run();
}
