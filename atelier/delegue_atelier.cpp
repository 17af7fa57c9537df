// The designer's workshop: the boxes of this network with their state from the cloud's registry,
// building a blank box, and a new label for a box that lost its own.
#include "app/constantes.h"
#include "app/delegue.h"
#include "atelier/fabrication.h"
#include "plateforme/adresse.h"

#include <chrono>

namespace ovrel {

namespace {
// The two requests of a build: a JSON body posted, 15 s for the whole exchange.
RequeteHttp requeteJson(std::string url, std::string corps) {
    RequeteHttp requete;
    requete.methode = "POST";
    requete.url = std::move(url);
    requete.entetes = {{"Content-Type", "application/json"}};
    requete.corps = std::move(corps);
    requete.delai = std::chrono::seconds(15);
    return requete;
}
}  // namespace

void Delegue::montrerAtelier() {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    arreterBattementParc();
    chercheur_.definirSurChangement(vivant_.garder([this] { majListeAtelier(); }));
    // Nothing that runs is forgotten: a build or an attach still under way keeps its line.
    majEtiquetteAtelier();
    ports_.ecrans.afficher(Ecran::atelier);
    // The table starts empty: the waiting label shows until the first box resolves.
    chercheur_.demarrer();
    chargerRegistreAtelier();
}

void Delegue::chargerRegistreAtelier() {
    RequeteHttp requete;
    requete.url = BASE_CLOUD() + "/admin/api/parc";
    if (!analyserAdresse(requete.url)) return;
    requete.entetes = {{"Accept", "application/json"}};
    requete.delai = std::chrono::seconds(8);
    // The registry answers the signed-in console: the view's session goes into the shared jar first.
    sauvegarderCookies(vivant_.garder([this, requete = std::move(requete)]() mutable {
        ports_.http.envoyer(std::move(requete), vivant_.garder([this](ReponseHttp reponse) {
                                std::optional<std::map<std::string, FicheRegistre>> registre;
                                if (!reponse.erreur && reponse.statut == 200 && reponse.corps)
                                    registre = lireParcAtelier(*reponse.corps);
                                // Unread, it is empty: registered boxes then offer nothing, blank
                                // ones can still be built.
                                registreAtelier_ = registre.value_or(std::map<std::string, FicheRegistre>{});
                                majListeAtelier();
                            }));
    }));
}

void Delegue::majListeAtelier() {
    if (!ports_.ecranAtelier.construit()) return;
    ports_.ecranAtelier.afficherListe(lignesAtelier(chercheur_.boxes(), registreAtelier_));
}

void Delegue::majEtiquetteAtelier() {
    ports_.ecranAtelier.ecrireEtiquette(!etiquetteFabrication_.empty() ? etiquetteFabrication_
                                                                       : etiquetteRattachement_);
}

void Delegue::fabriquerBoxAction(const std::string& cle) {
    const auto trouvee = chercheur_.boxes().find(cle);
    if (trouvee == chercheur_.boxes().end()) return;
    // A copy: the table may change while the build runs.
    fabriquerBox(BoxTrouvee(trouvee->second));
}

void Delegue::terminerFabrication() {
    fabricationEnCours_ = false;
    etiquetteFabrication_.clear();
    majEtiquetteAtelier();
}

void Delegue::fabriquerBox(const BoxTrouvee& box) {
    if (fabricationEnCours_) {
        ports_.dialogues.bip();
        return;
    }
    // A device that never said who it is (it did not answer, or is no box) would have the cloud
    // create an identity for nothing, and its label code lost with it.
    if (identifiantAtelier(box).empty()) {
        alerte(std::string(TITRE_FABRICATION_IMPOSSIBLE),
               "L'appareil " + box.hote + " n'a pas dit qui il est (ni empreinte ni numéro de série).\n"
               "Actualisez la recherche, puis réessayez.");
        return;
    }
    fabricationEnCours_ = true;
    etiquetteFabrication_ = texteFabricationEnCours(box);
    majEtiquetteAtelier();

    // Both addresses are judged before the cloud is asked: an identity created for a box that
    // cannot be reached would only be lost.
    const auto injection = urlInjection(box);
    if (!analyserAdresse(URL_FABRIQUER())) {
        terminerFabrication();
        alerte(std::string(TITRE_FABRICATION_IMPOSSIBLE), std::string(TEXTE_FABRICATION_IMPOSSIBLE));
        return;
    }
    if (!injection) {
        terminerFabrication();
        alerte(std::string(TITRE_INJECTION_IMPOSSIBLE), texteInjectionImpossible(box));
        return;
    }

    RequeteHttp requete = requeteJson(URL_FABRIQUER(), corpsFabrication(box));
    // No credential of its own: the shared jar holds the console's session, copied there when
    // the registry was read.
    ports_.http.envoyer(std::move(requete), vivant_.garder([this, box, injection = *injection](ReponseHttp reponse) {
        std::optional<ReponseFabrication> identite;
        if (!reponse.erreur && reponse.corps) identite = lireReponseFabrication(reponse.statut, *reponse.corps);
        // A label-sheet address that does not form is a failure of the cloud's answer: the box
        // is then left untouched rather than given an identity whose label cannot be printed.
        const auto fiche = identite ? urlFicheEtiquette(*identite) : std::nullopt;
        if (!fiche) {
            terminerFabrication();
            alerte(std::string(TITRE_FABRICATION_IMPOSSIBLE), std::string(TEXTE_FABRICATION_IMPOSSIBLE));
            return;
        }
        RequeteHttp requete = requeteJson(injection, corpsInjection(*identite));
        // A box of this network, reached at the address it has now, without the cloud's cookies.
        requete.independante = true;
        ports_.http.envoyer(std::move(requete), vivant_.garder([this, box, fiche = *fiche](ReponseHttp reponse) {
                                const bool acceptee = !reponse.erreur && reponse.statut == 200;
                                terminerFabrication();
                                if (!acceptee) {
                                    alerte(std::string(TITRE_INJECTION_IMPOSSIBLE), texteInjectionImpossible(box));
                                    return;
                                }
                                retourAction_ = vivant_.garder([this] { montrerAtelier(); });
                                arreterBattementParc();
                                // The label sheet's guard takes over once it has loaded.
                                montrerPageWeb(fiche);
                            }));
    }));
}

void Delegue::refaireEtiquetteAction(const std::string& cle) {
    if (fabricationEnCours_) {
        ports_.dialogues.bip();
        return;
    }
    const auto trouvee = chercheur_.boxes().find(cle);
    if (trouvee == chercheur_.boxes().end()) return;
    const BoxTrouvee box = trouvee->second;
    const auto fiche = ficheDuRegistre(registreAtelier_, box);
    if (!fiche) return;
    const auto console = urlConsoleBox(fiche->id);
    if (!console) return;
    const int choix = ports_.dialogues.question(messageRefaireEtiquette(box.nom), std::string(TEXTE_REFAIRE_ETIQUETTE),
                                                {std::string(BOUTON_OUVRIR_FICHE_CONSOLE), std::string(BOUTON_ANNULER)});
    if (choix != 0) return;
    if (!sortieDeFicheConfirmee()) return;
    chercheur_.arreter();
    // Once the console page has loaded, its new-code button is shown to the user.
    mettreEnAvantNouveauCode_ = true;
    retourAction_ = vivant_.garder([this] { montrerAtelier(); });
    arreterBattementParc();
    montrerPageWeb(*console);
}

}  // namespace ovrel
