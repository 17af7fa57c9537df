// The screens port over GTK 4: the window's content is a Gtk::Stack holding the five screens,
// each a named page; showing a screen makes its page the visible one.
#pragma once

#include "plateforme/ecrans.h"

#include <functional>
#include <optional>
#include <string_view>

namespace Gtk {
class Label;
class Stack;
class Window;
}  // namespace Gtk

namespace ovrel {

class EcransGtk final : public Ecrans {
public:
    // The name of each screen's page in the stack: "connexion", "parc", "box", "atelier", "web".
    static std::string_view nom(Ecran ecran);
    static std::optional<Ecran> depuisNom(std::string_view nom);

    EcransGtk() = default;
    EcransGtk(const EcransGtk&) = delete;
    EcransGtk& operator=(const EcransGtk&) = delete;
    ~EcransGtk() override;

    // The window and its stack; both must outlive this object or be detached first. The
    // window is forgotten by itself when it is destroyed.
    void attacher(Gtk::Window& fenetre, Gtk::Stack& pile, Gtk::Label* etiquetteHabilitation = nullptr);
    void detacher();
    // Runs after each change of the visible screen.
    void surChangement(std::function<void(Ecran)> action) { changement_ = std::move(action); }

    bool fenetreExiste() const override { return fenetre_ != nullptr; }
    // Shown on screen: mapped and not minimised.
    bool fenetreVisible() const override;
    std::optional<Ecran> affiche() const override;
    // A screen whose page is missing from the stack is not shown (and logged).
    void afficher(Ecran ecran) override;
    bool aEtiquetteHabilitation() const override { return etiquette_ != nullptr; }
    void ecrireEtiquetteHabilitation(const std::string& texte) override;

private:
    Gtk::Window* fenetre_ = nullptr;
    Gtk::Stack* pile_ = nullptr;
    Gtk::Label* etiquette_ = nullptr;
    std::function<void(Ecran)> changement_;
    unsigned long destruction_ = 0;
};

}  // namespace ovrel
