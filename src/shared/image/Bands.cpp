// Work on an image split into bands of rows, run on helper threads beside the calling one.
#include "shared/image/Bands.h"

#include <algorithm>
#include <vector>

namespace tavelin::shared::image {

void runInBands(size_t count, const BandWork& work, const ThreadStart& start)
{
    if (count == 0)
        return;
    // Declared first, so leaving by any path joins the helpers before work goes out of scope.
    std::vector<std::jthread> helpers;
    size_t started = 1;
    try {
        helpers.reserve(count - 1);
        for (; started < count; ++started) {
            auto band = [&work, started] { work(started); };
            helpers.push_back(start ? start(band) : std::jthread(band));
        }
    } catch (...) {
        // No more helpers to be had: the remaining bands run on this thread.
    }
    work(0);
    for (size_t band = started; band < count; ++band)
        work(band);
}

size_t bandCount(int height, int minRows, int maxBands)
{
    int cores = std::clamp(int(std::thread::hardware_concurrency()), 1, maxBands);
    return size_t(std::clamp(height / minRows, 1, cores));
}

}
