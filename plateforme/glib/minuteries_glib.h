// Timers and main-queue dispatch on the GLib main context.
//
// Everything runs on the context that was the thread's default when the adapter was created
// (the application's main context). Actions never run from inside the call that schedules them.
// Sources still pending when the adapter is destroyed are removed: nothing scheduled through it
// runs afterwards. Each timer's handle owns it: dropping the handle removes its source.
#pragma once

#include "plateforme/minuteries.h"

#include <glib.h>

#include <memory>
#include <vector>

namespace ovrel {

class MinuteriesGlib final : public Minuteries {
public:
    MinuteriesGlib();
    ~MinuteriesGlib() override;
    MinuteriesGlib(const MinuteriesGlib&) = delete;
    MinuteriesGlib& operator=(const MinuteriesGlib&) = delete;

    // At the default priority, in the order of the calls (an idle-priority source would wait
    // behind every redraw and network event).
    void surLaFilePrincipale(Action action) override;
    // Millisecond precision; a negative delay counts as zero.
    std::unique_ptr<Minuterie> apres(std::chrono::milliseconds delai, Action action) override;
    // Each run is scheduled `periode` after the previous one ran; a period under one
    // millisecond counts as one, so that a timer can never starve the loop.
    std::unique_ptr<Minuterie> repeter(std::chrono::milliseconds periode, Action action) override;

    // One scheduled action; defined in the implementation.
    class Source;

private:
    class Poignee;
    std::shared_ptr<Source> programmer(GSource* source, bool repete, Action action);

    GMainContext* contexte_;
    std::vector<std::weak_ptr<Source>> sources_;
};

}  // namespace ovrel
