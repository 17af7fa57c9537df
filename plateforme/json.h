// Reading cloud and box JSON documents.
//
// Every reader of outside data follows the same rules: a value of the wrong JSON type counts as
// absent, an integer is a number exactly representable as a signed 64-bit integer (12.0 and 1e3
// are integers, 12.5 and 2^63 are not), booleans are only true and false, and one out-of-range
// number makes its key absent, never the document unreadable.
#pragma once

#include <boost/json.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ovrel::json {

// A parsed document and the arena that holds it. Parsing into a monotonic arena is what keeps
// a 10,000-box fleet fast to read; the arena is freed with the document.
class Document {
public:
    // Parses strict JSON (no comments, no trailing commas, valid UTF-8). Absent on any error.
    static std::optional<Document> analyser(std::string_view texte);

    const boost::json::value& racine() const { return *valeur_; }
    // The root as an object, or null when the root is not an object.
    const boost::json::object* objet() const { return valeur_->if_object(); }

private:
    Document() = default;
    std::unique_ptr<boost::json::monotonic_resource> arene_;
    std::unique_ptr<boost::json::value> valeur_;
};

// Typed look-ups. A missing key, a null object or a value of another type gives absent / null.
std::optional<std::string> texte(const boost::json::object* objet, std::string_view cle);
std::optional<std::int64_t> entier(const boost::json::object* objet, std::string_view cle);
std::optional<bool> booleen(const boost::json::object* objet, std::string_view cle);
// Any JSON number, as a floating-point value.
std::optional<double> nombre(const boost::json::object* objet, std::string_view cle);
const boost::json::object* sousObjet(const boost::json::object* objet, std::string_view cle);
// An array whose every element is an object; null when absent, not an array, or when any
// element is not an object.
const boost::json::array* tableauDObjets(const boost::json::object* objet, std::string_view cle);

// The integer rule on a single value.
std::optional<std::int64_t> commeEntier(const boost::json::value& valeur);

// A text as a JSON string literal, quotes and escapes included.
std::string litteral(std::string_view texte);

}  // namespace ovrel::json
