// Main-queue dispatch, delayed dispatch and repeating timers. The GLib adapter runs them on the
// main context; the fake runs them when a test moves its clock.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace ovrel {

// A scheduled action, owned by its handle: destroying the handle cancels it, so a timer never
// outlives what holds it. `annuler` cancels it earlier.
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

    // Runs `action` later on the main queue (never synchronously). Not cancellable: an action
    // that must not run once its owner is gone holds the owner's liveness token.
    virtual void surLaFilePrincipale(Action action) = 0;
    // Runs `action` once, `delai` from now, unless the handle is gone by then.
    [[nodiscard]] virtual std::unique_ptr<Minuterie> apres(std::chrono::milliseconds delai, Action action) = 0;
    // Runs `action` every `periode`, as long as the handle lives and is not cancelled.
    [[nodiscard]] virtual std::unique_ptr<Minuterie> repeter(std::chrono::milliseconds periode, Action action) = 0;
};

}  // namespace ovrel
