#include "plateforme/horloge.h"

#include <cmath>

namespace ovrel {

double secondesDepuis1970(Instant instant) {
    return std::chrono::duration<double>(instant.time_since_epoch()).count();
}

Instant instantDepuis1970(double secondes) {
    // Saturate instead of overflowing the clock's 64-bit nanosecond count.
    using Duree = Instant::duration;
    constexpr double maxi = static_cast<double>(Duree::max().count()) / Duree::period::den;
    if (std::isnan(secondes)) return Instant{};
    if (secondes >= maxi) return Instant::max();
    if (secondes <= -maxi) return Instant::min();
    return Instant{std::chrono::duration_cast<Duree>(std::chrono::duration<double>(secondes))};
}

}  // namespace ovrel
