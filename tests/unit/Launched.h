// A launched AppDelegate on the fake desktop, shared by the command tests.
#pragma once

#include "AppDelegate.h"
#include "FakePlatform.h"

namespace tavelin::test {

struct Launched {
    FakePlatform platform;
    std::unique_ptr<AppDelegate> app;

    explicit Launched(bool launch = true)
    {
        app = std::make_unique<AppDelegate>(platform);
        if (launch)
            app->applicationDidFinishLaunching();
    }
    GridState& state() { return app->gridState(); }
    FakeOverlay& overlay() { return *platform.overlay; }
    const MenuItem& row(const std::string& title) { return platform.row(title); }
};

}
