// Main-queue dispatch, delayed dispatch and repeating timers. The GLib adapter runs them on the
// main context; the fake runs them when a test moves its clock.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace ovrel {

// A scheduled action; destroying the handle does NOT cancel it, `annuler` does.
class Minuterie {
public:
    virtual ~Minuterie() = default;
    virtual void annuler() = 0;
    virtual bool active() const = 0;
};

class Minuteries {
public:
    using Action = std::function<void()>;
    virtual ~Minuteries() = default;

    // Runs `action` later on the main queue (never synchronously).
    virtual void surLaFilePrincipale(Action action) = 0;
    // Runs `action` once, `delai` from now.
    virtual std::shared_ptr<Minuterie> apres(std::chrono::milliseconds delai, Action action) = 0;
    // Runs `action` every `periode`, until cancelled.
    virtual std::shared_ptr<Minuterie> repeter(std::chrono::milliseconds periode, Action action) = 0;
};

}  // namespace ovrel
