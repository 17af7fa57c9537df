#include "app/gtk/vue_parc.h"

#include "app/constantes.h"
#include "app/gtk/fenetre_ovrel.h"

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <numbers>
#include <string_view>

namespace ovrel {

namespace {

constexpr std::string_view CLASSE_PASTILLE = "ovrel-pastille-";

guint16 canal(double valeur) { return static_cast<guint16>(std::lround(std::clamp(valeur, 0.0, 1.0) * 65535.0)); }


Couleur avecAlpha(Couleur couleur, double alpha) {
    couleur.alpha = alpha;
    return couleur;
}

std::string classePastille(CouleurSante couleur) { return std::string(CLASSE_PASTILLE) + std::string(valeurBrute(couleur)); }

void accessible(Gtk::Widget& widget, const std::string& libelle) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, libelle.c_str(), -1);
}

// A tooltip given only when the pointer asks for it: setting a widget's tooltip text costs about a
// millisecond in GTK 4.8, and the list binds a few hundred rows at once.
void infobulleALaDemande(Gtk::Widget& widget, const std::string& texte) {
    widget.set_has_tooltip(!texte.empty());
}

void repondreInfobulle(Gtk::Widget& widget, const std::string* texte) {
    widget.signal_query_tooltip().connect(
        [texte](int, int, bool, const Glib::RefPtr<Gtk::Tooltip>& infobulle) {
            if (texte->empty()) return false;
            infobulle->set_text(*texte);
            return true;
        },
        false);
}

Gtk::Box* ressort() {
    auto* r = Gtk::make_managed<Gtk::Box>();
    r->set_hexpand(true);
    return r;
}

}  // namespace

void colorer(Gtk::Label& etiquette, const Couleur& couleur) {
    Pango::AttrList attributs;
    auto avant = Pango::Attribute::create_attr_foreground(canal(couleur.rouge), canal(couleur.vert), canal(couleur.bleu));
    auto alpha = Pango::Attribute::create_attr_foreground_alpha(canal(couleur.alpha));
    attributs.insert(avant);
    attributs.insert(alpha);
    etiquette.set_attributes(attributs);
}

// Two rows that look the same apart from their seen label.
static bool memeContenu(const LigneParcModele& a, const LigneParcModele& b) {
    return a.id == b.id && a.nom == b.nom && a.serie == b.serie && a.ouvrir == b.ouvrir && a.pastille == b.pastille &&
           a.details == b.details && a.alphaDetails == b.alphaDetails && a.resume == b.resume &&
           a.anomalies == b.anomalies && a.deplie == b.deplie;
}

std::string feuilleDeStyleParc() {
    std::string s =
        ".ovrel-parc-titre { font-family: Georgia, serif; font-size: 26px; color: " + cssCouleur(OR_OVREL) + "; }\n"
        ".ovrel-parc-sous-titre { font-size: 12px; color: " + cssCouleur(TEXTE_MUET) + "; }\n"
        ".ovrel-parc-attention { font-family: Georgia, serif; font-size: 15px; }\n"
        ".ovrel-compteur { font-size: 11px; padding: 0 2px; min-height: 0; }\n"
        "button.ovrel-compteur-actif { background-color: rgba(255,255,255,0.08); }\n"
        "listview.ovrel-liste, scrolledwindow.ovrel-defilement { background: none; }\n"
        "listview.ovrel-liste > row { padding: 0 0 10px 0; background: none; }\n"
        ".ovrel-ligne { background-color: " + cssCouleur(Couleur::blanc(1, 0.045)) +
        "; border-radius: 10px; border: 1px solid " + cssCouleur(Couleur::blanc(1, 0.09)) +
        "; padding: 12px 14px 12px 16px; }\n"
        ".ovrel-ligne-nom { font-family: Georgia, serif; font-size: 16px; color: " + cssCouleur(Couleur::blanc(0.96, 1)) +
        "; }\n"
        ".ovrel-vu { font-size: 11px; }\n"
        ".ovrel-details { font-size: 11.5px; }\n"
        ".ovrel-resume { font-size: 11.5px; color: " + cssCouleur(Couleur::blanc(0.94, 0.5)) + "; }\n"
        ".ovrel-anomalie { background-color: " + cssCouleur(Couleur::blanc(1, 0.035)) +
        "; border-radius: 7px; padding: 9px 12px 10px 12px; }\n"
        ".ovrel-anomalie-titre { font-size: 12.5px; font-weight: 500; color: " + cssCouleur(Couleur::blanc(0.96, 0.95)) +
        "; }\n"
        ".ovrel-anomalie-quand { font-size: 11px; color: " + cssCouleur(Couleur::blanc(0.94, 0.45)) + "; }\n"
        ".ovrel-anomalie-consigne { font-size: 11.5px; color: " + cssCouleur(Couleur::blanc(0.94, 0.62)) + "; }\n"
        ".ovrel-parc-vide { font-size: 12.5px; color: " + cssCouleur(TEXTE_MUET) + "; }\n"
        ".ovrel-parc-statut { font-size: 11px; color: " + cssCouleur(Couleur::blanc(0.94, 0.4)) + "; }\n"
        ".ovrel-parc-version { font-size: 10.5px; color: " + cssCouleur(Couleur::blanc(0.94, 0.3)) + "; }\n"
        "button.ovrel-pastille { background: " + cssCouleur(Couleur::blanc(1, 0.05)) +
        "; border: 1px solid; border-radius: 999px; padding: 3px 11px 3px 8px; min-height: 0; min-width: 0;"
        " box-shadow: none; }\n"
        ".ovrel-pastille-mot { font-size: 11px; font-weight: 500; }\n"
        ".ovrel-pastille-compte { font-size: 11px; }\n"
        ".ovrel-pastille-marque { font-size: 9px; }\n";
    for (CouleurSante c : {CouleurSante::gris, CouleurSante::vert, CouleurSante::jaune, CouleurSante::orange,
                           CouleurSante::rouge, CouleurSante::inconnue}) {
        s += "button." + classePastille(c) + " { border-color: " + cssCouleur(bordurePastille(c, false)) + "; }\n";
        s += "button." + classePastille(c) + ":hover { border-color: " + cssCouleur(bordurePastille(c, true)) + "; }\n";
    }
    return s;
}

// --- PointSante ---

PointSante::PointSante(CouleurSante couleur, double diametre) : couleur_(couleur), diametre_(diametre) {
    const int cote = static_cast<int>(std::ceil(diametre + 6));
    set_content_width(cote);
    set_content_height(cote);
    set_hexpand(false);
    set_vexpand(false);
    set_valign(Gtk::Align::CENTER);
    set_draw_func([this](const Cairo::RefPtr<Cairo::Context>& cr, int largeur, int hauteur) {
        const double d = std::min(std::min(largeur, hauteur) - 6.0, diametre_);
        if (d <= 0) return;
        const double gauche = (largeur - d) / 2, haut = (hauteur - d) / 2;
        const Couleur t = teinteSante(couleur_);
        const auto cercle = [&](double marge) {
            const double rayon = d / 2 + marge;
            cr->begin_new_path();
            cr->arc(gauche + d / 2, haut + d / 2, std::max(rayon, 0.0), 0, 2 * std::numbers::pi);
        };
        if (couleur_ == CouleurSante::inconnue) {
            cercle(-0.8);
            cr->set_source_rgba(t.rouge, t.vert, t.bleu, t.alpha);
            cr->set_line_width(1.4);
            cr->stroke();
            return;
        }
        cercle(2.5);
        cr->set_source_rgba(t.rouge, t.vert, t.bleu, 0.16);
        cr->fill();
        cercle(0);
        cr->set_source_rgba(t.rouge, t.vert, t.bleu, t.alpha);
        cr->fill();
    });
}

void PointSante::definirCouleur(CouleurSante couleur) {
    if (couleur == couleur_) return;
    couleur_ = couleur;
    queue_draw();
}

// --- VuePastille ---

VuePastille::VuePastille() {
    add_css_class("ovrel-pastille");
    set_cursor("pointer");
    set_focus_on_click(false);
    set_valign(Gtk::Align::CENTER);
    ligne_.set_valign(Gtk::Align::CENTER);
    mot_.add_css_class("ovrel-pastille-mot");
    compte_.add_css_class("ovrel-pastille-compte");
    marque_.add_css_class("ovrel-pastille-marque");
    ligne_.append(point_);
    ligne_.append(mot_);
    ligne_.append(compte_);
    ligne_.append(marque_);
    set_child(ligne_);
    repondreInfobulle(*this, &infobulle_);
}

void VuePastille::definir(const PastilleModele& m) {
    // Changing a style class restyles the badge: only when its colour changes.
    if (!couleur_ || *couleur_ != m.couleur) {
        if (couleur_) remove_css_class(classePastille(*couleur_));
        add_css_class(classePastille(m.couleur));
        couleur_ = m.couleur;
    }
    const Couleur t = teinteSante(m.couleur);
    point_.definirCouleur(m.couleur);
    mot_.set_text(m.mot);
    colorer(mot_, t);
    compte_.set_visible(!m.compte.empty());
    compte_.set_text(m.compte);
    colorer(compte_, avecAlpha(t, 0.8));
    marque_.set_visible(!m.marque.empty());
    marque_.set_text(m.marque);
    colorer(marque_, avecAlpha(t, 0.7));
    infobulle_ = m.infobulle;
    infobulleALaDemande(*this, infobulle_);
    accessible(*this, m.libelleAccessible);
}

// --- One row ---

class LigneParcGtk final : public Gtk::Box {
public:
    explicit LigneParcGtk(VueParc& vue) : Gtk::Box(Gtk::Orientation::VERTICAL, 7), vue_(vue) {
        add_css_class("ovrel-ligne");
        set_hexpand(true);
        nom_.add_css_class("ovrel-ligne-nom");
        nom_.set_xalign(0);
        nom_.set_ellipsize(Pango::EllipsizeMode::END);
        ligne1_.append(nom_);
        ligne1_.append(*ressort());
        ligne1_.append(ouvrir_);
        ouvrir_.signal_clicked().connect([this] {
            if (vue_.surConfigurer) vue_.surConfigurer(indice_);
        });
        repondreInfobulle(ouvrir_, &infobulleOuvrir_);
        pastille_.signal_clicked().connect([this] {
            if (vue_.surBasculer) vue_.surBasculer(id_);
        });
        vu_.add_css_class("ovrel-vu");
        details_.add_css_class("ovrel-details");
        details_.set_xalign(0);
        details_.set_ellipsize(Pango::EllipsizeMode::END);
        ligne2_.append(pastille_);
        ligne2_.append(vu_);
        ligne2_.append(details_);
        ligne2_.append(*ressort());
        resume_.add_css_class("ovrel-resume");
        resume_.set_xalign(0);
        resume_.set_wrap(true);
        anomalies_.set_halign(Gtk::Align::FILL);
        append(ligne1_);
        append(ligne2_);
        append(resume_);
        append(anomalies_);
    }

    void lier(const LigneParcModele& m, std::size_t indice, const std::set<std::size_t>& enCours) {
        indice_ = indice;
        id_ = m.id;
        nom_.set_text(m.nom);
        ouvrir_.set_label(m.ouvrir.titre);
        ouvrir_.set_sensitive(m.ouvrir.actif);
        infobulleOuvrir_ = m.ouvrir.infobulle;
        infobulleALaDemande(ouvrir_, infobulleOuvrir_);
        pastille_.definir(m.pastille);
        texteVu_ = m.vu;
        couleurVu_ = m.couleurVu;
        vu_.set_text(m.vu);
        colorer(vu_, m.couleurVu);
        details_.set_text(m.details);
        colorer(details_, Couleur::blanc(0.94, m.alphaDetails));
        resume_.set_text(m.resume);
        resume_.set_visible(!m.resume.empty());
        // The anomaly lines are made only for an open row: the list binds many rows at once.
        boutonsAction_.clear();
        while (auto* enfant = anomalies_.get_first_child()) anomalies_.remove(*enfant);
        if (m.deplie)
            for (const AnomalieModele& a : m.anomalies) anomalies_.append(*ligneAnomalie(a, enCours));
        anomalies_.set_visible(m.deplie);
    }

    // Each second, for every row with a widget: the label is touched only when it changes, so
    // that the list is not laid out again for nothing.
    void majVu(const AffichageVu& vu) {
        if (vu.texte == texteVu_ && vu.couleur == couleurVu_) return;
        texteVu_ = vu.texte;
        couleurVu_ = vu.couleur;
        vu_.set_text(vu.texte);
        colorer(vu_, vu.couleur);
    }

    void actionEnCours(std::size_t action, bool enCours) {
        const auto i = boutonsAction_.find(action);
        if (i != boutonsAction_.end()) i->second->set_sensitive(!enCours);
    }

private:
    Gtk::Widget* ligneAnomalie(const AnomalieModele& a, const std::set<std::size_t>& enCours) {
        auto* cadre = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 4);
        cadre->add_css_class("ovrel-anomalie");
        auto* ligne = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        ligne->append(*Gtk::make_managed<PointSante>(a.couleur, 7));
        auto* titre = Gtk::make_managed<Gtk::Label>(a.titre);
        titre->add_css_class("ovrel-anomalie-titre");
        ligne->append(*titre);
        auto* quand = Gtk::make_managed<Gtk::Label>(a.quand());
        quand->add_css_class("ovrel-anomalie-quand");
        ligne->append(*quand);
        ligne->append(*ressort());
        cadre->append(*ligne);
        auto* consigne = Gtk::make_managed<Gtk::Label>(a.consigne);
        consigne->add_css_class("ovrel-anomalie-consigne");
        consigne->set_xalign(0);
        consigne->set_wrap(true);
        cadre->append(*consigne);
        if (a.bouton) {
            auto* bouton = Gtk::make_managed<Gtk::Button>(*a.bouton);
            bouton->set_halign(Gtk::Align::START);
            bouton->set_tooltip_text(a.infobulleBouton);
            bouton->set_sensitive(!enCours.count(a.action));
            const std::size_t action = a.action;
            bouton->signal_clicked().connect([this, action] {
                if (vue_.surAgir) vue_.surAgir(action);
            });
            boutonsAction_[action] = bouton;
            cadre->append(*bouton);
        }
        return cadre;
    }

    VueParc& vue_;
    std::size_t indice_ = 0;
    std::string id_;
    Gtk::Box ligne1_{Gtk::Orientation::HORIZONTAL, 12};
    Gtk::Label nom_;
    Gtk::Button ouvrir_;
    std::string infobulleOuvrir_;
    Gtk::Box ligne2_{Gtk::Orientation::HORIZONTAL, 12};
    VuePastille pastille_;
    Gtk::Label vu_;
    std::string texteVu_;
    Couleur couleurVu_;
    Gtk::Label details_;
    Gtk::Label resume_;
    Gtk::Box anomalies_{Gtk::Orientation::VERTICAL, 7};
    std::map<std::size_t, Gtk::Button*> boutonsAction_;
};

// --- The screen ---

VueParc::VueParc() : Gtk::Box(Gtk::Orientation::VERTICAL) {
    add_css_class("ovrel-ecran");

    titre_.set_text("MES OVRELS");
    titre_.add_css_class("ovrel-parc-titre");
    sousTitre_.add_css_class("ovrel-parc-sous-titre");
    espace4_.set_size_request(-1, 4);
    attention_.add_css_class("ovrel-parc-attention");
    colorer(attention_, Couleur::blanc(0.94, 0.62));
    for (Gtk::Label* e : {&titre_, &sousTitre_, &attention_}) e->set_xalign(0);
    entete_.set_halign(Gtk::Align::START);
    entete_.set_margin_top(34);
    for (Gtk::Widget* w : std::initializer_list<Gtk::Widget*>{&titre_, &sousTitre_, &espace4_, &attention_, &compteurs_})
        entete_.append(*w);
    append(entete_);

    // The search field, beyond the fleet as the cloud gives it: the whole list shows while it is
    // empty.
    // GTK's search entry is no Gtk::Entry: its placeholder is a property of its own.
    g_object_set(recherche_.gobj(), "placeholder-text", "Rechercher un Ovrel (nom ou numéro de série) — Ctrl+F", nullptr);
    recherche_.set_margin_top(14);
    recherche_.set_halign(Gtk::Align::START);
    recherche_.set_size_request(360, -1);
    recherche_.signal_search_changed().connect([this] {
        filtre_.texte = recherche_.get_text();
        appliquerFiltre();
    });
    append(recherche_);

    modele_ = Gtk::StringList::create({});
    // A C filter: it runs over every row at each keystroke, without wrapping each item.
    filtreGtk_ = Glib::wrap(GTK_FILTER(gtk_custom_filter_new(
        +[](gpointer objet, gpointer moi) -> gboolean {
            return static_cast<const VueParc*>(moi)->garder(gtk_string_object_get_string(GTK_STRING_OBJECT(objet)));
        },
        this, nullptr)));
    filtreModele_ = Gtk::FilterListModel::create(modele_, nullptr);
    auto fabrique = Gtk::SignalListItemFactory::create();
    fabrique->signal_setup().connect([this](const Glib::RefPtr<Gtk::ListItem>& element) {
        element->set_activatable(false);
        element->set_child(*Gtk::make_managed<LigneParcGtk>(*this));
    });
    fabrique->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& element) {
        auto* ligne = dynamic_cast<LigneParcGtk*>(element->get_child());
        auto* objet = gtk_list_item_get_item(element->gobj());
        if (ligne && objet && GTK_IS_STRING_OBJECT(objet))
            lier(*ligne, std::stoul(gtk_string_object_get_string(GTK_STRING_OBJECT(objet))));
    });
    fabrique->signal_unbind().connect([this](const Glib::RefPtr<Gtk::ListItem>& element) {
        if (auto* ligne = dynamic_cast<LigneParcGtk*>(element->get_child())) delier(*ligne);
    });
    liste_.set_model(Gtk::NoSelection::create(filtreModele_));
    liste_.set_factory(fabrique);
    liste_.add_css_class("ovrel-liste");
    defilement_.add_css_class("ovrel-defilement");
    defilement_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    defilement_.set_child(liste_);
    // A scroll brings rows on view before the next layout places them: the stale rows within two
    // screenfuls of those on view take the new list first.
    defilement_.get_vadjustment()->signal_value_changed().connect([this] {
        if (!perimees_.empty()) lierLesPerimees(2, 0);
    });
    defilement_.set_vexpand(true);
    vide_.set_text(std::string(TEXTE_PARC_VIDE));
    vide_.add_css_class("ovrel-parc-vide");
    vide_.set_wrap(true);
    vide_.set_xalign(0);
    vide_.set_valign(Gtk::Align::START);
    contenu_.add(defilement_, "liste");
    contenu_.add(vide_, "vide");
    contenu_.set_visible_child("vide");
    contenu_.set_vexpand(true);
    contenu_.set_margin_top(22);
    append(contenu_);

    actualiser_.set_label("Actualiser");
    ajouter_.set_label("Ajouter un Ovrel (scanner le certificat)…");
    reseau_.set_label("Ovrels de ce réseau…");
    for (Gtk::Button* b : {&actualiser_, &ajouter_, &reseau_}) boutons_.append(*b);
    boutons_.set_margin_top(18);
    append(boutons_);

    statut_.add_css_class("ovrel-parc-statut");
    version_.set_text("Ovrel Studio " + std::string(VERSION_APP) + " — OVREL HOME");
    version_.add_css_class("ovrel-parc-version");
    for (Gtk::Label* e : {&statut_, &version_}) {
        e->set_xalign(0);
        pied_.append(*e);
    }
    pied_.set_margin_top(14);
    pied_.set_margin_bottom(26);
    append(pied_);

    for (Gtk::Widget* w : std::initializer_list<Gtk::Widget*>{&entete_, &recherche_, &contenu_, &boutons_, &pied_}) {
        w->set_margin_start(44);
        w->set_margin_end(44);
    }

    // Ctrl+F reaches the search field from anywhere on the screen.
    auto raccourcis = Gtk::ShortcutController::create();
    raccourcis->set_scope(Gtk::ShortcutScope::MANAGED);
    raccourcis->add_shortcut(Gtk::Shortcut::create(
        Gtk::ShortcutTrigger::parse_string("<Control>f"),
        Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) { return recherche_.grab_focus(); })));
    add_controller(raccourcis);
}

VueParc::~VueParc() {
    rafraichissement_.disconnect();
    liberation_.disconnect();
    majPerimees_.disconnect();
    // The list lets its rows go while this object still stands: their unbinding reads the map of
    // bound rows, which is destroyed before the list would be.
    liste_.set_model({});
    liste_.set_factory({});
    liees_.clear();
}

void VueParc::afficherEntete(const EnteteParcModele& e) {
    enteteDonnees_ = e;
    sousTitre_.set_text(e.sousTitre);
    statut_.set_text(e.statut);
    attention_.set_text(e.titre);
    colorer(attention_, e.couleurTitre);
    // A colour filter on a colour that is gone would hide every row without saying why.
    if (filtre_.couleur && std::none_of(e.compteurs.begin(), e.compteurs.end(),
                                        [&](const CompteurParc& c) { return c.couleur == *filtre_.couleur; })) {
        filtre_.couleur.reset();
        appliquerFiltre();
    }
    majCompteurs();
}

void VueParc::majCompteurs() {
    while (auto* enfant = compteurs_.get_first_child()) compteurs_.remove(*enfant);
    for (const CompteurParc& c : enteteDonnees_.compteurs) {
        auto* bouton = Gtk::make_managed<Gtk::Button>();
        bouton->add_css_class("flat");
        bouton->add_css_class("ovrel-compteur");
        if (filtre_.couleur == c.couleur) bouton->add_css_class("ovrel-compteur-actif");
        auto* boite = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 4);
        boite->append(*Gtk::make_managed<PointSante>(c.couleur, 8));
        auto* texte = Gtk::make_managed<Gtk::Label>(c.texte);
        colorer(*texte, c.teinte);
        boite->append(*texte);
        bouton->set_child(*boite);
        bouton->set_tooltip_text("Ne montrer que les Ovrels « " + motSante(c.couleur) + " » (un second clic les montre tous)");
        const CouleurSante couleur = c.couleur;
        bouton->signal_clicked().connect([this, couleur] {
            filtrerCouleur(filtre_.couleur == couleur ? std::nullopt : std::optional<CouleurSante>(couleur));
        });
        compteurs_.append(*bouton);
    }
}

void VueParc::filtrerCouleur(std::optional<CouleurSante> couleur) {
    filtre_.couleur = couleur;
    appliquerFiltre();
    majCompteurs();
}

void VueParc::appliquerFiltre() {
    // Filtering moves rows on view without a scroll: none may still show an older list.
    lierLesPerimees(0, perimees_.size());
    filtrePrepare_ = preparerFiltre(filtre_);
    // The search keys cost a text normalisation per row: made when a filter first needs them.
    if (!filtrePrepare_.vide && cles_.size() != donnees_.lignes.size()) {
        cles_.clear();
        cles_.reserve(donnees_.lignes.size());
        for (const auto& ligne : donnees_.lignes) cles_.push_back(cleRecherche(ligne));
    }
    if (filtrePrepare_.vide) {
        filtreModele_->set_filter(nullptr);
        return;
    }
    if (filtreModele_->get_filter() != filtreGtk_) {
        filtreModele_->set_filter(filtreGtk_);
    } else {
        gtk_filter_changed(filtreGtk_->gobj(), GTK_FILTER_CHANGE_DIFFERENT);
    }
}

bool VueParc::garder(const char* indice) const {
    const std::size_t i = std::strtoul(indice, nullptr, 10);
    return i < donnees_.lignes.size() && i < cles_.size() && passeLeFiltre(donnees_.lignes[i], cles_[i], filtrePrepare_);
}

void VueParc::afficherListe(ListeParcModele liste) {
    const std::size_t avant = donnees_.lignes.size();
    std::swap(donnees_, liste);
    const std::size_t apres = donnees_.lignes.size();
    std::vector<std::string> anciennesCles;
    std::swap(cles_, anciennesCles);
    contenu_.set_visible_child(apres == 0 ? "vide" : "liste");
    // The list's items are the row numbers: a new list only adds or removes numbers at the end,
    // so the rows with widgets stay (the list keeps widgets for a few hundred rows, and making
    // them again costs far more than a frame). Of those, only the ones whose content changed take
    // it; the seen labels have their own refresh.
    for (auto& [i, ligne] : liees_) {
        if (i >= apres) continue;
        const bool aJour = !perimees_.contains(i) && i < liste.lignes.size() && memeContenu(liste.lignes[i], donnees_.lignes[i]);
        if (aJour) continue;
        if (aLEcran(*ligne)) {
            ligne->lier(donnees_.lignes[i], i, actionsEnCours_);
            perimees_.erase(i);
        } else {
            perimees_.insert(i);
        }
    }
    if (!perimees_.empty() && !majPerimees_.connected())
        majPerimees_ = Glib::signal_idle().connect([this] {
            // About three milliseconds of binding and laying out per turn.
            lierLesPerimees(1, 8);
            return !perimees_.empty();
        });
    if (apres > avant) {
        std::vector<Glib::ustring> ajouts;
        ajouts.reserve(apres - avant);
        for (std::size_t i = avant; i < apres; ++i) ajouts.emplace_back(std::to_string(i));
        modele_->splice(static_cast<guint>(avant), 0, ajouts);
    } else if (apres < avant) {
        modele_->splice(static_cast<guint>(apres), static_cast<guint>(avant - apres), {});
    }
    // A filter in use applies to the new list at once.
    if (!filtrePrepare_.vide) appliquerFiltre();
    jeterPeuAPeu(std::move(liste.lignes));
    jeterPeuAPeu(std::move(anciennesCles));
}

template <class T>
void VueParc::jeterPeuAPeu(std::vector<T> elements) {
    if (elements.empty()) return;
    auto reste = std::make_shared<std::vector<T>>(std::move(elements));
    rebut_.emplace_back([reste] {
        // About a millisecond of freeing a slice.
        constexpr std::size_t TRANCHE = 500;
        reste->erase(reste->end() - static_cast<std::ptrdiff_t>(std::min(reste->size(), TRANCHE)), reste->end());
        return reste->empty();
    });
    if (!liberation_.connected())
        liberation_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &VueParc::libererUneTranche), Glib::PRIORITY_LOW);
}

bool VueParc::libererUneTranche() {
    if (!rebut_.empty() && rebut_.front()()) rebut_.pop_front();
    return !rebut_.empty();
}

std::vector<std::size_t> VueParc::lignesFiltrees() const {
    std::vector<std::size_t> indices;
    const guint n = filtreModele_->get_n_items();
    for (guint i = 0; i < n; ++i) {
        auto* objet = static_cast<GObject*>(g_list_model_get_item(G_LIST_MODEL(filtreModele_->gobj()), i));
        if (!objet) continue;
        if (GTK_IS_STRING_OBJECT(objet)) indices.push_back(std::strtoul(gtk_string_object_get_string(GTK_STRING_OBJECT(objet)), nullptr, 10));
        g_object_unref(objet);
    }
    return indices;
}

std::vector<std::size_t> VueParc::lignesVisibles() const {
    std::vector<std::size_t> indices;
    indices.reserve(liees_.size());
    for (const auto& [i, ligne] : liees_) indices.push_back(i);
    return indices;
}

void VueParc::afficherVus(const std::vector<AffichageVu>& vus) {
    for (const AffichageVu& vu : vus) {
        const auto i = liees_.find(vu.etiquette);
        if (i != liees_.end()) i->second->majVu(vu);
    }
}

void VueParc::actionEnCours(std::size_t action, bool enCours) {
    if (enCours) {
        actionsEnCours_.insert(action);
    } else {
        actionsEnCours_.erase(action);
    }
    for (auto& [i, ligne] : liees_) ligne->actionEnCours(action, enCours);
}

void VueParc::lier(LigneParcGtk& ligne, std::size_t indice) {
    if (indice >= donnees_.lignes.size()) return;
    for (auto i = liees_.begin(); i != liees_.end();) i = i->second == &ligne ? liees_.erase(i) : std::next(i);
    ligne.lier(donnees_.lignes[indice], indice, actionsEnCours_);
    liees_[indice] = &ligne;
    perimees_.erase(indice);
    // Once per turn of the main loop, however many rows came on view.
    if (surNouvellesLignes && !rafraichissement_.connected())
        rafraichissement_ = Glib::signal_idle().connect([this] {
            if (surNouvellesLignes) surNouvellesLignes();
            return false;
        });
}

void VueParc::delier(LigneParcGtk& ligne) {
    for (auto i = liees_.begin(); i != liees_.end();) {
        if (i->second == &ligne) {
            perimees_.erase(i->first);
            i = liees_.erase(i);
        } else {
            ++i;
        }
    }
}

// Whether a row with a widget shows in the viewport. The list keeps the widgets of rows out of view
// unmapped.
bool VueParc::aLEcran(LigneParcGtk& ligne) const {
    if (!ligne.get_mapped()) return false;
    graphene_rect_t cadre;
    auto* fenetre = const_cast<GtkWidget*>(GTK_WIDGET(defilement_.gobj()));
    if (!gtk_widget_compute_bounds(GTK_WIDGET(ligne.gobj()), fenetre, &cadre)) return false;
    return cadre.origin.y + cadre.size.height > 0 && cadre.origin.y < defilement_.get_height();
}

// Gives the new list to the stale rows whose index lies within `marge` screenfuls of the rows on
// view, and to at most `auPlus` others.
void VueParc::lierLesPerimees(double marge, std::size_t auPlus) {
    std::size_t premiere = SIZE_MAX;
    std::size_t derniere = 0;
    for (const auto& [i, ligne] : liees_)
        if (aLEcran(*ligne)) {
            premiere = std::min(premiere, i);
            derniere = std::max(derniere, i);
        }
    const auto proche = [&](std::size_t i) {
        if (premiere == SIZE_MAX) return false;
        const auto ecart = static_cast<std::size_t>(marge * static_cast<double>(derniere - premiere + 1));
        return i + ecart >= premiere && i <= derniere + ecart;
    };
    std::size_t autres = 0;
    for (auto i = perimees_.begin(); i != perimees_.end();) {
        const auto liee = liees_.find(*i);
        if (liee == liees_.end() || *i >= donnees_.lignes.size()) {
            i = perimees_.erase(i);
            continue;
        }
        if (!proche(*i)) {
            if (autres == auPlus) {
                ++i;
                continue;
            }
            ++autres;
        }
        liee->second->lier(donnees_.lignes[*i], *i, actionsEnCours_);
        i = perimees_.erase(i);
    }
}

}  // namespace ovrel
