#include "CliApp.h"

#include <iostream>
#include <mutex>
#include <thread>

#include "CliCommands.h"
#include "app/ColorText.h"
#include "irc/Connection.h"
#include "platform/SingleInstance.h"

namespace khub {

namespace {
std::mutex outputMutex;

// A box's paragraphs on one line: each event is one printed line.
std::string OnOneLine(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\n' && s[i] != '\r') {
            out += s[i];
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    return out;
}
}  // namespace

CliApp::CliApp(std::ostream& out, std::string settingsFilePath) : out_(out) {
    ui_.SetKeepHistory(false);
    ui_.SetListener([this](const RecordingUi::Event& e) { Print(e); });
    location_.filePath = settingsFilePath;
    program_ = std::make_unique<Program>(ui_, loop_, std::move(settingsFilePath));
    AddCommands();
}

CliApp::~CliApp() = default;

void CliApp::PrintLine(const std::string& line) {
    std::lock_guard lock(outputMutex);
    out_ << line << '\n';
    out_.flush();
}

void CliApp::Print(const RecordingUi::Event& e) {
    if (e.kind == "title") {
        PrintLine("title: " + e.text);
    } else if (e.kind == "append") {
        std::string text = WithoutLineEnd(StripColorCodes(e.text));
        if (e.window == WindowId::Debug) {
            PrintLine("log: " + text);
        } else {
            PrintLine("chat: " + text);
        }
    } else if (e.kind == "box") {
        PrintLine("box: " + OnOneLine(WithoutLineEnd(e.text)));
    } else if (e.kind == "progress") {
        std::string line = "progress: " + std::to_string(e.value);
        // The transfer's bytes, rate and time left come just before its position.
        std::string detail = e.window == WindowId::FileTransfer
                                 ? ui_.ControlText(WindowId::FileTransfer, control::kTransferDetail)
                                 : std::string();
        PrintLine(detail.empty() ? line : line + " (" + detail + ")");
    } else if (e.kind == "open" || e.kind == "close") {
        PrintLine("window: " + e.kind + " " + e.text);
    }
}

void CliApp::Refuse(const std::string& command, const std::string& why) {
    PrintLine("refused: " + command + " (" + why + ")");
}

void CliApp::AddCommand(const std::string& name, Handler handler, const std::string& summary) {
    commands_[name] = std::move(handler);
    if (!summary.empty()) summaries_[name] = summary;
}

void CliApp::AddCommands() {
    AddCommand(
        "quit", [this](const std::string&) { Quit(); },
        "leave the program (File > Exit); end of input does the same");
    AddIrcCommands(*this);
    AddLobbyCommands(*this);
    AddTransferCommands(*this);
}

void CliApp::Quit() {
    if (quitting_) return;
    quitting_ = true;
    loop_.Quit();
}

void CliApp::Execute(const std::string& rawLine) {
    std::string line = WithoutLineEnd(rawLine);
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return;
    line = line.substr(start);
    std::size_t blank = line.find(' ');
    std::string name = line.substr(0, blank);
    std::string args = blank == std::string::npos ? "" : line.substr(blank + 1);
    auto it = commands_.find(name);
    if (it == commands_.end()) {
        Refuse(name, "unknown command");
        return;
    }
    it->second(args);
}

StartupAction CliApp::Start() {
    StartupAction action = RunStartup(*program_, location_);
    switch (action) {
        case StartupAction::OpenOptions:
            // The terminal has no Options dialog: say what the dialog would ask for.
            program_->log.DebugLog(
                "Set playername, programpath and rompath in section [options] of \"%s\" "
                "(the Options dialog of k-hub does it); connect reads them afresh.\r\n",
                program_->settingsFilePath.c_str());
            break;
        case StartupAction::Connect:
            StartConnect(*program_);
            break;
        case StartupAction::StayNotConnected:
            break;
    }
    return action;
}

std::string CliApp::HelpText() const {
    std::string text =
        "Usage: k-hub-cli [--help | --version]\n"
        "\n"
        "K-Hub I in a terminal. Reads commands on standard input, one a line, and prints what\n"
        "the windows would show, one line each: title:, log:, chat:, box:, progress:,\n"
        "window:, refused:.\n"
        "\n"
        "Commands:\n";
    for (const auto& [name, handler] : commands_) {
        auto it = summaries_.find(name);
        std::string line = "  " + name;
        if (it != summaries_.end()) {
            line.resize(std::max<std::size_t>(line.size() + 2, 20), ' ');
            line += it->second;
        }
        text += line + "\n";
    }
    const std::string& settings = location_.filePath;
    text += "\nFiles:\n";
    text += "  settings  " + settings + "\n";
#ifdef _WIN32
    text +=
        "\n"
        "The settings folder is %APPDATA%\\K-Hub I, or the program's own folder when it runs\n"
        "with administrator rights. One copy runs at a time.\n";
#else
    text +=
        "  lock      " + LockFilePathFor(settings) + " (one running copy per settings folder)\n";
    text +=
        "\n"
        "The settings folder is $XDG_CONFIG_HOME/K-Hub I, or ~/.config/K-Hub I; another\n"
        "XDG_CONFIG_HOME is another profile with its own lock.\n";
#endif
    return text;
}

int CliApp::Run(std::istream& in) {
    loop_.Post([this] { Start(); });

    // The reader only moves lines to the lobby thread; end of input counts as quit. It may
    // outlive this object (blocked on a terminal that never sends another line), so it
    // posts only while the inbox is open, and the inbox closes before Run returns.
    struct Inbox {
        std::mutex mutex;
        bool open = true;
    };
    auto inbox = std::make_shared<Inbox>();
    auto post = [this, inbox](EventLoop::Task task) {
        std::lock_guard lock(inbox->mutex);
        if (inbox->open) loop_.Post(std::move(task));
        return inbox->open;
    };
    // Reading a command must not wait for the output: a tied stream flushes it first, from
    // this thread, and blocks while whoever reads the output is behind.
    in.tie(nullptr);
    std::thread reader([this, post, &in] {
        std::string line;
        while (std::getline(in, line)) {
            bool quit = WithoutLineEnd(line) == "quit";
            if (!post([this, line] { Execute(line); }) || quit) return;
        }
        post([this] { Execute("quit"); });
    });
    loop_.Run();
    {
        std::lock_guard lock(inbox->mutex);
        inbox->open = false;
    }
    // A finite stream (a file, a test's text) ends by itself; the terminal may never.
    if (&in == &std::cin) {
        reader.detach();
    } else {
        reader.join();
    }
    return 0;
}

}  // namespace khub
