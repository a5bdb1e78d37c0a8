// What happens when the X server goes away under the Xlib display Qt's xcb platform opens.
#pragma once

namespace tavelin::x11::xcb {

// Replaces the I/O error handler Qt installs, which prints its own line and then Xlib's default
// handler's lines ("XIO: fatal IO error …"): whichever of Qt's paths notices first, the user reads
// one line on why Tavelin ended. Call after the QApplication exists (Qt installs its own then).
void reportBrokenDisplayInOneLine();

}
