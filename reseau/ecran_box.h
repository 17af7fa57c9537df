// The screen of the boxes of this network as the application object sees it: it is handed the
// titles of the box buttons (none: the waiting label), reads and fills the address field, and
// reports the user's gestures through the actions the object gives it.
#pragma once

#include <string>
#include <vector>

namespace ovrel {

class EcranBox {
public:
    virtual ~EcranBox() = default;

    // Whether the screen has been built (with the window).
    virtual bool construit() const = 0;
    // One button per box, in this order; an empty list shows the waiting label.
    virtual void afficherListe(const std::vector<std::string>& titres) = 0;
    // The address the user typed, as it stands.
    virtual std::string adresseSaisie() const = 0;
    virtual void ecrireAdresse(const std::string& adresse) = 0;
};

}  // namespace ovrel
