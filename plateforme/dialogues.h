// Modal dialogs. Every call returns only once the user has answered: the GTK adapter runs a
// nested main loop around a modal dialog, so callers must expect other events to be delivered
// meanwhile.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class Dialogues {
public:
    virtual ~Dialogues() = default;

    // Message text, informative text, one "OK" button.
    virtual void alerte(const std::string& titre, const std::string& message) = 0;
    // The index of the chosen button (0 = the first, default one). Closing the dialog any other
    // way (Escape, the window's close button) answers -1: no button was chosen. Callers act
    // only on the button they look for, so a dismissed dialog never confirms anything (the
    // label-sheet guard's second button, "Partir sans l'étiquette", must not be reached by
    // Escape).
    virtual int question(const std::string& titre, const std::string& message,
                         const std::vector<std::string>& boutons) = 0;
    // Text entry: absent when cancelled.
    virtual std::optional<std::string> saisie(const std::string& titre, const std::string& message,
                                              const std::string& texteInitial) = 0;
    virtual std::optional<std::filesystem::path> enregistrer(const std::string& titre,
                                                             const std::string& nomPropose) = 0;
    // Several files when `plusieurs`; an empty list when cancelled.
    virtual std::vector<std::filesystem::path> ouvrir(const std::string& titre, const std::string& message,
                                                      const std::string& bouton, bool plusieurs) = 0;
    virtual std::optional<std::filesystem::path> dossier(const std::string& titre, const std::string& message) = 0;
    virtual void bip() = 0;
    // Whether one of these dialogs is open now (waiting for the user).
    virtual bool dialogueOuvert() const = 0;
};

}  // namespace ovrel
