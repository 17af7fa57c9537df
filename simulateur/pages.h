// The simulator's web pages: templates kept as files in simulateur/pages, carried inside the
// program, filled with values and laid inside the common frame.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace ovrel::simulateur {

using Valeurs = std::map<std::string, std::string>;

// Every template by file name ("parc.html"), as embedded at build time.
const std::map<std::string, std::string_view>& modelesEmbarques();

// Fills a template: "{{nom}}" takes the value HTML-escaped, "{{{nom}}}" takes it as it is. A
// name without value is left visible as "{{?nom}}", so that a missing value shows on the page.
std::string remplir(std::string_view modele, const Valeurs& valeurs);

// A whole page: the template `nom` filled with the values, inside the common frame "cadre.html"
// with the page title. "{{{tete}}}" of the frame takes the value "tete" (scripts of the page).
std::string page(const std::string& nom, const std::string& titre, const Valeurs& valeurs);

// A plain message page: a title, a text and an optional link.
std::string pageMessage(const std::string& titre, const std::string& texte, const std::string& lien = "",
                        const std::string& libelleLien = "");

}  // namespace ovrel::simulateur
