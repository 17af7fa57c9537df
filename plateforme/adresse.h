// Addresses (URLs) taken apart the way every policy of the application reads them.
//
// GLib's GUri does the parsing: strict RFC 3986, absolute addresses only. Host comparisons are
// done by the callers, lower-cased; paths are percent-decoded; query items keep their order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

struct ElementRequete {
    std::string nom;
    std::optional<std::string> valeur;  // absent for an item without "="
};

struct Adresse {
    std::string texte;                   // the address as given
    std::string schema;                  // as written (callers lower-case it)
    std::optional<std::string> hote;     // absent when the address has no host (about:blank, data:)
    int port = -1;                       // -1 when none is written
    std::string chemin;                  // percent-decoded path
    std::optional<std::string> requete;  // raw (still encoded) query, without "?"
    std::optional<std::string> ancre;    // raw fragment, without "#"
    std::optional<std::string> utilisateur;
    std::optional<std::string> motDePasse;

    // Query items in order: names and values percent-decoded, "+" left as is. Empty when the
    // address has no query.
    std::vector<ElementRequete> elementsRequete() const;
    // The first item with exactly this name (case-sensitive), or absent.
    std::optional<ElementRequete> premierElement(std::string_view nom) const;
};

// Absent when the text is not an absolute address that parses.
std::optional<Adresse> analyserAdresse(std::string_view texte);

// GUri accepts spaces and other characters that no address may hold as written; they must
// arrive percent-encoded. False for any of them (controls, space, non-ASCII, "<>\"^`{|}\\").
bool caracteresPermisDansAdresse(std::string_view texte);

// ASCII lower-casing, as used for schemes and host names.
std::string minuscules(std::string_view texte);
bool commencePar(std::string_view texte, std::string_view debut);
bool finitPar(std::string_view texte, std::string_view fin);

// Decodes %XX escapes; absent when an escape is malformed or decodes to NUL.
std::optional<std::string> decoderPourcent(std::string_view texte);

// The address re-serialised without the parts named. Absent when it cannot be re-serialised.
std::optional<std::string> reecrireAdresse(std::string_view texte, bool sansAncre, bool sansRequete,
                                           bool sansUtilisateur);

}  // namespace ovrel
