// The screens as RandR has them now: monitors with names and rectangles, the primary one, the root's
// size; followed at run time as outputs, modes and monitors change.
#pragma once

#include "x11/xcb/X11Connection.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace tavelin::x11::screens {

// One RandR monitor, in root-window device pixels.
struct Monitor {
    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool primary = false;       // flagged primary by RandR
    bool hasPrimaryOutput = false; // shows the primary output
    friend bool operator==(const Monitor&, const Monitor&) = default;
};

// Marks exactly one monitor primary: the one RandR flags, else the one showing the primary output,
// else the first at the root's origin (a monitor added beside it does not take the grid), else the first.
void settlePrimary(std::vector<Monitor>& monitors);

// The root window's size as the server has it now (the connection's set-up data keeps the size
// at connection time). Falls back to that size if the server does not answer.
std::pair<int, int> currentRootSize(xcb::X11Connection& x11);

class RandrScreens final : public QObject {
    Q_OBJECT
public:
    RandrScreens();
    ~RandrScreens() override;

    // Never empty while connected: without RandR monitors the whole root is one screen.
    const std::vector<Monitor>& monitors() const { return m_monitors; }

signals:
    // After any RandR or root change that altered the list; read monitors() again.
    void changed();

private:
    void readEvents();
    bool refresh();

    xcb::X11Connection m_x11;
    bool m_hasMonitors = false;
    std::vector<Monitor> m_monitors;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}
