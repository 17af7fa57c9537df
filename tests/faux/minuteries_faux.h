// Timers and main-queue dispatch driven by a manual clock: nothing runs until the test drains the
// queue or moves time forward.
#pragma once

#include "plateforme/horloge.h"
#include "plateforme/minuteries.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace ovrel {

class MinuteriesFaux final : public Minuteries {
public:
    explicit MinuteriesFaux(HorlogeManuelle& horloge) : horloge_(horloge) {}

    void surLaFilePrincipale(Action action) override;
    std::unique_ptr<Minuterie> apres(std::chrono::milliseconds delai, Action action) override;
    std::unique_ptr<Minuterie> repeter(std::chrono::milliseconds periode, Action action) override;

    // Runs the main-queue dispatches, including those queued meanwhile, until none is left.
    void vider();

    // Moves the clock forward by `duree`. Every timer due on the way runs at its own time, in
    // time order (creation order for equal times), with the clock set to that time; the main
    // queue is drained before, between and after them.
    void avancer(std::chrono::milliseconds duree);

    std::size_t enFile() const { return file_.size(); }
    // Timers not cancelled and not yet run (repeating ones stay active until cancelled).
    std::size_t actives() const;

private:
    class Programmee;
    class Poignee;

    HorlogeManuelle& horloge_;
    std::deque<Action> file_;
    std::vector<std::shared_ptr<Programmee>> programmees_;
    std::uint64_t suivante_ = 0;

    std::unique_ptr<Minuterie> programmer(std::chrono::milliseconds delai, std::chrono::milliseconds periode,
                                          Action action);
};

}  // namespace ovrel
