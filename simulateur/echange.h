// One HTTP exchange of the simulated services: the request as the routes read it and the answer
// they give back, kept apart from libsoup so that the routes stay plain functions.
#pragma once

#include <libsoup/soup.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ovrel::simulateur {

struct Requete {
    std::string methode;
    std::string hote;         // lower case, without port
    std::string hoteComplet;  // the Host header as received
    std::string chemin;
    std::string requete;      // raw query
    std::map<std::string, std::string> parametres;  // decoded query items (the first of a name)
    std::map<std::string, std::string> cookies;
    std::map<std::string, std::string> formulaire;  // decoded form body
    std::string corps;
    std::string type;         // media type of the body, lower case, without its parameters
    bool https = false;

    std::optional<std::string> parametre(const std::string& nom) const;
    std::optional<std::string> cookie(const std::string& nom) const;
};

struct Reponse {
    int statut = 200;
    std::string type = "text/html; charset=utf-8";
    std::string corps;
    std::vector<std::pair<std::string, std::string>> entetes;

    static Reponse html(int statut, std::string corps);
    static Reponse json(int statut, std::string corps);
    static Reponse texte(int statut, std::string corps);
    static Reponse redirection(std::string location, int statut = 302);
    Reponse& entete(std::string nom, std::string valeur);
};

Requete lireRequete(SoupServerMessage* message);
void envoyer(SoupServerMessage* message, const Reponse& reponse);
// Accepts the request and resets its connection (RST) without any answer.
void couperConnexion(SoupServerMessage* message);

// "a=b; c=d" into its pairs (the first of a name wins).
std::map<std::string, std::string> lireCookies(std::string_view entete);
// The names of "a=b; c=d", in order, repeats kept.
std::vector<std::string> nomsDesCookies(std::string_view entete);
// Decoded items of a query or of a form body (the first of a name wins).
std::map<std::string, std::string> lireFormulaire(std::string_view texte);

}  // namespace ovrel::simulateur
