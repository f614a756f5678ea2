#include <gtest/gtest.h>

// Shared main so every test binary behaves alike; a GUI test's own main wins at link time.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
