// Closures that run later (timers, network completions, discovery callbacks) hold a weak
// token of their owner and do nothing once the owner is gone.
#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace ovrel {

class Vivant {
public:
    Vivant() : jeton_(std::make_shared<char>(0)) {}
    Vivant(const Vivant&) = delete;
    Vivant& operator=(const Vivant&) = delete;

    // Wraps `action` so that it runs only while this object lives.
    template <class F>
    auto garder(F action) const {
        return [garde = std::weak_ptr<char>(jeton_), action = std::move(action)](auto&&... arguments) mutable {
            if (garde.expired()) return;
            action(std::forward<decltype(arguments)>(arguments)...);
        };
    }
    bool vivant(const std::weak_ptr<char>& garde) const { return !garde.expired(); }
    std::weak_ptr<char> garde() const { return jeton_; }

private:
    std::shared_ptr<char> jeton_;
};

}  // namespace ovrel
