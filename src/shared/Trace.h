// Timing lines on stderr for the benchmarks, printed only when TAVELIN_TRACE is set.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tavelin::shared {

inline bool tracing()
{
    static const bool enabled = std::getenv("TAVELIN_TRACE") != nullptr;
    return enabled;
}

// Measures one step from construction; prints "tavelin: trace: <step> <ms> ms" when told to.
class TraceTimer {
public:
    explicit TraceTimer(const char* step) : m_step(step) { }
    double milliseconds() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start).count();
    }
    void print() const
    {
        if (tracing())
            std::fprintf(stderr, "tavelin: trace: %s %.1f ms\n", m_step, milliseconds());
    }

private:
    const char* m_step;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}
