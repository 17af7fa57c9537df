// A box found on the local network: the record built when its service resolves, its update
// from the box's identity document, and the script call that hands the boxes to the fleet page.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

struct BoxTrouvee {
    std::string hote;        // host name of the resolved service, without its final "."
    int port = 0;            // TCP port, 1 or more
    std::string nom;         // the host name until the box tells a non-empty name of its own
    std::string version;     // empty until known
    std::string serie;       // empty until known
    std::string empreinte;   // empty until known; the serial when the box gives none
    bool enregistree = false;

    // host + ":" + port: the key of the discovery table and the address that opens the box.
    std::string cle() const;

    bool operator==(const BoxTrouvee&) const = default;
};

// The record of a service that has just resolved: host name and display name without one
// final ".", nothing known yet about its identity. Absent for a service without host name
// (empty, or nothing left once the final "." is gone) or without a usable port.
std::optional<BoxTrouvee> boxResolue(std::string_view nomHote, int port);

// "http://" + host + ":" + port + "/api/decouverte", where the box tells who it is. Absent when
// that is not an address with a host.
std::optional<std::string> urlDecouverte(std::string_view hote, int port);

// The identity document of a box, read off the network queue. Each member is absent when the
// document lacks it or gives another JSON type.
struct ReponseDecouverte {
    std::optional<std::string> nom;
    std::optional<std::string> version;
    std::optional<std::string> serie;
    std::optional<std::string> empreinte;
    std::optional<bool> enregistree;

    bool operator==(const ReponseDecouverte&) const = default;
};

// Absent when the answer must be ignored: not JSON, not an object, or "produit" other than
// exactly the string "ovrel-box" (any device may answer on that path).
std::optional<ReponseDecouverte> lireDecouverte(std::string_view donnees);

// The stored record brought up to date by an answer. Host and port never change; a member the
// box did not give resets its field, except an empty or missing name, which keeps the host name.
BoxTrouvee boxMiseAJour(const BoxTrouvee& stockee, const ReponseDecouverte& reponse);
// Both steps at once; absent when the answer is ignored.
std::optional<BoxTrouvee> boxMiseAJour(const BoxTrouvee& stockee, std::string_view donnees);

// The JavaScript call that hands the boxes to the fleet page: the boxes sorted by serial
// (stable), each as {"nom","serie","version","adresse"}, compact JSON, behind a guard that makes
// the call a no-op on a page without the receiving function.
std::string appelReseau(const std::vector<BoxTrouvee>& boxes);

}  // namespace ovrel
