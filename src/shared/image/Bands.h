// Work on an image split into bands of rows, run on helper threads beside the calling one.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace tavelin::shared::image {

using BandWork = std::function<void(size_t band)>;
// Starts one helper thread; it may throw (no memory, no thread to be had).
using ThreadStart = std::function<std::jthread(std::function<void()>)>;

// Runs work(0) … work(count - 1): band 0 here, the others on helpers started with start (plain
// threads when empty). A band whose helper could not be started runs here too. Returns once every
// band is done; the helpers are joined on every path. The work must not throw, and whatever it
// reads of a QImage must be taken beforehand (QImage's accessors are not thread-safe).
void runInBands(size_t count, const BandWork& work, const ThreadStart& start = {});

// How many bands of at least minRows rows an image of height rows gets: one per core, at most maxBands.
size_t bandCount(int height, int minRows, int maxBands);

}
