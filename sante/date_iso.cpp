#include "sante/date_iso.h"

#include <chrono>

namespace ovrel {

namespace {

// Reads `n` decimal digits from `p`; -1 when any of them is not a digit.
constexpr int chiffres(const char* p, int n) noexcept {
    int valeur = 0;
    for (int i = 0; i < n; ++i) {
        const char c = p[i];
        if (c < '0' || c > '9') return -1;
        valeur = valeur * 10 + (c - '0');
    }
    return valeur;
}

constexpr bool bissextile(int annee) noexcept {
    return (annee % 4 == 0 && annee % 100 != 0) || annee % 400 == 0;
}

constexpr int joursDuMois(int annee, int mois) noexcept {
    constexpr int jours[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return mois == 2 && bissextile(annee) ? 29 : jours[mois - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
constexpr std::int64_t joursDepuis1970(int annee, int mois, int jour) noexcept {
    const std::int64_t a = mois <= 2 ? annee - 1 : annee;
    const std::int64_t ere = (a >= 0 ? a : a - 399) / 400;
    const std::int64_t anDeLEre = a - ere * 400;
    const std::int64_t jourDeLAn = (153 * (mois > 2 ? mois - 3 : mois + 9) + 2) / 5 + jour - 1;
    const std::int64_t jourDeLEre = anDeLEre * 365 + anDeLEre / 4 - anDeLEre / 100 + jourDeLAn;
    return ere * 146097 + jourDeLEre - 719468;
}

static_assert(joursDepuis1970(1970, 1, 1) == 0);
static_assert(joursDepuis1970(2000, 3, 1) == 11017);
static_assert(joursDepuis1970(0, 1, 1) == -719528);

}  // namespace

std::optional<std::int64_t> secondesIsoUtc(std::string_view texte) noexcept {
    // "YYYY-MM-DDTHH:MM:SS" is 19 characters; then "Z" (20) or "+HH:MM" (25).
    const std::size_t n = texte.size();
    if (n != 20 && n != 25) return std::nullopt;
    const char* p = texte.data();
    if (p[4] != '-' || p[7] != '-' || p[10] != 'T' || p[13] != ':' || p[16] != ':') return std::nullopt;
    const int annee = chiffres(p, 4);
    const int mois = chiffres(p + 5, 2);
    const int jour = chiffres(p + 8, 2);
    const int heure = chiffres(p + 11, 2);
    const int minute = chiffres(p + 14, 2);
    const int seconde = chiffres(p + 17, 2);
    if (annee < 0 || mois < 1 || mois > 12 || jour < 1 || jour > joursDuMois(annee, mois)) return std::nullopt;
    if (heure < 0 || heure > 23 || minute < 0 || minute > 59 || seconde < 0 || seconde > 59) return std::nullopt;

    std::int64_t decalage = 0;
    if (n == 20) {
        if (p[19] != 'Z') return std::nullopt;
    } else {
        const char signe = p[19];
        if ((signe != '+' && signe != '-') || p[22] != ':') return std::nullopt;
        const int h = chiffres(p + 20, 2);
        const int m = chiffres(p + 23, 2);
        if (h < 0 || h > 23 || m < 0 || m > 59) return std::nullopt;
        decalage = (h * 60 + m) * 60;
        if (signe == '-') decalage = -decalage;
    }
    const std::int64_t local =
        joursDepuis1970(annee, mois, jour) * 86400 + heure * 3600 + minute * 60 + seconde;
    // The offset says how far local time is ahead of UTC.
    return local - decalage;
}

std::int64_t secondesPlancher(Instant instant) noexcept {
    static_assert(Instant::period::num == 1, "the clock counts fractions of a second");
    constexpr std::int64_t parSeconde = Instant::period::den;
    const std::int64_t tics = instant.time_since_epoch().count();
    std::int64_t secondes = tics / parSeconde;
    if (tics % parSeconde < 0) --secondes;
    return secondes;
}

std::optional<Instant> AnalyseurIsoUtc::analyser(std::string_view texte) const noexcept {
    const auto secondes = secondesIsoUtc(texte);
    if (!secondes) return std::nullopt;
    using std::chrono::seconds;
    constexpr std::int64_t maxi = std::chrono::duration_cast<seconds>(Instant::duration::max()).count();
    constexpr std::int64_t mini = std::chrono::duration_cast<seconds>(Instant::duration::min()).count();
    if (*secondes > maxi || *secondes < mini) return std::nullopt;
    return Instant{std::chrono::duration_cast<Instant::duration>(seconds{*secondes})};
}

}  // namespace ovrel
