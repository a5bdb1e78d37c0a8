// Callbacks handed to the platform that do nothing once their owner is gone.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace tavelin::core {

// The platform may run a queued task or timer after the object that asked for it was destroyed;
// a guarded callback then returns without touching it (a default value where one is expected).
class Lifeline {
public:
    Lifeline() = default;
    ~Lifeline() { *m_alive = false; }
    Lifeline(const Lifeline&) = delete;
    Lifeline& operator=(const Lifeline&) = delete;

    template<typename F>
    auto guard(F work) const
    {
        return [alive = std::weak_ptr<bool>(m_alive), work = std::move(work)](auto&&... args) {
            using Result = decltype(work(std::forward<decltype(args)>(args)...));
            auto flag = alive.lock();
            if (!flag || !*flag) {
                if constexpr (std::is_void_v<Result>)
                    return;
                else
                    return Result {};
            }
            return work(std::forward<decltype(args)>(args)...);
        };
    }

private:
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}
