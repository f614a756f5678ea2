#pragma once
// Joins the areas of one Program: the lobby's lines leave through the server connection
// and its level questions go to the channel user list. Both front ends call this once,
// before anything runs.

namespace khub {

struct Program;

void LinkAreas(Program& program);

}  // namespace khub
