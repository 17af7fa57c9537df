// The "seen" labels of the fleet rows: when each box was last heard from, recomputed once a
// second so that the label keeps counting between two fleet downloads.
//
// The screen registers one `SuiviVu` per row; the refresh below is pure and returns, for each
// row, the text and colour its label must take.
#pragma once

#include "plateforme/couleur.h"
#include "plateforme/horloge.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

struct SuiviVu {
    std::size_t etiquette = 0;                     // the row's label, as the screen identifies it
    std::string vuLe;                              // the box health's `vuLe`, possibly empty
    std::optional<std::int64_t> secondesAuCalcul;  // the box health's `vuIlYaS`

    bool operator==(const SuiviVu&) const = default;
};

enum class EtatVu { jamais, recent, perime };

// never: light grey, faint; recent: light grey; stale: the orange tint of the health scale.
Couleur couleurVu(EtatVu etat) noexcept;

struct AffichageVu {
    std::size_t etiquette = 0;
    std::string texte;  // "jamais vu" or "vu il y a …"
    EtatVu etat = EtatVu::jamais;
    Couleur couleur;

    bool operator==(const AffichageVu&) const = default;
};

// Whole seconds from `depuis` to `maintenant`, truncated, 0 when `depuis` is not in the past.
// Exact over the whole range of instants, so the distant past (Instant::min()) cannot overflow.
std::int64_t secondesEcoulees(Instant depuis, Instant maintenant) noexcept;

// The age of one box, or nothing when it was never seen. A timestamp of the box wins; otherwise
// the cloud's seconds aged by `ecoule`, the seconds since the list arrived (saturating at the
// int64 maximum, and never below 0 even when the cloud sent a negative figure).
std::optional<std::int64_t> ageVu(const SuiviVu& suivi, Instant maintenant, std::int64_t ecoule) noexcept;

AffichageVu afficherVu(const SuiviVu& suivi, Instant maintenant, Instant parcRecuLe);

// The refresh of every label, in order. `parcRecuLe` is when the list on screen was received
// (for a list from the cache, when the cache was saved).
std::vector<AffichageVu> rafraichirVus(Instant maintenant, Instant parcRecuLe, const std::vector<SuiviVu>& suivis);

}  // namespace ovrel
