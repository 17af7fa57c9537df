// The log window of the workshop: the live output of the designer's attach tool. It is made on
// first use and then reused; closing it only hides it.
#pragma once

#include <string>

namespace ovrel {

class JournalAtelier {
public:
    virtual ~JournalAtelier() = default;

    // Shows the window in front, emptied, under this title.
    virtual void ouvrir(const std::string& titre) = 0;
    // Appends the text (valid UTF-8) and scrolls to its end. Before the first `ouvrir` nothing is
    // written.
    virtual void ecrire(const std::string& texte) = 0;
};

}  // namespace ovrel
