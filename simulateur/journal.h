// The log of every request the simulated cloud and boxes receive: printed on standard output as
// it happens and kept in memory, so that tests can ask what the application did.
#pragma once

#include <boost/json.hpp>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace ovrel::simulateur {

struct EntreeJournal {
    std::uint64_t numero = 0;  // given by the journal, from 1
    std::string service;       // "cloud" or "box"
    std::string box;           // role of the box, empty for the cloud
    std::string methode;
    std::string hote;          // Host header as received (port included)
    std::string chemin;
    std::string requete;       // raw query, empty when none
    int statut = 0;            // 0: no answer was sent (connection reset, client gone, mute box)
    std::string agent;         // User-Agent header, empty when none
    bool https = false;        // came over TLS
    std::string accept;        // Accept header, empty when none
    std::string type;          // Content-Type of the request, empty when none
    // Names of the cookies the request carried, in the order sent. Never their values: the
    // journal is printed and handed to any test, and a value is a live login.
    std::vector<std::string> cookies;
    std::uint64_t longueur = 0;  // bytes of the request body
};

class Journal {
public:
    explicit Journal(bool imprimer) : imprimer_(imprimer) {}

    void noter(EntreeJournal entree);
    // {"entrees": [...], "suivant": n}: the entries numbered `depuis` or more, and the number the
    // next entry will take. Each entry's fields come in a fixed order, "agent" (when present)
    // always last: the end-to-end tests' shell helpers read the compact text with sed.
    boost::json::object enJson(std::uint64_t depuis) const;
    void vider();

private:
    static constexpr std::size_t CAPACITE = 20000;
    std::deque<EntreeJournal> entrees_;
    std::uint64_t suivant_ = 1;
    bool imprimer_;
};

}  // namespace ovrel::simulateur
