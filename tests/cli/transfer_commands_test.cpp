#include <gtest/gtest.h>

#include <sstream>

#include "CliApp.h"
#include "support/TempDir.h"
#include "transfer/Transfer.h"

namespace khub {
namespace {

class TransferCommandsTest : public ::testing::Test {
  protected:
    TransferCommandsTest() : app(out, (dir.path() / "K-Hub.ini").string()) {
        app.program().links.sendLine = [this](const std::string& line) {
            sent.push_back(line);
            return true;
        };
    }
    bool Printed(const std::string& line) {
        std::istringstream in(out.str());
        for (std::string l; std::getline(in, l);) {
            if (l == line) return true;
        }
        return false;
    }

    test::TempDir dir;
    std::ostringstream out;
    CliApp app;
    std::vector<std::string> sent;
};

TEST_F(TransferCommandsTest, RefusedWithoutTheirWindowsOrWhileDisabled) {
    app.Execute("download");
    EXPECT_TRUE(Printed("refused: download (no Join Game window)"));
    app.Execute("close-transfer");
    EXPECT_TRUE(Printed("refused: close-transfer (no File Transfer window)"));

    app.program().windows.client = true;
    app.program().client.joinedHostNick = "Alice";
    app.ui().EnableControl(WindowId::JoinGame, control::kDownload, false);
    app.Execute("download");
    EXPECT_TRUE(Printed("refused: download (Download is disabled)"));
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(app.program().client.downloadRequested);
}

TEST_F(TransferCommandsTest, DownloadAsksTheHostAndTheWindowShowsItsProgress) {
    app.program().windows.client = true;
    app.program().client.joinedHostNick = "Alice";
    app.ui().EnableControl(WindowId::JoinGame, control::kDownload, true);
    app.Execute("download");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "NOTICE Alice :K-Hub-3|GET\r\n");
    EXPECT_TRUE(app.program().client.downloadRequested);

    transfer::OpenTransferWindow(app.program());
    EXPECT_TRUE(Printed("window: open transfer"));
    EXPECT_TRUE(Printed("progress: 0"));
    // The open window locks Download; closing it gives Download back.
    app.Execute("download");
    EXPECT_TRUE(Printed("refused: download (Download is disabled)"));
    app.Execute("close-transfer");
    EXPECT_TRUE(Printed("window: close transfer"));
    EXPECT_TRUE(app.ui().ControlEnabled(WindowId::JoinGame, control::kDownload));
}

}  // namespace
}  // namespace khub
