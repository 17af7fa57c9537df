// What keeps the user from losing a label sheet, and the quit that waits for the cookies.
//
// A label sheet shows a box's one-time code, which the cloud keeps only as a fingerprint: once
// the page is gone, the code is lost for good. Committing a label sheet arms the guard; securing
// it (printing, its booklet) or leaving it with the user's consent disarms it.
#pragma once

#include "plateforme/dialogues.h"
#include "plateforme/minuteries.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ovrel {

class GardienSortie {
public:
    // A page was committed in the main frame: it is the page shown from now on. A label sheet
    // arms the guard, any other page disarms it.
    void pageEngagee(std::optional<std::string> url);
    const std::optional<std::string>& urlAffichee() const { return urlAffichee_; }
    // The page shown is a label sheet whose code is not secured.
    bool ficheAGarder() const { return aGarder_; }
    bool ficheAffichee() const;
    void desarmer() { aGarder_ = false; }

    // Asks the user whether to leave the unsecured sheet; true (and disarmed) only for "Partir
    // sans l'étiquette". A second attempt while the question is open is refused: its answer
    // decides.
    bool demanderSortie(Dialogues& dialogues);

    // The quit: granted once for all, or waiting for its answer (one at a time).
    bool finAcquittee() const { return finAcquittee_; }
    bool finEnAttente() const { return static_cast<bool>(terminer_); }
    // Waits for `acquitterFin`, at the latest until `delai` runs it (the timer is kept here).
    void attendreFin(std::function<void()> terminer, std::unique_ptr<Minuterie> delai);
    // Grants the waiting quit, once: later calls do nothing.
    void acquitterFin();

private:
    std::optional<std::string> urlAffichee_;
    bool aGarder_ = false;
    // The question is on screen: a modal dialog runs a nested main loop, which may deliver
    // another attempt to leave the same sheet meanwhile.
    bool questionOuverte_ = false;
    bool finAcquittee_ = false;
    std::function<void()> terminer_;
    std::unique_ptr<Minuterie> delaiFin_;
};

}  // namespace ovrel
