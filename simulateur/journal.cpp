#include "simulateur/journal.h"

#include <cstdio>

namespace ovrel::simulateur {

void Journal::noter(EntreeJournal entree) {
    entree.numero = suivant_++;
    if (imprimer_) {
        std::printf("REQ %s%s%s %s %s %s%s%s %d\n", entree.service.c_str(), entree.box.empty() ? "" : ":",
                    entree.box.c_str(), entree.methode.c_str(), entree.hote.c_str(), entree.chemin.c_str(),
                    entree.requete.empty() ? "" : "?", entree.requete.c_str(), entree.statut);
        std::fflush(stdout);
    }
    entrees_.push_back(std::move(entree));
    if (entrees_.size() > CAPACITE) entrees_.pop_front();
}

boost::json::object Journal::enJson(std::uint64_t depuis) const {
    boost::json::array liste;
    for (const auto& e : entrees_) {
        if (e.numero < depuis) continue;
        boost::json::object o;
        o["n"] = e.numero;
        o["service"] = e.service;
        if (!e.box.empty()) o["box"] = e.box;
        o["methode"] = e.methode;
        o["hote"] = e.hote;
        o["chemin"] = e.chemin;
        o["requete"] = e.requete;
        o["statut"] = e.statut;
        o["https"] = e.https;
        o["longueur"] = e.longueur;
        if (!e.accept.empty()) o["accept"] = e.accept;
        if (!e.type.empty()) o["type"] = e.type;
        boost::json::array cookies;
        for (const auto& nom : e.cookies) cookies.emplace_back(nom);
        o["cookies"] = std::move(cookies);
        if (!e.agent.empty()) o["agent"] = e.agent;
        liste.push_back(std::move(o));
    }
    boost::json::object r;
    r["entrees"] = std::move(liste);
    r["suivant"] = suivant_;
    return r;
}

void Journal::vider() { entrees_.clear(); }

}  // namespace ovrel::simulateur
