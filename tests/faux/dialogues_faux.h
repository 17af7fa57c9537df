// Modal dialogs for tests: answers come from a script, every dialog shown is recorded with its
// texts and buttons, and beeps are counted.
#pragma once

#include "plateforme/dialogues.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ovrel {

enum class GenreDialogue { alerte, question, saisie, enregistrer, ouvrir, dossier };

struct DialogueMontre {
    GenreDialogue genre = GenreDialogue::alerte;
    std::string titre;
    std::string message;
    std::vector<std::string> boutons;  // {"OK"} for an alert
    std::string texteInitial;          // text entry, proposed file name, or button of a file chooser
    bool plusieurs = false;            // file chooser only

    bool operator==(const DialogueMontre&) const = default;
};

class DialoguesFaux final : public Dialogues {
public:
    void alerte(const std::string& titre, const std::string& message) override;
    int question(const std::string& titre, const std::string& message,
                 const std::vector<std::string>& boutons) override;
    std::optional<std::string> saisie(const std::string& titre, const std::string& message,
                                      const std::string& texteInitial) override;
    std::optional<std::filesystem::path> enregistrer(const std::string& titre,
                                                     const std::string& nomPropose) override;
    std::vector<std::filesystem::path> ouvrir(const std::string& titre, const std::string& message,
                                              const std::string& bouton, bool plusieurs) override;
    std::optional<std::filesystem::path> dossier(const std::string& titre, const std::string& message) override;
    void bip() override { ++bips; }
    // True while a dialog is shown (during `pendant`), or when the test says so.
    bool dialogueOuvert() const override { return ouvert || dansUnDialogue_ > 0; }
    bool ouvert = false;

    // Every dialog shown, in order.
    std::vector<DialogueMontre> montres;
    int bips = 0;

    // Answers to the coming questions, in order: a button index, or a button's text (looked up
    // among the buttons of the question). A question with no scripted answer, or whose text is
    // not among its buttons, answers -1, as closing the dialog does, and is counted in
    // `questionsSansReponse`.
    std::deque<std::variant<int, std::string>> reponses;
    int questionsSansReponse = 0;

    std::deque<std::optional<std::string>> saisies;                // default: cancelled
    std::deque<std::optional<std::filesystem::path>> fichiers;     // enregistrer and dossier
    std::deque<std::vector<std::filesystem::path>> ouvertures;     // ouvrir; default: cancelled

    // Runs once, while the next dialog is open, as the real dialogs' nested main loop delivers
    // other events meanwhile; it is cleared before it runs.
    std::function<void()> pendant;

    void choisir(std::string bouton) { reponses.emplace_back(std::move(bouton)); }
    void choisir(int index) { reponses.emplace_back(index); }

private:
    int dansUnDialogue_ = 0;
    void montrer(DialogueMontre d);
};

}  // namespace ovrel
