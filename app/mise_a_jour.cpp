#include "app/mise_a_jour.h"

#include "plateforme/json.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace ovrel {

std::optional<ManifesteMaj> lireManifeste(std::string_view corps) {
    auto doc = json::Document::analyser(corps);
    if (!doc || doc->objet() == nullptr) return std::nullopt;
    auto version = json::texte(doc->objet(), "version");
    auto url = json::texte(doc->objet(), "url");
    if (!version || !url) return std::nullopt;
    return ManifesteMaj{std::move(*version), std::move(*url)};
}

namespace {
// A whole number in base 10 with an optional sign; absent for anything else or on overflow.
std::optional<std::int64_t> composante(std::string_view texte) {
    bool negatif = false;
    if (!texte.empty() && (texte.front() == '+' || texte.front() == '-')) {
        negatif = texte.front() == '-';
        texte.remove_prefix(1);
    }
    if (texte.empty()) return std::nullopt;
    for (char c : texte)
        if (c < '0' || c > '9') return std::nullopt;
    std::string avecSigne = (negatif ? "-" : "") + std::string(texte);
    std::int64_t valeur = 0;
    auto [fin, erreur] = std::from_chars(avecSigne.data(), avecSigne.data() + avecSigne.size(), valeur);
    if (erreur != std::errc() || fin != avecSigne.data() + avecSigne.size()) return std::nullopt;
    return valeur;
}

std::vector<std::int64_t> nombres(std::string_view version) {
    std::vector<std::int64_t> r;
    while (true) {
        const auto point = version.find('.');
        if (auto n = composante(version.substr(0, point))) r.push_back(*n);
        if (point == std::string_view::npos) break;
        version.remove_prefix(point + 1);
    }
    return r;
}
}  // namespace

bool plusRecente(std::string_view a, std::string_view que) {
    const auto na = nombres(a);
    const auto nb = nombres(que);
    const std::size_t n = std::max(na.size(), nb.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t x = i < na.size() ? na[i] : 0;
        const std::int64_t y = i < nb.size() ? nb[i] : 0;
        if (x != y) return x > y;
    }
    return false;
}

}  // namespace ovrel
