#include "plateforme/json.h"

#include <cmath>
#include <limits>

namespace ovrel::json {

std::optional<Document> Document::analyser(std::string_view texte) {
    Document doc;
    doc.arene_ = std::make_unique<boost::json::monotonic_resource>();
    boost::json::parse_options options;
    options.max_depth = 1024;
    boost::system::error_code erreur;
    boost::json::value v = boost::json::parse(texte, erreur, doc.arene_.get(), options);
    if (erreur) return std::nullopt;
    doc.valeur_ = std::make_unique<boost::json::value>(std::move(v));
    return doc;
}

namespace {
const boost::json::value* chercher(const boost::json::object* objet, std::string_view cle) {
    if (objet == nullptr) return nullptr;
    return objet->if_contains(cle);
}
}  // namespace

std::optional<std::int64_t> commeEntier(const boost::json::value& valeur) {
    if (const auto* i = valeur.if_int64()) return *i;
    if (const auto* u = valeur.if_uint64()) {
        if (*u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(*u);
        return std::nullopt;
    }
    if (const auto* d = valeur.if_double()) {
        // -2^63 is exactly representable; 2^63 is the first value out of range.
        constexpr double limite = 9223372036854775808.0;
        if (!std::isfinite(*d) || std::trunc(*d) != *d) return std::nullopt;
        if (*d < -limite || *d >= limite) return std::nullopt;
        return static_cast<std::int64_t>(*d);
    }
    return std::nullopt;
}

std::optional<std::string> texte(const boost::json::object* objet, std::string_view cle) {
    const auto* v = chercher(objet, cle);
    if (v == nullptr) return std::nullopt;
    if (const auto* s = v->if_string()) return std::string(s->data(), s->size());
    return std::nullopt;
}

std::optional<std::int64_t> entier(const boost::json::object* objet, std::string_view cle) {
    const auto* v = chercher(objet, cle);
    if (v == nullptr) return std::nullopt;
    return commeEntier(*v);
}

std::optional<bool> booleen(const boost::json::object* objet, std::string_view cle) {
    const auto* v = chercher(objet, cle);
    if (v == nullptr) return std::nullopt;
    if (const auto* b = v->if_bool()) return *b;
    return std::nullopt;
}

std::optional<double> nombre(const boost::json::object* objet, std::string_view cle) {
    const auto* v = chercher(objet, cle);
    if (v == nullptr) return std::nullopt;
    if (const auto* i = v->if_int64()) return static_cast<double>(*i);
    if (const auto* u = v->if_uint64()) return static_cast<double>(*u);
    if (const auto* d = v->if_double()) {
        if (!std::isfinite(*d)) return std::nullopt;
        return *d;
    }
    return std::nullopt;
}

const boost::json::object* sousObjet(const boost::json::object* objet, std::string_view cle) {
    const auto* v = chercher(objet, cle);
    return v == nullptr ? nullptr : v->if_object();
}

const boost::json::array* tableauDObjets(const boost::json::object* objet, std::string_view cle) {
    const auto* v = chercher(objet, cle);
    if (v == nullptr) return nullptr;
    const auto* tableau = v->if_array();
    if (tableau == nullptr) return nullptr;
    for (const auto& element : *tableau)
        if (!element.is_object()) return nullptr;
    return tableau;
}

std::string litteral(std::string_view texte) {
    return boost::json::serialize(boost::json::string_view(texte.data(), texte.size()));
}

}  // namespace ovrel::json
