#include "sante/suivi_vu.h"

#include "sante/couleur_sante.h"
#include "sante/date_iso.h"

#include <algorithm>
#include <limits>

namespace ovrel {

Couleur couleurVu(EtatVu etat) noexcept {
    switch (etat) {
    case EtatVu::jamais: return Couleur::blanc(0.94, 0.32);
    case EtatVu::recent: return Couleur::blanc(0.94, 0.5);
    case EtatVu::perime: break;
    }
    return couleurHexa(0xD98A4E, 0.9);
}

namespace {
// The fraction of a second of an instant, in clock ticks, always in [0, 1 s).
std::int64_t fractionDeSeconde(Instant instant) noexcept {
    constexpr std::int64_t parSeconde = Instant::period::den;
    const std::int64_t reste = instant.time_since_epoch().count() % parSeconde;
    return reste < 0 ? reste + parSeconde : reste;
}
}  // namespace

std::int64_t secondesEcoulees(Instant depuis, Instant maintenant) noexcept {
    if (depuis >= maintenant) return 0;
    // Subtracting the instants could overflow the clock's tick count; subtracting their whole
    // seconds cannot, and the fractions say whether one more second was borrowed.
    return secondesPlancher(maintenant) - secondesPlancher(depuis) -
           (fractionDeSeconde(maintenant) < fractionDeSeconde(depuis) ? 1 : 0);
}

std::optional<std::int64_t> ageVu(const SuiviVu& suivi, Instant maintenant, std::int64_t ecoule) noexcept {
    if (const auto age = ageDepuis(suivi.vuLe, maintenant)) return age;
    if (!suivi.secondesAuCalcul) return std::nullopt;
    std::int64_t age = 0;
    if (__builtin_add_overflow(*suivi.secondesAuCalcul, std::max<std::int64_t>(ecoule, 0), &age))
        age = std::numeric_limits<std::int64_t>::max();
    return std::max<std::int64_t>(age, 0);
}

namespace {
AffichageVu affichage(const SuiviVu& suivi, Instant maintenant, std::int64_t ecoule) {
    const auto age = ageVu(suivi, maintenant, ecoule);
    EtatVu etat = EtatVu::jamais;
    if (age) etat = *age <= VU_PERIME_S ? EtatVu::recent : EtatVu::perime;
    return AffichageVu{suivi.etiquette, libelleVu(age), etat, couleurVu(etat)};
}
}  // namespace

AffichageVu afficherVu(const SuiviVu& suivi, Instant maintenant, Instant parcRecuLe) {
    return affichage(suivi, maintenant, secondesEcoulees(parcRecuLe, maintenant));
}

std::vector<AffichageVu> rafraichirVus(Instant maintenant, Instant parcRecuLe, const std::vector<SuiviVu>& suivis) {
    const std::int64_t ecoule = secondesEcoulees(parcRecuLe, maintenant);
    std::vector<AffichageVu> r;
    r.reserve(suivis.size());
    for (const SuiviVu& suivi : suivis) r.push_back(affichage(suivi, maintenant, ecoule));
    return r;
}

}  // namespace ovrel
