// The log of every request the simulated cloud and boxes receive: printed on standard output as
// it happens and kept in memory, so that tests can ask what the application did.
#pragma once

#include <boost/json.hpp>

#include <cstdint>
#include <deque>
#include <string>

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
};

class Journal {
public:
    explicit Journal(bool imprimer) : imprimer_(imprimer) {}

    void noter(EntreeJournal entree);
    // {"entrees": [...], "suivant": n}: the entries numbered `depuis` or more, and the number the
    // next entry will take.
    boost::json::object enJson(std::uint64_t depuis) const;
    void vider();

private:
    static constexpr std::size_t CAPACITE = 20000;
    std::deque<EntreeJournal> entrees_;
    std::uint64_t suivant_ = 1;
    bool imprimer_;
};

}  // namespace ovrel::simulateur
