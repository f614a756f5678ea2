#include <iostream>
#include <string>

#include "CliApp.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--version") {
            std::cout << "k-hub-cli " << KHUB_VERSION << '\n';
            return 0;
        }
    }
    khub::CliApp app(std::cout, "");
    return app.Run(std::cin);
}
