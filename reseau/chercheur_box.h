// The one discovery object of the application: it browses this network for boxes, asks each
// one who it is, and keeps the table of what it found, keyed by host:port.
#pragma once

#include "plateforme/decouverte.h"
#include "plateforme/http.h"
#include "plateforme/minuteries.h"
#include "plateforme/vivant.h"
#include "reseau/box_trouvee.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace ovrel {

// The service type the boxes announce, and the domain browsed.
inline constexpr const char* TYPE_SERVICE_BOX = "_ovrel-box._tcp";
inline constexpr const char* DOMAINE_DECOUVERTE = "local";

class ChercheurBox {
public:
    ChercheurBox(Decouverte& decouverte, Http& http, Minuteries& minuteries);
    ChercheurBox(const ChercheurBox&) = delete;
    ChercheurBox& operator=(const ChercheurBox&) = delete;

    // (Re)starts browsing with an empty table, then tells the screen (which shows its empty,
    // still-searching state). Answers to queries of an earlier start are dropped.
    void demarrer();
    // Stops browsing; the table keeps what it holds.
    void arreter();
    // The boxes found since the last start, by host:port.
    const std::map<std::string, BoxTrouvee>& boxes() const { return boxes_; }
    // Called after every change of the table and at each start; the screen shown installs its
    // own.
    void definirSurChangement(std::function<void()> surChangement) { surChangement_ = std::move(surChangement); }

private:
    void resolu(const std::string& hote, int port);
    // Asks the box who it is (3 s, name lookup included): a mute device never delays the list.
    // A box that just came back at another address may still be looked up at its old one for a
    // second or two, until the network's caches take the new one: a query that could not reach
    // it (not one left unanswered) is asked again, twice at most, 1.5 s then 3 s later.
    // `essai` counts the queries made before this one.
    void interroger(const BoxTrouvee& box, int essai);
    void changement();

    Decouverte& decouverte_;
    Http& http_;
    Minuteries& minuteries_;
    std::map<std::string, BoxTrouvee> boxes_;
    // The second queries waiting, by key.
    std::map<std::string, std::unique_ptr<Minuterie>> relances_;
    // Which start an answer belongs to.
    std::uint64_t generation_ = 0;
    std::function<void()> surChangement_;
    Vivant vivant_;
};

}  // namespace ovrel
