// Shortcut keys observed on the whole desktop without grabbing, and on our own windows.
#pragma once

#include "Platform.h"

#include <functional>
#include <memory>

namespace tavelin::qt {

class KeyMonitor {
public:
    KeyMonitor();
    ~KeyMonitor();
    MonitorToken addGlobal(std::function<void(const KeyEvent&)> handler);
    MonitorToken addLocal(std::function<bool(const KeyEvent&)> handler);
    // False when the token is not one of ours.
    bool remove(MonitorToken token);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
