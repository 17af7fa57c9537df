// The workshop's log window: the attach tool's output, live, in light monospaced text on a dark
// ground. Made on first use, then reused; closing it only hides it.
#pragma once

#include "atelier/journal_atelier.h"

#include <gtkmm.h>

#include <memory>
#include <string>

namespace ovrel {

std::string feuilleDeStyleJournal();

class FenetreJournal final : public Gtk::Window {
public:
    FenetreJournal();

    // Empties the text.
    void vider();
    // Appends the text and scrolls to its end.
    void ajouter(const std::string& texte);
    std::string texte() const;

private:
    Gtk::ScrolledWindow defilement_;
    Gtk::TextView vue_;
    Glib::RefPtr<Gtk::TextTag> style_;
    Glib::RefPtr<Gtk::TextMark> fin_;
};

// The port of the application object: the window, made the first time it is opened, over the
// main window.
class JournalAtelierGtk final : public JournalAtelier {
public:
    void definirParent(Gtk::Window* parent) { parent_ = parent; }
    void ouvrir(const std::string& titre) override;
    void ecrire(const std::string& texte) override;
    // Absent before the first `ouvrir`.
    FenetreJournal* fenetre() { return fenetre_.get(); }
    // The window goes, before the main window does.
    void detruire() { fenetre_.reset(); }

private:
    Gtk::Window* parent_ = nullptr;
    std::unique_ptr<FenetreJournal> fenetre_;
};

}  // namespace ovrel
