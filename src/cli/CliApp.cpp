#include "CliApp.h"

#include <iostream>
#include <mutex>
#include <thread>

#include "CliCommands.h"
#include "app/ColorText.h"

namespace khub {

namespace {
std::mutex outputMutex;

std::string WithoutLineEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}
}  // namespace

CliApp::CliApp(std::ostream& out, std::string settingsFilePath) : out_(out) {
    ui_.SetKeepHistory(false);
    ui_.SetListener([this](const RecordingUi::Event& e) { Print(e); });
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
        PrintLine("box: " + WithoutLineEnd(e.text));
    } else if (e.kind == "progress") {
        PrintLine("progress: " + std::to_string(e.value));
    } else if (e.kind == "open" || e.kind == "close") {
        PrintLine("window: " + e.kind + " " + e.text);
    }
}

void CliApp::Refuse(const std::string& command, const std::string& why) {
    PrintLine("refused: " + command + " (" + why + ")");
}

void CliApp::AddCommand(const std::string& name, Handler handler) {
    commands_[name] = std::move(handler);
}

void CliApp::AddCommands() {
    AddCommand("quit", [this](const std::string&) { Quit(); });
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

int CliApp::Run(std::istream& in) {
    // The reader only moves lines to the lobby thread; end of input counts as quit.
    std::thread reader([this, &in] {
        std::string line;
        while (std::getline(in, line)) {
            loop_.Post([this, line] { Execute(line); });
            if (WithoutLineEnd(line) == "quit") return;
        }
        loop_.Post([this] { Execute("quit"); });
    });
    reader.detach();
    loop_.Run();
    return 0;
}

}  // namespace khub
