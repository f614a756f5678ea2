#pragma once
// A terminal front end writing to a string, with the lines it would send to the server
// collected instead, and its settings file in a fresh temporary folder.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CliApp.h"
#include "ircu/TempDir.h"

namespace khub::testing {

class CliFixture : public ::testing::Test {
  protected:
    CliFixture() : app(out, (dir.path() / "K-Hub.ini").string()) {
        app.program().links.sendLine = [this](const std::string& line) {
            sent.push_back(line);
            return true;
        };
    }
    // Output since the last call, one entry per line.
    std::vector<std::string> Output() {
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        out.str("");
        return lines;
    }
    // Whether the line came out since the last Output(), leaving the output as it is.
    bool PrintedSoFar(const std::string& line) const {
        return ("\n" + out.str()).find("\n" + line + "\n") != std::string::npos;
    }
    // Whether the line came out since the last Output(), which it then clears.
    bool Printed(const std::string& line) {
        bool printed = PrintedSoFar(line);
        out.str("");
        return printed;
    }

    test::TempDir dir;
    std::ostringstream out;
    CliApp app;
    std::vector<std::string> sent;
};

}  // namespace khub::testing
