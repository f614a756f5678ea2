#pragma once
// Every line the server sends (without its line end) goes through DispatchIrcLine on the
// lobby thread: it answers the server, keeps the channel user list and the main title up
// to date, logs, and hands lobby messages, partner chat and DCC requests on.

#include <string_view>

namespace khub {

struct Program;

void DispatchIrcLine(Program& program, std::string_view line);

}  // namespace khub
