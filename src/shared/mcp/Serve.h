// `tavelin mcp`: the MCP server's process, talking to the running Tavelin over the session bus.
#pragma once

namespace tavelin::shared::mcp {

// Serves until standard input closes; the exit status.
int serveMcp(int argc, char** argv);

}
