// The native fleet screen as the application object sees it: it is handed what to show (the
// header, the list, the seen labels of the rows on view) and reports the user's gestures through
// the actions the object gives it. The screen keeps the list's filter to itself.
#pragma once

#include "parc/modele_parc.h"
#include "sante/suivi_vu.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace ovrel {

class EcranParc {
public:
    virtual ~EcranParc() = default;

    // Whether the screen has been built (with the window).
    virtual bool construit() const = 0;
    virtual void afficherEntete(const EnteteParcModele& entete) = 0;
    // Replaces the whole list (given away: at 10,000 rows a copy counts); the rows a filter hides
    // stay in it.
    virtual void afficherListe(ListeParcModele liste) = 0;
    // The rows (their index in the list) whose seen label is on view: only those are refreshed
    // each second.
    virtual std::vector<std::size_t> lignesVisibles() const = 0;
    virtual void afficherVus(const std::vector<AffichageVu>& vus) = 0;
    // One anomaly button is waiting for the cloud (disabled) or not.
    virtual void actionEnCours(std::size_t action, bool enCours) = 0;
};

}  // namespace ovrel
