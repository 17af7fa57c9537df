// The workshop screen as the application object sees it: it is handed the rows of the boxes of
// this network (none: the waiting label) and the progress line of the workshop's operations, and
// holds the address of a legacy box to attach.
#pragma once

#include "atelier/atelier.h"

#include <string>
#include <vector>

namespace ovrel {

class EcranAtelier {
public:
    virtual ~EcranAtelier() = default;

    // Whether the screen has been built (with the window).
    virtual bool construit() const = 0;
    // One row per box, in this order; an empty list shows the waiting label.
    virtual void afficherListe(const std::vector<LigneAtelier>& lignes) = 0;
    // The progress line of a build or an attach; empty when none runs.
    virtual void ecrireEtiquette(const std::string& texte) = 0;
    // The legacy box's address field.
    virtual std::string adresseAncien() const = 0;
    virtual void ecrireAdresseAncien(const std::string& adresse) = 0;
    // The attach button: disabled while the tool runs.
    virtual void activerRattacher(bool actif) = 0;
};

}  // namespace ovrel
