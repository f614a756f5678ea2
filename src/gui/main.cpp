#include <cstdio>

// The desktop window is built on top of the same core as k-hub-cli.
int main() {
    std::fprintf(stderr, "k-hub: the desktop window is not part of this build yet; use k-hub-cli\n");
    return 1;
}
