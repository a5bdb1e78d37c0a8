// Xlib's I/O error handler: one line and exit status 1 when the X server is gone.
#include "x11/xcb/XlibIoError.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <unistd.h>

namespace tavelin::x11::xcb {

namespace {

// Xlib rule: an I/O error handler must not return (Xlib exits if it does) and the display is
// unusable, so nothing may be asked of it. _exit, not exit: exit's handlers would reach Qt, whose
// teardown talks to the dead connection.
int brokenDisplay(Display*)
{
    static const char line[] = "tavelin: the X11 connection broke: the X server is gone or closed the connection\n";
    (void)!write(STDERR_FILENO, line, sizeof line - 1);
    _exit(1);
}

}

void reportBrokenDisplayInOneLine()
{
    XSetIOErrorHandler(brokenDisplay);
}

}
