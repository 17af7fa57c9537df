// The clock port: every flow that reads "now" asks it, so tests can move time by hand.
#pragma once

#include <chrono>

namespace ovrel {

using Instant = std::chrono::system_clock::time_point;

class Horloge {
public:
    virtual ~Horloge() = default;
    virtual Instant maintenant() const = 0;
};

class HorlogeSysteme final : public Horloge {
public:
    Instant maintenant() const override { return std::chrono::system_clock::now(); }
};

// A clock that only moves when told to.
class HorlogeManuelle final : public Horloge {
public:
    explicit HorlogeManuelle(Instant depart = Instant{}) : maintenant_(depart) {}
    Instant maintenant() const override { return maintenant_; }
    void regler(Instant instant) { maintenant_ = instant; }
    template <class Rep, class Period>
    void avancer(std::chrono::duration<Rep, Period> duree) {
        maintenant_ += std::chrono::duration_cast<Instant::duration>(duree);
    }

private:
    Instant maintenant_;
};

// Seconds since 1970 (with fraction) and back, as the user defaults store instants.
double secondesDepuis1970(Instant instant);
Instant instantDepuis1970(double secondes);

}  // namespace ovrel
