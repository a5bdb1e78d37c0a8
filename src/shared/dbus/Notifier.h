// Desktop notifications through the session bus (org.freedesktop.Notifications), as tray
// applications tell their users what went wrong.
#pragma once

#include <string>

namespace tavelin::shared::dbus {

// Sends one notification without waiting for the server; without one on the bus it is lost, so
// every caller keeps its own line on stderr as well. The body is plain text: it is escaped for a
// server that reads bodies as markup.
void notify(const std::string& title, const std::string& body);

}
