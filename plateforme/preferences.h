// The user defaults: a small typed key-value store that survives restarts.
//
// Values are text, floating-point numbers or bytes. Reading a key stored with another type
// answers absent, as reading a missing key does. `ecrire` applies a batch atomically, so that
// keys that belong together (the fleet cache and its date, the three keys of the local
// authorization) are never seen half-written.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace ovrel {

struct Octets {
    std::string donnees;
    bool operator==(const Octets&) const = default;
};

using ValeurPreference = std::variant<std::string, double, Octets>;

// One change of a batch: a value to store, or absent to remove the key.
struct Modification {
    std::string cle;
    std::optional<ValeurPreference> valeur;
};

class Preferences {
public:
    virtual ~Preferences() = default;

    virtual std::optional<ValeurPreference> lire(std::string_view cle) const = 0;
    // All or nothing. Returns false when the store could not be written.
    virtual bool ecrire(const std::vector<Modification>& modifications) = 0;

    std::optional<std::string> texte(std::string_view cle) const;
    std::optional<double> nombre(std::string_view cle) const;
    std::optional<std::string> octets(std::string_view cle) const;

    bool ecrireTexte(std::string_view cle, std::string valeur);
    bool ecrireNombre(std::string_view cle, double valeur);
    bool ecrireOctets(std::string_view cle, std::string valeur);
    bool supprimer(std::string_view cle);
};

}  // namespace ovrel
