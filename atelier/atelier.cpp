#include "atelier/atelier.h"

#include "app/constantes.h"
#include "plateforme/json.h"
#include "reseau/ouverture_box.h"

namespace ovrel {

EtatAtelier etatAtelier(bool enregistree, const std::optional<std::string>& statut) {
    if (!enregistree) return {"à fabriquer", GesteAtelier::fabriquer};
    const std::string s = statut.value_or("");
    if (s == "en_stock") return {"fabriqué, en stock", GesteAtelier::refaireEtiquette};
    if (s == "reinitialise") return {"rendu à l'atelier", GesteAtelier::refaireEtiquette};
    if (s == "en_service") return {"en service chez son client", GesteAtelier::aucun};
    if (s == "suspendu") return {"suspendu", GesteAtelier::aucun};
    return {"déjà fabriqué", GesteAtelier::aucun};
}

std::optional<std::map<std::string, FicheRegistre>> lireParcAtelier(std::string_view donnees) {
    const auto doc = json::Document::analyser(donnees);
    if (!doc) return std::nullopt;
    const auto* ovrels = json::tableauDObjets(doc->objet(), "ovrels");
    if (ovrels == nullptr) return std::nullopt;
    std::map<std::string, FicheRegistre> registre;
    for (const auto& element : *ovrels) {
        const auto* item = element.if_object();
        auto id = json::texte(item, "id");
        const auto serie = json::texte(item, "serie");
        if (!id || id->empty() || !serie || serie->empty()) continue;
        std::string cle = serieNormalisee(*serie);
        // Stored under "", the entry would answer for every box that has not told its serial.
        if (cle.empty()) continue;
        registre[std::move(cle)] = FicheRegistre{std::move(*id), json::texte(item, "statut").value_or("")};
    }
    return registre;
}

std::string identifiantAtelier(const BoxTrouvee& box) { return box.empreinte.empty() ? box.serie : box.empreinte; }

std::optional<FicheRegistre> ficheDuRegistre(const std::map<std::string, FicheRegistre>& registre,
                                             const BoxTrouvee& box) {
    const std::string cle = serieNormalisee(box.serie);
    if (cle.empty()) return std::nullopt;
    const auto trouvee = registre.find(cle);
    if (trouvee == registre.end()) return std::nullopt;
    return trouvee->second;
}

LigneAtelier ligneAtelier(const BoxTrouvee& box, const std::map<std::string, FicheRegistre>& registre) {
    const auto fiche = ficheDuRegistre(registre, box);
    const EtatAtelier etat =
        etatAtelier(box.enregistree, fiche ? std::optional<std::string>(fiche->statut) : std::nullopt);
    LigneAtelier ligne;
    ligne.cle = box.cle();
    ligne.nom = box.enregistree ? box.nom : "Ovrel " + identifiantAtelier(box);
    ligne.texte = ligne.nom + " — " + box.hote;
    ligne.texte += box.version.empty() ? "  ·  " : " (v" + box.version + ")  ·  ";
    ligne.texte += etat.mention;
    ligne.attenuee = box.enregistree;
    ligne.couleur = box.enregistree ? COULEUR_LIGNE_ENREGISTREE : COULEUR_LIGNE_A_FABRIQUER;
    ligne.geste = etat.geste;
    return ligne;
}

std::vector<LigneAtelier> lignesAtelier(const std::map<std::string, BoxTrouvee>& boxes,
                                        const std::map<std::string, FicheRegistre>& registre) {
    std::vector<LigneAtelier> lignes;
    for (const auto& cle : clesParNom(boxes)) {
        const auto trouvee = boxes.find(cle);
        if (trouvee == boxes.end()) continue;
        lignes.push_back(ligneAtelier(trouvee->second, registre));
        lignes.back().cle = cle;  // the actions find their box under the table's own key
    }
    return lignes;
}

}  // namespace ovrel
