#pragma once
// The terminal front end: the same core behind a line interface. Each command is what a
// menu item or a button does; what a window would show is printed one line at a time.

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "app/Program.h"
#include "app/Startup.h"
#include "platform/RecordingUi.h"
#include "platform/ThreadEventLoop.h"

namespace khub {

class CliApp {
  public:
    CliApp(std::ostream& out, std::string settingsFilePath);
    ~CliApp();

    // Where the settings file was found; start-up logs it. Without it, start-up uses the
    // path given to the constructor.
    void SetSettingsLocation(SettingsLocation location) { location_ = std::move(location); }

    // Applies the start-up rules, then reads commands from in until quit or end of input;
    // returns the exit code.
    int Run(std::istream& in);

    // The start-up rules and what the terminal does about their decision (Run calls it
    // first). Lobby thread.
    StartupAction Start();

    // Usage, the commands and the files used, for --help.
    std::string HelpText() const;

    // Runs one command line on the lobby thread (the caller must be on it).
    void Execute(const std::string& line);

    Program& program() { return *program_; }
    RecordingUi& ui() { return ui_; }

    using Handler = std::function<void(const std::string& args)>;
    // summary: one line for --help, e.g. "NICK  join the game hosted by NICK".
    void AddCommand(const std::string& name, Handler handler, const std::string& summary = "");
    void PrintLine(const std::string& line);
    void Refuse(const std::string& command, const std::string& why);
    // Ends the loop once the current command is done.
    void Quit();

  private:
    void AddCommands();
    void Print(const RecordingUi::Event& e);

    std::ostream& out_;
    RecordingUi ui_;
    ThreadEventLoop loop_;
    std::unique_ptr<Program> program_;
    std::map<std::string, Handler> commands_;
    std::map<std::string, std::string> summaries_;
    SettingsLocation location_;
    bool quitting_ = false;
};

}  // namespace khub
