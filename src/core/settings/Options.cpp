#include "Options.h"

#include "app/Program.h"

namespace khub {

bool IsValidPlayerName(std::string_view name) {
    if (name.size() < 5 || name.size() > 15) return false;
    static constexpr std::string_view kRefused = " +-=@#%!^&*(){}:;<>,.?\\/~\"'`";
    return name.find_first_of(kRefused) == std::string_view::npos;
}

namespace {
std::string Cut(std::string s, std::size_t limit) {
    if (s.size() > limit) s.resize(limit);
    return s;
}
}  // namespace

OptionsValues LoadOptions(const Program& program) {
    const CIni ini = program.Settings();
    OptionsValues v;
    v.playerName = Cut(ini.GetString("options", "playername"), kOptionsNameLimit);
    v.connectOnStartup = ini.GetBool("options", "connectonstartup");
    v.programPath = Cut(ini.GetString("options", "programpath"), kOptionsPathLimit);
    v.romPath = Cut(ini.GetString("options", "rompath"), kOptionsPathLimit);
    v.playJoinSound = ini.GetBool("host", "playsound");
    v.joinSoundFile = Cut(ini.GetString("host", "soundfile"), kOptionsPathLimit);
    v.playTextSound = ini.GetBool("host", "playtextsound");
    v.textSoundFile = Cut(ini.GetString("host", "textsoundfile"), kOptionsPathLimit);
    return v;
}

bool SaveOptions(Program& program, const OptionsValues& v) {
    const CIni ini = program.Settings();
    const bool nameValid = IsValidPlayerName(v.playerName);
    if (nameValid) ini.SetString("options", "playername", v.playerName);
    ini.SetString("options", "programpath", v.programPath);
    ini.SetString("options", "rompath", v.romPath);
    ini.SetString("host", "soundfile", v.joinSoundFile);
    ini.SetString("host", "textsoundfile", v.textSoundFile);
    ini.SetBool("options", "connectonstartup", v.connectOnStartup);
    ini.SetBool("host", "playsound", v.playJoinSound);
    ini.SetBool("host", "playtextsound", v.playTextSound);
    program.playJoinSound = v.playJoinSound;
    program.playTextSound = v.playTextSound;
    return nameValid;
}

}  // namespace khub
