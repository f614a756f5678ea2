#include <gtest/gtest.h>

#include "CliFixture.h"
#include "transfer/Transfer.h"

namespace khub {
namespace {

using TransferCommandsTest = khub::testing::CliFixture;

// Refused without their windows or while Download is disabled; once enabled, Download asks
// the host and the window shows its progress.
TEST_F(TransferCommandsTest, DownloadAndCloseTransfer) {
    app.Execute("download");
    EXPECT_TRUE(PrintedSoFar("refused: download (no Join Game window)"));
    app.Execute("close-transfer");
    EXPECT_TRUE(PrintedSoFar("refused: close-transfer (no File Transfer window)"));

    app.program().windows.client = true;
    app.program().client.joinedHostNick = "Alice";
    app.ui().EnableControl(WindowId::JoinGame, control::kDownload, false);
    app.Execute("download");
    EXPECT_TRUE(Printed("refused: download (Download is disabled)"));
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(app.program().client.downloadRequested);

    app.ui().EnableControl(WindowId::JoinGame, control::kDownload, true);
    app.Execute("download");
    EXPECT_EQ(sent, std::vector<std::string>{"NOTICE Alice :K-Hub-3|GET\r\n"});
    EXPECT_TRUE(app.program().client.downloadRequested);

    transfer::OpenTransferWindow(app.program());
    EXPECT_TRUE(PrintedSoFar("window: open transfer"));
    EXPECT_TRUE(PrintedSoFar("progress: 0"));
    app.ui().SetControlText(WindowId::FileTransfer, control::kTransferDetail, "1.0 MB of 4.0 MB");
    app.ui().SetProgress(WindowId::FileTransfer, control::kTransferProgress, 25);
    EXPECT_TRUE(PrintedSoFar("progress: 25 (1.0 MB of 4.0 MB)"));
    // The open window locks Download; closing it gives Download back.
    app.Execute("download");
    EXPECT_TRUE(PrintedSoFar("refused: download (Download is disabled)"));
    app.Execute("close-transfer");
    EXPECT_TRUE(PrintedSoFar("window: close transfer"));
    EXPECT_TRUE(app.ui().ControlEnabled(WindowId::JoinGame, control::kDownload));
}

}  // namespace
}  // namespace khub
