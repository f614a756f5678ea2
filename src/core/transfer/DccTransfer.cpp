// The lobby-thread side of a ROM transfer: offers, the resume handshake, the File Transfer
// window and the end of a transfer. The I/O threads started here only move bytes; every
// log line, box and window change they cause is posted back to the lobby thread.

#include <cstdio>
#include <cstring>
#include <random>

#include "DccHooks.h"
#include "DccMessages.h"
#include "PartialDownload.h"
#include "Transfer.h"
#include "TransferProgress.h"
#include "app/Program.h"
#include "irc/Connection.h"
#include "lobby/Lobby.h"
#include "lobby/RomCatalogue.h"
#include "platform/Files.h"
#include "platform/Sockets.h"

namespace khub::transfer {

namespace {

constexpr const char* kLobbyTag = "K-Hub-3";

TransferState& T(Program& program) {
    return program.transfer;
}

void ShowError(Program& program, const std::string& text) {
    program.log.DebugLog("%s\r\n", text.c_str());
    program.ui.ShowMessage(text, BoxIcon::Error);
}

std::string RomFolder(Program& program) {
    return program.Settings().GetStringCut("options", "rompath", 260);
}

// Runs f on the lobby thread, unless the program's transfer state is gone by then.
template <class F>
void PostToLobby(EventLoop& loop, const std::weak_ptr<int>& alive, F f) {
    loop.Post([alive, f = std::move(f)]() mutable {
        if (alive.lock()) f();
    });
}

// Posts the progress (position and its text) at each whole percent and, on a slow link,
// twice a second. Lives on an I/O thread.
class ProgressPoster {
  public:
    explicit ProgressPoster(Program& program, std::int64_t size)
        : program_(program), loop_(program.loop), alive_(program.transfer.alive), meter_(size) {}
    void operator()(std::uint64_t done) {
        if (!meter_.Record(static_cast<std::int64_t>(done), loop_.Now())) return;
        Program& program = program_;
        PostToLobby(loop_, alive_, [&program, percent = meter_.Percent(), text = meter_.Text()] {
            if (program.windows.transfer) {
                program.ui.SetControlText(WindowId::FileTransfer, control::kTransferDetail, text);
                program.ui.SetProgress(WindowId::FileTransfer, control::kTransferProgress, percent);
            }
        });
    }

  private:
    Program& program_;
    EventLoop& loop_;
    std::weak_ptr<int> alive_;
    TransferMeter meter_;
};

void FinishTransferState(Program& program) {
    TransferState& t = T(program);
    if (t.waitTimer) program.loop.Cancel(t.waitTimer);
    t.waitTimer = 0;
    if (t.worker.joinable()) t.worker.join();
    t.cancel.reset();
    t.gate.reset();
    t.direction = TransferDirection::None;
    t.phase = TransferPhase::Idle;
    t.peerNick.clear();
    t.transferInProgress = false;
}

// ---------------------------------------------------------------- sending side

enum class ListenEnd { Accepted, NotAccepted, Cancelled };

void EndSend(Program& program, SendEnd end, std::uint64_t acked);

void StartSending(Program& program, std::int64_t position) {
    TransferState& t = T(program);
    if (t.waitTimer) program.loop.Cancel(t.waitTimer);
    t.waitTimer = 0;
    t.phase = TransferPhase::Moving;
    t.gate->Open(static_cast<std::uint64_t>(position));
}

void OnSendAccepted(Program& program) {
    TransferState& t = T(program);
    // Cancelled while the connection came in: the worker ends it; no window for it.
    if (t.cancel->Cancelled()) return;
    program.log.DebugLog("Socket accepted.\r\n");
    OpenTransferWindow(program);
    program.ui.SetControlText(WindowId::FileTransfer, control::kTransferStatus,
                              program.host.hostRomFile);
    t.phase = TransferPhase::AwaitResume;
    if (t.resumeRequested) {
        StartSending(program, t.resumePosition);
        return;
    }
    // The receiver connects first and asks to resume afterwards; give it a moment.
    t.waitTimer = program.loop.PostDelayed(t.timings.resumeWindow, [&program] {
        TransferState& state = T(program);
        state.waitTimer = 0;
        if (state.phase != TransferPhase::AwaitResume) return;
        StartSending(program, state.resumeRequested ? state.resumePosition.load() : 0);
    });
}

void OnSendNotAccepted(Program& program) {
    ShowError(program, "ERROR: Socket not accepted.");
    FinishTransferState(program);
}

struct SendJob {
    SocketHandle listener;
    std::string path;
    std::int64_t size;
    DccTimings timings;
    std::shared_ptr<DccCancel> cancel;
    std::shared_ptr<StartGate> gate;
};

void SendWorker(Program& program, SendJob job) {
    EventLoop& loop = program.loop;
    std::weak_ptr<int> alive = program.transfer.alive;
    auto post = [&](auto f) { PostToLobby(loop, alive, std::move(f)); };

    // Wait for the receiver in short slices, so a cancel is seen.
    SocketHandle socket = kInvalidSocket;
    auto deadline = std::chrono::steady_clock::now() + job.timings.acceptTimeout;
    while (!job.cancel->Cancelled() && std::chrono::steady_clock::now() < deadline) {
        SocketPoll waiting{job.listener, kPollRead, 0};
        if (PollSockets({&waiting, 1}, 50) == 1) {
            socket = AcceptConnection(job.listener);
            break;
        }
    }
    CloseSocket(job.listener);
    if (job.cancel->Cancelled()) {
        CloseSocket(socket);
        post([&program] { EndSend(program, SendEnd::Cancelled, 0); });
        return;
    }
    if (socket == kInvalidSocket) {
        post([&program] { OnSendNotAccepted(program); });
        return;
    }
    job.cancel->SetSocket(socket);
    post([&program] { OnSendAccepted(program); });

    auto start = job.gate->Wait(*job.cancel);
    if (!start) {
        CloseSocket(socket);
        post([&program] { EndSend(program, SendEnd::Cancelled, 0); });
        return;
    }
    std::FILE* file = platform::OpenStream(job.path, "rb");
    if (!file || !platform::SeekStream(file, *start)) {
        if (file) std::fclose(file);
        CloseSocket(socket);
        post([&program] {
            ShowError(program, "ERROR: Can not open file for sending.");
            EndSend(program, SendEnd::Cancelled, 0);
        });
        return;
    }
    ProgressPoster progress(program, job.size);
    progress(*start);
    SendResult result = RunSendLoop(socket, file, *start, static_cast<std::uint64_t>(job.size),
                                    job.timings.loop, *job.cancel, std::ref(progress));
    std::fclose(file);
    CloseSocket(socket);
    post([&program, result] { EndSend(program, result.end, result.acked); });
}

void EndSend(Program& program, SendEnd end, std::uint64_t acked) {
    TransferState& t = T(program);
    switch (end) {
        case SendEnd::Finished:
            program.log.DebugLog("Finished.\r\n");
            break;
        case SendEnd::AckError:
            program.log.DebugLog("Error: All bytes have not been recieved by client.\r\n");
            break;
        case SendEnd::SocketError:
            program.log.DebugLog("ERROR: Could not send data.\r\n");
            program.ui.ShowMessage("SOCKET ERROR: Could not send/receive data.", BoxIcon::Error);
            break;
        case SendEnd::PeerClosed:
            program.log.DebugLog("ERROR: Could not send data.\r\n");
            // The client chose to stop; the host has nothing to do about it, so no box.
            lobby::HostWindowLog(program, "%s closed the transfer after %llu of %lld bytes.\r\n",
                                 t.peerNick.c_str(), static_cast<unsigned long long>(acked),
                                 static_cast<long long>(t.sendFileSize));
            break;
        case SendEnd::TimedOut:
            program.log.DebugLog("ERROR: Could not send data.\r\n");
            program.log.DebugLog(
                "ERROR: The receiver stopped acknowledging at %llu of %lld bytes.\r\n",
                static_cast<unsigned long long>(acked), static_cast<long long>(t.sendFileSize));
            break;
        case SendEnd::FileError:
            ShowError(program, "ERROR: Could not read the file for sending.");
            break;
        case SendEnd::Cancelled:
            break;
    }
    FinishTransferState(program);
    CloseTransferWindow(program);
}

// ---------------------------------------------------------------- receiving side

enum class ReceiveStop {
    Complete,
    SocketError,
    FileError,
    FileOpenFailed,
    ResumeFailed,
    TimedOut,  // the sender closed, stayed silent, or the player closed the window
};

struct ReceiveEndInfo {
    ReceiveStop stop = ReceiveStop::TimedOut;
    bool reachedLoop = false;
    ReceivePlan plan;
    bool existingFile = false;  // a file of the offered name was in the folder
    std::string path;           // the ROM's place in the folder
    std::string partialPath;    // where the bytes go until the CRC is the host's
    std::string crc;            // of the whole result, when it came in complete
};

bool IntoPartial(const ReceiveEndInfo& info) {
    return info.plan.start != ReceiveStart::Complete;
}

void EndReceive(Program& program, const ReceiveEndInfo& info);

void AcceptWaitStep(Program& program) {
    TransferState& t = T(program);
    t.waitTimer = 0;
    if (t.phase != TransferPhase::AwaitAccept) return;
    if (t.acceptAttempt < t.timings.acceptAttempts) {
        program.log.DebugLog("Attempt #%i.\r\n", t.acceptAttempt);
        ++t.acceptAttempt;
        t.waitTimer = program.loop.PostDelayed(t.timings.acceptRetry,
                                               [&program] { AcceptWaitStep(program); });
        return;
    }
    program.log.DebugLog("ERROR: Resume not supported.\r\n");
    t.phase = TransferPhase::Moving;
    t.gate->Refuse();
}

// The receiver says where it starts as soon as it knows, 0 for a new file: a sender that
// waits for a RESUME then starts at once instead of after its resume window.
void OnReceivePlanned(Program& program, ReceivePlan plan) {
    TransferState& t = T(program);
    if (t.cancel->Cancelled()) return;
    if (plan.start == ReceiveStart::Fresh) {
        program.log.DebugLog("File does NOT exisit.\r\n");
    } else {
        program.log.DebugLog("File exisits.\r\n");
        program.log.DebugLog("Attempting to resume.\r\n");
    }
    t.recvResumeFrom = plan.position;
    t.resumeSent = true;
    std::string line = FormatDccResume(t.peerNick, t.recvFileName, t.recvPeerPort, plan.position);
    SendDccLine(program, line);
    program.log.DebugLog("%s\r\n", WithoutLineEnd(line).c_str());
    if (plan.position == 0) {
        // Bytes from the start are right whether the sender answers or not.
        t.gate->Open(0);
        return;
    }
    t.phase = TransferPhase::AwaitAccept;
    t.acceptAttempt = 0;
    AcceptWaitStep(program);
}

void OnReceiveConnected(Program& program) {
    if (T(program).cancel->Cancelled()) return;
    program.log.DebugLog("Connect successful.\r\n");
    program.log.DebugLog("Socket connected.\r\n");
    OpenTransferWindow(program);
    program.ui.SetControlText(WindowId::FileTransfer, control::kTransferStatus,
                              program.client.wantedRomFile);
}

void OnReceiveRefused(Program& program, ReceiveStart start, const std::string& path) {
    const char* why = start == ReceiveStart::Larger
                          ? "is larger than the offered file"
                          : "has the size of the offered file but is another ROM";
    ShowError(program, FormatText("ERROR: %s %s. It was left as it was and the download "
                                  "refused; rename or move it, then press Download again.",
                                  path.c_str(), why));
    program.client.downloadRequested = false;
    FinishTransferState(program);
}

// An interrupted download stays as the partial download for the next attempt to continue;
// one that holds nothing goes.
void SettlePartial(Program& program, const ReceiveEndInfo& info) {
    if (!IntoPartial(info)) return;
    std::int64_t size = FileSizeOf(info.partialPath);
    if (size < 0) return;
    if (size == 0) {
        program.log.DebugLog("Deleteing empty file.\r\n");
        platform::RemoveFile(info.partialPath);
        return;
    }
    program.log.DebugLog("Kept the partial download %s (%lld bytes) for the next attempt.\r\n",
                         info.partialPath.c_str(), static_cast<long long>(size));
}

struct ReceiveJob {
    std::string ip;
    int port;
    std::string path;
    std::string partialPath;
    std::int64_t size;
    std::string wantedCrc;
    DccTimings timings;
    std::shared_ptr<DccCancel> cancel;
    std::shared_ptr<StartGate> gate;
};

void ReceiveWorker(Program& program, ReceiveJob job) {
    EventLoop& loop = program.loop;
    std::weak_ptr<int> alive = program.transfer.alive;
    auto post = [&](auto f) { PostToLobby(loop, alive, std::move(f)); };

    ReceiveEndInfo info;
    info.path = job.path;
    info.partialPath = job.partialPath;
    FolderLook look = LookAtFolder(job.path, job.partialPath, job.size);
    info.existingFile = look.existingSize.has_value();
    info.plan = PlanReceive(look, job.size, job.wantedCrc);
    if (info.plan.start == ReceiveStart::Larger || info.plan.start == ReceiveStart::OtherContent) {
        post([&program, start = info.plan.start, path = job.path] {
            OnReceiveRefused(program, start, path);
        });
        return;
    }
    std::FILE* file = OpenReceiveTarget(info.plan, job.path, job.partialPath);
    if (!file) {
        info.stop = ReceiveStop::FileOpenFailed;
        post([&program, info] { EndReceive(program, info); });
        return;
    }
    post([&program, plan = info.plan] { OnReceivePlanned(program, plan); });

    SocketHandle socket =
        ConnectIpv4(job.ip, static_cast<std::uint16_t>(job.port), job.timings.connectTimeout);
    if (socket == kInvalidSocket) {
        std::fclose(file);
        post([&program, info] {
            SettlePartial(program, info);
            ShowError(program, "ERROR 5: Socket could not connect.");
            program.client.downloadRequested = false;
            FinishTransferState(program);
        });
        return;
    }
    job.cancel->SetSocket(socket);
    post([&program] { OnReceiveConnected(program); });

    auto start = job.gate->Wait(*job.cancel);
    if (!start) {
        std::fclose(file);
        CloseSocket(socket);
        info.stop = job.cancel->Cancelled() ? ReceiveStop::TimedOut : ReceiveStop::ResumeFailed;
        post([&program, info] { EndReceive(program, info); });
        return;
    }
    info.reachedLoop = true;
    ProgressPoster progress(program, job.size);
    progress(*start);
    auto onIdle = [&] { post([&program] { program.log.DebugLog("Timeout.\r\n"); }); };
    ReceiveResult result =
        RunReceiveLoop(socket, file, *start, static_cast<std::uint64_t>(job.size), job.timings.loop,
                       *job.cancel, std::ref(progress), onIdle);
    bool closed = std::fclose(file) == 0;
    CloseSocket(socket);
    switch (result.end) {
        case ReceiveEnd::Complete:
            info.stop = closed ? ReceiveStop::Complete : ReceiveStop::FileError;
            // A file that was complete already got no bytes: its CRC was read while planning.
            if (closed) {
                info.crc =
                    IntoPartial(info) ? rom::CrcTextOfFile(job.partialPath) : look.existingCrc;
            }
            break;
        case ReceiveEnd::SocketError:
            info.stop = ReceiveStop::SocketError;
            break;
        case ReceiveEnd::FileError:
            info.stop = ReceiveStop::FileError;
            break;
        case ReceiveEnd::PeerClosed:
        case ReceiveEnd::Cancelled:
        case ReceiveEnd::TimedOut:
            info.stop = ReceiveStop::TimedOut;
            break;
    }
    post([&program, info] { EndReceive(program, info); });
}

void SendMatch(Program& program, const char* answer) {
    const std::string& host = program.client.joinedHostNick;
    if (host.empty()) return;
    SendDccLine(program, FormatText("NOTICE %s :%s|MATCH|%s\r\n", host.c_str(), kLobbyTag, answer));
}

// The whole file came in. Only a result with the host's CRC takes the ROM's name; the
// player's file of that name stays as it was otherwise.
void SettleCompleteFile(Program& program, const ReceiveEndInfo& info) {
    const std::string& wanted = program.client.wantedRomCrc;
    if (!wanted.empty() && info.crc == wanted) {
        std::string why;
        if (IntoPartial(info) && !platform::RenameReplacing(info.partialPath, info.path, &why)) {
            ShowError(program,
                      FormatText("ERROR: The received ROM could not be renamed to %s "
                                 "(%s). It was kept as %s.",
                                 info.path.c_str(), why.c_str(), info.partialPath.c_str()));
            return;
        }
        program.log.DebugLog("Finished.\r\n");
        T(program).transferSucceeded = true;
        SendMatch(program, "YES");
        return;
    }
    if (IntoPartial(info)) platform::RemoveFile(info.partialPath);
    const char* crc = info.crc.empty() ? "(unreadable)" : info.crc.c_str();
    if (info.existingFile) {
        ShowError(program, FormatText("ERROR: %s is in the way: it is not a part of the host's "
                                      "ROM (continued, it has the CRC %s, not the host's %s). "
                                      "It was left as it was; rename or move it, then press "
                                      "Download again.",
                                      info.path.c_str(), crc, wanted.c_str()));
    } else {
        ShowError(program, FormatText("ERROR: The received file has the CRC %s, not the host's "
                                      "%s. It is not the ROM of the game.",
                                      crc, wanted.c_str()));
    }
    SendMatch(program, "NO");
}

void EndReceive(Program& program, const ReceiveEndInfo& info) {
    // The box comes once the files are settled: what the player then sees in the folder
    // is what stays.
    std::string box;
    if (info.stop == ReceiveStop::SocketError) {
        program.log.DebugLog("Transfer interupted.\r\n");
        box = "SOCKET ERROR: Could not receive data.";
    } else if (info.stop == ReceiveStop::FileOpenFailed) {
        program.log.DebugLog("ERROR: Cant open file for receiving.\r\n");
        box = "ERROR: Can not open file for receiving.";
    } else if (info.stop == ReceiveStop::FileError) {
        box = FormatText("ERROR: Could not write %s.", info.partialPath.c_str());
        program.log.DebugLog("%s\r\n", box.c_str());
    }
    if (info.reachedLoop || info.stop == ReceiveStop::ResumeFailed) {
        program.log.DebugLog("Done sending bytes.\r\n");
    }
    switch (info.stop) {
        case ReceiveStop::Complete:
            SettleCompleteFile(program, info);
            break;
        case ReceiveStop::SocketError:
            program.log.DebugLog("ERROR: Packets have not been acknowledged.\r\n");
            SettlePartial(program, info);
            break;
        case ReceiveStop::FileError:
            SettlePartial(program, info);
            break;
        case ReceiveStop::FileOpenFailed:
            break;
        case ReceiveStop::ResumeFailed:
            program.log.DebugLog("ERROR: Could not resume download of file.\r\n");
            SettlePartial(program, info);
            break;
        case ReceiveStop::TimedOut:
            program.log.DebugLog("Timed out.\r\n");
            SettlePartial(program, info);
            break;
    }
    if (!box.empty()) program.ui.ShowMessage(box, BoxIcon::Error);
    program.client.downloadRequested = false;
    FinishTransferState(program);
    CloseTransferWindow(program);
}

void CancelRunningTransfer(Program& program) {
    TransferState& t = T(program);
    if (!t.transferInProgress || !t.cancel) return;
    if (t.waitTimer) program.loop.Cancel(t.waitTimer);
    t.waitTimer = 0;
    t.cancel->Cancel();
}

}  // namespace

// ---------------------------------------------------------------- entry points

void SendDccLine(Program& program, const std::string& line) {
    SendIrcLine(program, line);
}

void OpenTransferWindow(Program& program) {
    program.log.DebugLog("File transfer window opened.\r\n");
    program.windows.transfer = true;
    program.ui.OpenWindow(WindowId::FileTransfer);
    program.ui.SetProgress(WindowId::FileTransfer, control::kTransferProgress, 0);
    if (program.windows.client) {
        lobby::EnableJoinControl(program, control::kDownload, false);
    } else if (program.windows.host) {
        lobby::EnableHostControl(program, control::kSelect, false);
    }
}

void CloseTransferWindow(Program& program) {
    if (!program.windows.transfer) return;
    TransferState& t = T(program);
    program.log.DebugLog("File transfer window closed.\r\n");
    program.windows.transfer = false;
    if (program.windows.client) {
        t.recvFileName.clear();
        t.recvPeerIp.clear();
        t.recvFileSize = 0;
        t.recvPeerPort = 0;
        t.acceptReceived = false;
        lobby::EnableJoinControl(program, control::kDownload, !t.transferSucceeded);
    } else if (program.windows.host) {
        t.sendFilePath.clear();
        t.dccPort = 0;
        t.sendFileSize = 0;
        t.resumeRequested = false;
        t.resumePosition = 0;
        lobby::EnableHostControl(program, control::kSelect, true);
    }
    program.ui.CloseWindow(WindowId::FileTransfer);
    // A transfer still running takes the closed window as the player's cancel.
    CancelRunningTransfer(program);
}

void EndTransferWithGame(Program& program) {
    if (program.windows.transfer) {
        CloseTransferWindow(program);
    } else {
        CancelRunningTransfer(program);
    }
}

void OfferRomByDcc(Program& program, const std::string& nick) {
    TransferState& t = T(program);
    program.log.DebugLog("Client requested file.\r\n");
    if (t.transferInProgress) {
        program.log.DebugLog(
            "ERROR: A transfer is already running; the request of %s is not "
            "answered.\r\n",
            nick.c_str());
        return;
    }
    auto name = SafeFileName(program.host.hostRomFile);
    if (!name) {
        program.log.DebugLog("ERROR: No ROM has been chosen; nothing to send.\r\n");
        return;
    }
    std::string path = rom::JoinPath(RomFolder(program), *name);

    CIni ini = program.Settings();
    int startPort = ini.GetInt("options", "startport", 4000);
    int endPort = ini.GetInt("options", "endport", 4010);
    if (startPort == 0) startPort = 4000;
    if (endPort == 0) endPort = 4010;
    if (startPort < 1 || endPort > 65535 || endPort < startPort) {
        program.log.DebugLog(
            "ERROR: The port range %i to %i (startport, endport) is not usable; "
            "no file offered.\r\n",
            startPort, endPort);
        return;
    }
    auto ipNumber = IpNumberFromText(program.ownIpText);
    if (!ipNumber) {
        program.log.DebugLog(
            "ERROR: The own IP address \"%s\" is unknown or not a dotted IPv4 "
            "address; no file offered.\r\n",
            program.ownIpText.c_str());
        return;
    }

    std::FILE* file = platform::OpenStream(path, "rb");
    if (!file) {
        program.log.DebugLog("ERROR: Cant open file for sending.\r\n");
        return;
    }
    // The open stream's size, not ftell's: long is 32 bits on Windows.
    auto info = platform::StatStream(file);
    std::int64_t size = info ? info->size : -1;
    std::fclose(file);
    if (size < 0) {
        program.log.DebugLog("ERROR: Cant open file for sending.\r\n");
        return;
    }
    if (size > kMaxDccFileSize) {
        ShowError(program, FormatText("ERROR: %s is larger than 2 GiB and cannot be offered.",
                                      name->c_str()));
        return;
    }

    // A random port of the range first; when it is taken, the others in turn.
    std::random_device seed;
    std::mt19937 random(seed());
    int span = endPort - startPort + 1;
    int first = static_cast<int>(random() % static_cast<unsigned>(span));
    SocketHandle listener = kInvalidSocket;
    int port = 0;
    for (int k = 0; k < span && listener == kInvalidSocket; ++k) {
        port = startPort + (first + k) % span;
        listener = ListenIpv4(t.timings.listenAddress, static_cast<std::uint16_t>(port));
    }
    program.log.DebugLog("Port = %i\r\n", port);
    if (listener == kInvalidSocket) {
        ShowError(program, "ERROR 4: Socket could not connect.");
        return;
    }

    t.sendFilePath = path;
    t.sendFileSize = size;
    t.dccPort = port;
    t.resumeRequested = false;
    t.resumePosition = 0;
    t.transferInProgress = true;
    t.direction = TransferDirection::Send;
    t.phase = TransferPhase::Listening;
    t.peerNick = nick;
    t.cancel = std::make_shared<DccCancel>();
    t.gate = std::make_shared<StartGate>();

    std::string offerLine = FormatDccSend(nick, *name, *ipNumber, port, size);
    auto asRead = ParseDccOffer(nick + " " + offerLine.substr(offerLine.find("DCC SEND ") + 9));
    t.sendOfferedName = asRead.offer ? asRead.offer->fileName : *name;
    SendDccLine(program, offerLine);
    program.log.DebugLog("Ready to send %s to %s.\r\n", name->c_str(), nick.c_str());

    SendJob job{listener, path, size, t.timings, t.cancel, t.gate};
    t.worker = std::thread(SendWorker, std::ref(program), std::move(job));
}

void HandleDccResume(Program& program, const std::string& nick, const std::string& text) {
    TransferState& t = T(program);
    bool offering = t.direction == TransferDirection::Send &&
                    (t.phase == TransferPhase::Listening || t.phase == TransferPhase::AwaitResume);
    if (!offering || nick != t.peerNick) {
        program.log.DebugLog("Ignored a DCC RESUME from %s: no file is offered to them.\r\n",
                             nick.c_str());
        return;
    }
    ResumeFields fields = ParseResumeFields(text);
    if (!fields.position) {
        program.log.DebugLog("ERROR: The DCC RESUME from %s carries no position; ignored.\r\n",
                             nick.c_str());
        return;
    }
    if (fields.port != t.dccPort || fields.fileName != t.sendOfferedName) {
        program.log.DebugLog(
            "Ignored a DCC RESUME from %s for another port or file than %i, "
            "\"%s\".\r\n",
            nick.c_str(), t.dccPort, t.sendOfferedName.c_str());
        return;
    }
    if (t.resumeRequested) {
        program.log.DebugLog("Ignored a second DCC RESUME from %s.\r\n", nick.c_str());
        return;
    }
    if (*fields.position > t.sendFileSize) {
        program.log.DebugLog(
            "ERROR: The DCC RESUME from %s asks for position %lld of a "
            "%lld-byte file; ignored.\r\n",
            nick.c_str(), static_cast<long long>(*fields.position),
            static_cast<long long>(t.sendFileSize));
        return;
    }
    t.resumeRequested = true;
    t.resumePosition = *fields.position;
    std::string line = FormatDccAccept(nick, text);
    SendDccLine(program, line);
    program.log.DebugLog("%s\r\n", WithoutLineEnd(line).c_str());
    if (t.phase == TransferPhase::AwaitResume) StartSending(program, *fields.position);
}

void HandleDccSend(Program& program, const std::string& nick, const std::string& text) {
    TransferState& t = T(program);
    ClientGameState& client = program.client;
    if (!client.downloadRequested || nick != client.joinedHostNick) {
        program.log.DebugLog("Ignored a DCC SEND offer from %s: no file was asked of them.\r\n",
                             nick.c_str());
        return;
    }
    if (t.transferInProgress) {
        program.log.DebugLog(
            "ERROR: A transfer is already running; the DCC SEND offer from %s "
            "was refused.\r\n",
            nick.c_str());
        return;
    }
    // The dispatcher has logged the offer as it came.
    std::string argument = (nick + " " + text).substr(0, 1024);
    OfferParse parsed = ParseDccOffer(argument);
    if (!parsed.offer) {
        ShowError(program, FormatText("ERROR: The DCC SEND offer from %s was refused: %s.",
                                      nick.c_str(), parsed.error.c_str()));
        client.downloadRequested = false;
        return;
    }
    const DccOffer& offer = *parsed.offer;
    program.log.DebugLog("DCC SEND: %s %s %s %i %i\r\n", offer.nick.c_str(), offer.fileName.c_str(),
                         offer.ipText.c_str(), offer.port, static_cast<int>(offer.size));
    auto name = SafeFileName(offer.fileName);
    if (!name) {
        ShowError(program, FormatText("ERROR: The offered file name \"%s\" is not a plain file "
                                      "name. Nothing was written.",
                                      offer.fileName.c_str()));
        client.downloadRequested = false;
        return;
    }
    std::string folder = RomFolder(program);
    if (folder.empty()) {
        ShowError(program, "ERROR: No ROM folder is set. Nothing was written.");
        client.downloadRequested = false;
        return;
    }

    t.recvFileName = offer.fileName;
    t.recvFilePath = rom::JoinPath(folder, *name);
    t.recvPeerIp = offer.ipText;
    t.recvPeerPort = offer.port;
    t.recvFileSize = offer.size;
    t.recvResumeFrom = 0;
    t.resumeSent = false;
    t.acceptReceived = false;
    t.transferSucceeded = false;
    t.transferInProgress = true;
    t.direction = TransferDirection::Receive;
    t.phase = TransferPhase::Connecting;
    t.peerNick = nick;
    t.cancel = std::make_shared<DccCancel>();
    t.gate = std::make_shared<StartGate>();
    program.log.DebugLog("Opened socket.\r\n");

    ReceiveJob job{offer.ipText,   offer.port,
                   t.recvFilePath, rom::JoinPath(folder, PartialFileName(*name)),
                   offer.size,     client.wantedRomCrc,
                   t.timings,      t.cancel,
                   t.gate};
    t.worker = std::thread(ReceiveWorker, std::ref(program), std::move(job));
}

void HandleDccAccept(Program& program, const std::string& nick, const std::string& text) {
    TransferState& t = T(program);
    ResumeFields fields = ParseResumeFields(text);
    bool answersOurResume = t.resumeSent && nick == t.peerNick && fields.port == t.recvPeerPort &&
                            fields.position == t.recvResumeFrom;
    if (t.direction != TransferDirection::Receive) {
        // Also the late answer to a RESUME from 0 whose download is done already.
        program.log.DebugLog("Ignored a DCC ACCEPT from %s: no download is running.\r\n",
                             nick.c_str());
        return;
    }
    if (!answersOurResume || t.acceptReceived) {
        program.log.DebugLog("Ignored a DCC ACCEPT from %s that does not answer our RESUME.\r\n",
                             nick.c_str());
        return;
    }
    t.acceptReceived = true;
    if (t.phase != TransferPhase::AwaitAccept) return;  // started already, from 0
    if (t.waitTimer) program.loop.Cancel(t.waitTimer);
    t.waitTimer = 0;
    t.phase = TransferPhase::Moving;
    t.gate->Open(static_cast<std::uint64_t>(t.recvResumeFrom));
}

}  // namespace khub::transfer
