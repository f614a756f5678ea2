#include <gtest/gtest.h>

// Shared main so every test binary behaves alike; GUI tests bring their own main.
#ifndef KHUB_TEST_OWN_MAIN
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
#endif
