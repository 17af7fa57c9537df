// Which of the five screens is the window's content, and the window itself.
#pragma once

#include <optional>
#include <string>

namespace ovrel {

enum class Ecran { connexion, parc, box, atelier, web };

class Ecrans {
public:
    virtual ~Ecrans() = default;

    virtual bool fenetreExiste() const = 0;
    virtual bool fenetreVisible() const = 0;
    // The screen shown, absent when there is no window.
    virtual std::optional<Ecran> affiche() const = 0;
    virtual void afficher(Ecran ecran) = 0;
    // The local authorization's status line, on the screen of this network's boxes: whether the
    // window has it, and its text.
    virtual bool aEtiquetteHabilitation() const = 0;
    virtual void ecrireEtiquetteHabilitation(const std::string& texte) = 0;
};

}  // namespace ovrel
