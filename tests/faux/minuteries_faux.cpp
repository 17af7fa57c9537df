#include "tests/faux/minuteries_faux.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace ovrel {

class MinuteriesFaux::Programmee final : public Minuterie {
public:
    Programmee(Instant echeance, std::chrono::milliseconds periode, Action action, std::uint64_t rang)
        : echeance(echeance), periode(periode), action(std::move(action)), rang(rang) {}

    void annuler() override { active_ = false; }
    bool active() const override { return active_; }

    Instant echeance;
    std::chrono::milliseconds periode;  // zero for a one-shot timer
    Action action;
    std::uint64_t rang;
    bool active_ = true;
};

// Dropping the handle cancels the timer, as the real adapter's does.
class MinuteriesFaux::Poignee final : public Minuterie {
public:
    explicit Poignee(std::shared_ptr<Programmee> m) : m_(std::move(m)) {}
    ~Poignee() override { m_->annuler(); }
    Poignee(const Poignee&) = delete;
    Poignee& operator=(const Poignee&) = delete;
    void annuler() override { m_->annuler(); }
    bool active() const override { return m_->active(); }

private:
    std::shared_ptr<Programmee> m_;
};

void MinuteriesFaux::surLaFilePrincipale(Action action) { file_.push_back(std::move(action)); }

std::unique_ptr<Minuterie> MinuteriesFaux::apres(std::chrono::milliseconds delai, Action action) {
    return programmer(std::max(delai, std::chrono::milliseconds(0)), std::chrono::milliseconds(0), std::move(action));
}

std::unique_ptr<Minuterie> MinuteriesFaux::repeter(std::chrono::milliseconds periode, Action action) {
    // A period below one millisecond would never let the clock move on.
    const auto p = std::max(periode, std::chrono::milliseconds(1));
    return programmer(p, p, std::move(action));
}

std::unique_ptr<Minuterie> MinuteriesFaux::programmer(std::chrono::milliseconds delai,
                                                      std::chrono::milliseconds periode, Action action) {
    auto m = std::make_shared<Programmee>(horloge_.maintenant() + delai, periode, std::move(action), suivante_++);
    programmees_.push_back(m);
    return std::make_unique<Poignee>(std::move(m));
}

void MinuteriesFaux::vider() {
    // A dispatch that keeps queueing itself would never let the test end.
    std::size_t tours = 0;
    while (!file_.empty()) {
        if (++tours > 1'000'000) throw std::logic_error("la file principale ne se vide jamais");
        Action action = std::move(file_.front());
        file_.pop_front();
        if (action) action();
    }
}

void MinuteriesFaux::avancer(std::chrono::milliseconds duree) {
    const Instant cible = horloge_.maintenant() + duree;
    vider();
    while (true) {
        std::erase_if(programmees_, [](const auto& m) { return !m->active(); });
        auto prochaine = std::min_element(programmees_.begin(), programmees_.end(), [](const auto& a, const auto& b) {
            return a->echeance != b->echeance ? a->echeance < b->echeance : a->rang < b->rang;
        });
        if (prochaine == programmees_.end() || (*prochaine)->echeance > cible) break;
        std::shared_ptr<Programmee> m = *prochaine;
        // The test may have moved the clock by hand: time never goes back.
        horloge_.regler(std::max(m->echeance, horloge_.maintenant()));
        if (m->periode.count() > 0) {
            m->echeance += m->periode;
        } else {
            m->annuler();
        }
        Action action = m->action;  // the action may cancel its own timer
        if (action) action();
        vider();
    }
    horloge_.regler(cible);
    vider();
}

std::size_t MinuteriesFaux::actives() const {
    return static_cast<std::size_t>(std::count_if(programmees_.begin(), programmees_.end(),
                                                  [](const auto& m) { return m->active(); }));
}

}  // namespace ovrel
