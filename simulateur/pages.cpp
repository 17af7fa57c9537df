#include "simulateur/pages.h"

#include "simulateur/outils.h"

namespace ovrel::simulateur {

namespace {
std::string_view modele(const std::string& nom) {
    const auto& table = modelesEmbarques();
    const auto i = table.find(nom);
    return i == table.end() ? std::string_view("<p>Modèle introuvable : {{?modele}}</p>") : i->second;
}
}  // namespace

std::string remplir(std::string_view texte, const Valeurs& valeurs) {
    std::string r;
    r.reserve(texte.size());
    std::size_t i = 0;
    while (i < texte.size()) {
        const auto debut = texte.find("{{", i);
        if (debut == std::string_view::npos) break;
        r.append(texte.substr(i, debut - i));
        const bool brut = texte.compare(debut, 3, "{{{") == 0;
        const std::size_t ouverture = brut ? 3 : 2;
        const auto fin = texte.find(brut ? "}}}" : "}}", debut + ouverture);
        if (fin == std::string_view::npos) {
            i = debut;
            break;
        }
        const std::string nom(texte.substr(debut + ouverture, fin - debut - ouverture));
        const auto v = valeurs.find(nom);
        if (v == valeurs.end()) {
            r += "{{?" + nom + "}}";
        } else {
            r += brut ? v->second : echapperHtml(v->second);
        }
        i = fin + ouverture;
    }
    r.append(texte.substr(i));
    return r;
}

std::string page(const std::string& nom, const std::string& titre, const Valeurs& valeurs) {
    Valeurs cadre;
    cadre["titre"] = titre;
    cadre["tete"] = valeurs.count("tete") ? valeurs.at("tete") : "";
    cadre["contenu"] = remplir(modele(nom), valeurs);
    return remplir(modele("cadre.html"), cadre);
}

std::string pageMessage(const std::string& titre, const std::string& texte, const std::string& lien,
                        const std::string& libelleLien) {
    Valeurs v;
    v["titre"] = titre;
    v["texte"] = texte;
    v["lien"] = lien.empty()
                    ? std::string()
                    : "<p><a id=\"suite\" href=\"" + echapperHtml(lien) + "\">" + echapperHtml(libelleLien) + "</a></p>";
    return page("message.html", titre, v);
}

}  // namespace ovrel::simulateur
