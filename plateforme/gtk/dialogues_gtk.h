// The modal dialogs port over GTK 4: message dialogs, a text entry dialog and file choosers,
// each run synchronously in a nested main loop.
//
// A dialog opened while another is still waiting for its answer (a web view callback or a timer
// delivered by the outer loop) gets its own loop and its own answer; the outer call returns
// once its own dialog has been answered and every dialog opened above it has returned.
#pragma once

#include "plateforme/dialogues.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Gtk {
class Dialog;
class Window;
}  // namespace Gtk

namespace ovrel {

class DialoguesGtk final : public Dialogues {
public:
    enum class Genre { alerte, question, saisie, enregistrer, ouvrir, dossier };

    // A dialog on screen, as the user sees it, and the gestures that answer it. Button indices
    // follow `boutons`: the first is the default one (Return); Escape chooses none.
    struct Affiche {
        Genre genre = Genre::alerte;
        std::string titre;
        std::string message;
        std::vector<std::string> boutons;
        Gtk::Window* fenetre = nullptr;
        // Clicks the button at this index.
        std::function<void(int)> choisir;
        // The Return key: activates the dialog's default widget.
        std::function<void()> entrer;
        // The Escape key.
        std::function<void()> echapper;
        // The text entry's current text, and typing a new one (text entry dialog only).
        std::function<std::string()> texteSaisi;
        std::function<void(const std::string&)> ecrire;
        // Points a file chooser at a file (open, save) or a folder (folder), as when the user
        // picks it in the chooser; false when the chooser refused it.
        std::function<bool(const std::filesystem::path&)> designer;
    };
    // Called on the main loop once the dialog is shown, while its caller is waiting.
    using Crochet = std::function<void(const Affiche&)>;

    DialoguesGtk() = default;
    DialoguesGtk(const DialoguesGtk&) = delete;
    DialoguesGtk& operator=(const DialoguesGtk&) = delete;

    // The dialogs are transient for this window (none: free-standing dialogs).
    void definirFenetre(Gtk::Window* principale) { principale_ = principale; }
    // For tests and automation: told of every dialog shown.
    void siAffiche(Crochet crochet) { crochet_ = std::move(crochet); }
    // How many dialogs are waiting for their answer right now.
    int ouverts() const { return ouverts_; }

    void alerte(const std::string& titre, const std::string& message) override;
    int question(const std::string& titre, const std::string& message,
                 const std::vector<std::string>& boutons) override;
    std::optional<std::string> saisie(const std::string& titre, const std::string& message,
                                      const std::string& texteInitial) override;
    std::optional<std::filesystem::path> enregistrer(const std::string& titre, const std::string& nomPropose) override;
    std::vector<std::filesystem::path> ouvrir(const std::string& titre, const std::string& message,
                                              const std::string& bouton, bool plusieurs) override;
    std::optional<std::filesystem::path> dossier(const std::string& titre, const std::string& message) override;
    void bip() override;
    bool dialogueOuvert() const override { return ouverts_ > 0; }

private:
    // Shows `dialogue` modally and waits in a nested loop for its answer: the index of the
    // chosen button in `affiche.boutons`, or -1 for any other way of closing it.
    // `reponses` gives the GTK response id of each button.
    int executer(Gtk::Dialog& dialogue, Affiche affiche, const std::vector<int>& reponses);
    // A file chooser (files to open, or a folder) with `message` above it and `bouton` to
    // accept; empty when cancelled.
    std::vector<std::filesystem::path> choisirDesFichiers(Genre genre, const std::string& titre,
                                                          const std::string& message, const std::string& bouton,
                                                          bool plusieurs);

    Gtk::Window* principale_ = nullptr;
    Crochet crochet_;
    int ouverts_ = 0;
};

}  // namespace ovrel
