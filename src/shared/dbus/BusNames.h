// Where the running Tavelin answers on the session bus, and the errors it replies with.
#pragma once

namespace tavelin::shared::dbus {

inline constexpr const char* serviceName = "org.tavelin.Tavelin";
inline constexpr const char* objectPath = "/org/tavelin/Tavelin";
inline constexpr const char* interfaceName = "org.tavelin.Tavelin1";

// One per kind of refusal; the message is the one line a user reads.
inline constexpr const char* badArgumentError = "org.tavelin.Tavelin1.Error.BadArgument";
inline constexpr const char* notFoundError = "org.tavelin.Tavelin1.Error.NotFound";
inline constexpr const char* failedError = "org.tavelin.Tavelin1.Error.Failed";

}
