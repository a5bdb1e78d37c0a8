// A launched AppDelegate on the fake desktop, shared by the command tests.
#pragma once

#include "core/AppDelegate.h"
#include "FakePlatform.h"

namespace tavelin::test {

struct Launched {
    FakePlatform platform;
    std::unique_ptr<core::AppDelegate> app;

    Launched() : app(std::make_unique<core::AppDelegate>(platform)) { app->launch(); }
    core::GridState& state() { return app->gridState(); }
    FakeOverlay& overlay() { return *platform.overlay; }
};

}
