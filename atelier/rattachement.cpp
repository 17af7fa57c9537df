#include "atelier/rattachement.h"

#include "plateforme/json.h"
#include "reseau/saisie.h"

#include <glib.h>

#include <fstream>
#include <iterator>
#include <system_error>

namespace ovrel {

namespace fs = std::filesystem;

namespace {
bool existe(const fs::path& chemin) {
    std::error_code erreur;
    return fs::exists(chemin, erreur) && !erreur;
}
}  // namespace

bool estProjetValide(const fs::path& dossier) {
    // An empty path would be the working folder, which nobody chose.
    if (dossier.empty()) return false;
    return existe(dossier / OUTIL_RATTACHEMENT) && existe(dossier / FICHIER_VERSION_PROJET);
}

std::optional<fs::path> racineChantier(const std::vector<std::optional<fs::path>>& candidats) {
    for (const auto& candidat : candidats)
        if (candidat && estProjetValide(*candidat)) return *candidat;
    return std::nullopt;
}

std::string versionDuProjet(const fs::path& dossier) {
    const fs::path chemin = dossier / FICHIER_VERSION_PROJET;
    // A folder or a pipe under that name is not a version to read (and a pipe would block).
    std::error_code erreur;
    if (dossier.empty() || !fs::is_regular_file(chemin, erreur) || erreur) return "?";
    std::ifstream fichier(chemin, std::ios::binary);
    if (!fichier) return "?";
    std::string contenu{std::istreambuf_iterator<char>(fichier), std::istreambuf_iterator<char>()};
    if (fichier.bad()) return "?";
    if (!g_utf8_validate(contenu.data(), static_cast<gssize>(contenu.size()), nullptr)) return "?";
    return std::string(sansBlancsAuxBords(contenu));
}

std::vector<std::string> argumentsRattachement(const fs::path& projet, std::string_view adresse) {
    return {(projet / OUTIL_RATTACHEMENT).string(), std::string(adresse), "--source", projet.string()};
}

std::string hoteDeLAdresse(std::string_view adresse) {
    if (!adresse.empty() && adresse.front() == '[') {
        const auto fermant = adresse.find(']');
        return std::string(fermant == std::string_view::npos ? adresse : adresse.substr(0, fermant + 1));
    }
    const auto premier = adresse.find(':');
    if (premier == std::string_view::npos) return std::string(adresse);
    // Two colons or more: an IPv6 literal, which cannot carry a port unbracketed. Cut at its
    // first ":", it would leave a host such as "fe80".
    if (adresse.find(':', premier + 1) != std::string_view::npos) return "[" + std::string(adresse) + "]";
    return std::string(adresse.substr(0, premier));
}

namespace {

constexpr std::string_view PREFIXE_RESULTAT = "RESULTAT:";

// The text after "RESULTAT:" on the last non-empty line that begins with it.
std::optional<std::string_view> ligneResultat(std::string_view sortie) {
    std::optional<std::string_view> derniere;
    while (true) {
        const auto fin = sortie.find('\n');
        const std::string_view ligne = sortie.substr(0, fin);
        if (ligne.starts_with(PREFIXE_RESULTAT)) derniere = ligne.substr(PREFIXE_RESULTAT.size());
        if (fin == std::string_view::npos) break;
        sortie.remove_prefix(fin + 1);
    }
    return derniere;
}

DecisionRattachement alerte(IssueRattachement issue, std::string titre, std::string texte) {
    DecisionRattachement d;
    d.issue = issue;
    d.titre = std::move(titre);
    d.texte = std::move(texte);
    return d;
}

}  // namespace

DecisionRattachement lireCompteRendu(std::string_view adresse, std::string_view sortie) {
    const auto ligne = ligneResultat(sortie);
    const auto doc = ligne ? json::Document::analyser(*ligne) : std::nullopt;
    const auto* rapport = doc ? doc->objet() : nullptr;
    if (rapport == nullptr)
        return alerte(IssueRattachement::illisible, "Rattachement interrompu",
                      "L'outil n'a pas rendu de compte rendu lisible.\nLe détail est dans la fenêtre de journal.");

    if (json::booleen(rapport, "ok") != true)
        return alerte(IssueRattachement::impossible, "Rattachement impossible",
                      json::texte(rapport, "erreur").value_or("Voir la fenêtre de journal."));

    const auto versionApres = json::texte(rapport, "version_apres");
    if (json::booleen(rapport, "enregistree") == true) {
        std::string texte = "« " + std::string(adresse) + " » est en version " + versionApres.value_or("?") +
                            ", sous le numéro " + json::texte(rapport, "serie").value_or("?") + ".\n";
        texte += json::booleen(rapport, "battement") == true ? "Il parle au cloud : il se mettra à jour à distance."
                                                             : "Son battement de cœur va partir dans la minute.";
        texte += "\n\nPlus besoin d'être sur son réseau désormais.";
        return alerte(IssueRattachement::rattache, "Ovrel rattaché", std::move(texte));
    }

    // Whatever port was typed (often the tool's SSH port), the box is then built over its
    // local web port.
    BoxTrouvee box;
    box.hote = hoteDeLAdresse(adresse);
    box.port = 8000;
    box.nom = box.hote;
    box.version = versionApres.value_or("?");
    box.serie = json::texte(rapport, "serie").value_or("");
    box.empreinte = json::texte(rapport, "empreinte").value_or("");
    box.enregistree = false;
    if (box.empreinte.empty())
        return alerte(IssueRattachement::sansEmpreinte, "Identité impossible",
                      "L'Ovrel est à jour mais n'a pas donné son empreinte.\n"
                      "Actualisez la recherche : il devrait maintenant apparaître dans la liste.");
    DecisionRattachement d;
    d.issue = IssueRattachement::aFabriquer;
    d.journal = "\n→ Fabrication de l'identité au cloud…\n";
    d.box = std::move(box);
    return d;
}

std::string messageConfirmationRattachement(std::string_view adresse) {
    return "Rattacher « " + std::string(adresse) + " » ?";
}

std::string texteConfirmationRattachement(std::string_view version) {
    return "Cet Ovrel va passer en version " + std::string(version) +
           ", recevoir son identité OVREL et ouvrir son tunnel.\n"
           "Sa configuration et ses données sont mises à l'abri avant qu'on y touche.\n"
           "Le service redémarre : la supervision s'interrompt une minute environ.\n\n"
           "À faire depuis le réseau de cet Ovrel — et c'est la dernière fois.";
}

std::string titreJournalRattachement(std::string_view adresse) { return "Rattachement de " + std::string(adresse); }

std::string texteRattachementEnCours(std::string_view adresse) {
    return "Rattachement de " + std::string(adresse) + " en cours…";
}

std::string texteLancementImpossible(std::string_view description) {
    return "\nImpossible de lancer l'outil : " + std::string(description) + "\n";
}

}  // namespace ovrel
