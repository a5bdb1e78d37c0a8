// The tavelin executable's front door: help, version, starting Tavelin, or remote control of the
// running one over the session bus (no display needed for anything but the start).
#pragma once

#include <functional>

namespace tavelin::shared::cli {

// Starts the application proper; called only when no subcommand was given.
using StartApplication = std::function<int(int argc, char** argv)>;

// The process's exit status.
int runTavelin(int argc, char** argv, const StartApplication& start);

}
