// What the web view reports, and what pages ask of the application beyond navigation: its
// application links and its plain alert.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/connexion.h"
#include "plateforme/adresse.h"
#include "web/adresses.h"

namespace ovrel {

void Delegue::alerte(const std::string& titre, const std::string& message) {
    ports_.dialogues.alerte(titre, message);
}

void Delegue::lienDeLApp(const std::string& url, OrigineLien origine) {
    switch (genreDeLien(url)) {
    case LienApp::RetourConnexion:
        // Only the browser comes back this way: a page cannot hand the application a sign-in.
        // The sign-in waiting for its return takes it; one nobody waits for (an old page, an
        // application started afresh) is only logged.
        if (origine == OrigineLien::bureau && sessions_.recevoirRetour(url)) return;
        break;
    case LienApp::Ouvrir:
    case LienApp::Connexion:
    case LienApp::Aucun:
        // Opening a box of this network and a sign-in asked by a page come with their flows.
        break;
    }
    ports_.systeme.journal("OVREL LIEN → " + adresseSansSecret(url));
}

void Delegue::adresseEngagee() {
    // Committing a label sheet arms its guard; committing any other page disarms it.
    gardien_.pageEngagee(web_ != nullptr ? web_->urlCourante() : std::nullopt);
}

void Delegue::chargementTermine() {}

void Delegue::chargementEchoue(const std::optional<std::string>&, const ErreurTransport&, bool) {}

DecisionNavigation Delegue::deciderNavigation(const ActionNavigation& action) {
    if (!action.url) return DecisionNavigation::autoriser;
    ports_.systeme.journal("OVREL NAV → " + adresseSansSecret(*action.url));
    const auto adresse = analyserAdresse(*action.url);
    if (adresse && minuscules(adresse->schema) == SCHEMA_APP) {
        // Handled once the decision is made, on the main queue.
        ports_.minuteries.surLaFilePrincipale(
            vivant_.garder([this, url = *action.url] { lienDeLApp(url, OrigineLien::page); }));
        return DecisionNavigation::annuler;
    }
    return DecisionNavigation::autoriser;
}

DecisionNavigation Delegue::deciderReponse(const ReponseNavigation& reponse) {
    // What the engine does by itself: show what it can, save the rest.
    return reponse.typeAffichable ? DecisionNavigation::autoriser : DecisionNavigation::telecharger;
}

void Delegue::nouvelleFenetreDemandee(const std::optional<std::string>&) {}

bool Delegue::certificatRefuse(const EchecCertificat&) { return false; }

void Delegue::messageScript(const MessageScript&) {}

void Delegue::telechargementCommence(IdTelechargement, const std::optional<std::string>&) {}

void Delegue::destinationTelechargement(IdTelechargement, const std::string& nomPropose,
                                        std::function<void(std::optional<std::filesystem::path>)> repondre) {
    // Nothing is saved without the user choosing where.
    repondre(ports_.dialogues.enregistrer("Où enregistrer ce fichier de l'Ovrel ?",
                                          nomPropose.empty() ? "fichier-ovrel" : nomPropose));
}

void Delegue::telechargementTermine(IdTelechargement) {}

void Delegue::telechargementEchoue(IdTelechargement, const ErreurTransport&) {}

}  // namespace ovrel
