// Watches an X display for a program's window and says when it was first shown and when its
// content was first drawn, for the start-up measure (bench/demarrage.sh).
//
//   guetteur-fenetre --titre REGEX --depuis NS [--couleur R,G,B,MIN]... [--sans R,G,B,MAX]...
//                    [--delai SECONDS]
//
// The window is the first top-level window, viewable, whose title (_NET_WM_NAME, or WM_NAME)
// matches REGEX. "Shown" is the first moment it is viewable; "drawn" the first moment the
// screen's pixels inside it hold at least MIN pixels of each --couleur and at most MAX of each
// --sans (each channel within 12 levels). The pixels are read from the root window: without a
// compositor that is what the screen shows, and a window partly off the screen is read where it
// is visible. NS is the start of the measure in nanoseconds of CLOCK_REALTIME (`date +%s%N`
// taken just before the program was started); times are printed in milliseconds from it:
//
//   fenetre=0x… montree=412 dessinee=436
//
// Exit status: 0 once drawn, 1 when the delay ran out (the line says what was reached), 2 on a
// usage error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Teinte {
    int r = 0, v = 0, b = 0;
    long seuil = 0;
};

constexpr int ECART = 12;

std::optional<Teinte> lireTeinte(const char* texte) {
    Teinte t;
    if (std::sscanf(texte, "%d,%d,%d,%ld", &t.r, &t.v, &t.b, &t.seuil) != 4) return std::nullopt;
    return t;
}

std::int64_t maintenantNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// X errors (a window destroyed while it is looked at) are expected: they only make that look
// fail.
int ignorerErreur(Display*, XErrorEvent*) { return 0; }

std::string titre(Display* affichage, Window fenetre) {
    static const Atom nomNet = XInternAtom(affichage, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(affichage, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long nombre = 0, reste = 0;
    unsigned char* donnees = nullptr;
    std::string resultat;
    if (XGetWindowProperty(affichage, fenetre, nomNet, 0, 1024, False, utf8, &type, &format, &nombre, &reste,
                           &donnees) == Success &&
        donnees) {
        resultat.assign(reinterpret_cast<char*>(donnees), nombre);
        XFree(donnees);
        return resultat;
    }
    char* nom = nullptr;
    if (XFetchName(affichage, fenetre, &nom) && nom) {
        resultat = nom;
        XFree(nom);
    }
    return resultat;
}

Window chercher(Display* affichage, const std::regex& motif) {
    Window racine = 0, parent = 0;
    Window* enfants = nullptr;
    unsigned int nombre = 0;
    if (!XQueryTree(affichage, DefaultRootWindow(affichage), &racine, &parent, &enfants, &nombre)) return None;
    Window trouvee = None;
    // Top of the stacking order first: that is the one on the screen.
    for (unsigned int i = nombre; i-- > 0 && !trouvee;) {
        XWindowAttributes attributs;
        if (!XGetWindowAttributes(affichage, enfants[i], &attributs) || attributs.map_state != IsViewable) continue;
        if (std::regex_search(titre(affichage, enfants[i]), motif)) trouvee = enfants[i];
    }
    if (enfants) XFree(enfants);
    return trouvee;
}

int decalage(unsigned long masque) {
    int n = 0;
    while (masque && !(masque & 1)) {
        masque >>= 1;
        ++n;
    }
    return n;
}

bool proche(int a, int b) { return std::abs(a - b) <= ECART; }

// Pictures of a part of the screen. Through shared memory when the server offers it: a look
// then holds the display server (which the measured program also needs) for a copy only, not
// for sending megabytes down its socket.
class Capture {
public:
    explicit Capture(Display* affichage) : affichage_(affichage), partage_(XShmQueryExtension(affichage)) {}
    ~Capture() { liberer(); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // The rectangle of the root window, or nullptr; valid until the next call.
    XImage* prendre(int x, int y, int largeur, int hauteur) {
        const Window racine = DefaultRootWindow(affichage_);
        if (!partage_) {
            if (image_) XDestroyImage(image_);
            image_ = XGetImage(affichage_, racine, x, y, static_cast<unsigned>(largeur), static_cast<unsigned>(hauteur),
                               AllPlanes, ZPixmap);
            return image_;
        }
        if (!image_ || image_->width != largeur || image_->height != hauteur) {
            liberer();
            const int ecran = DefaultScreen(affichage_);
            image_ = XShmCreateImage(affichage_, DefaultVisual(affichage_, ecran),
                                     static_cast<unsigned>(DefaultDepth(affichage_, ecran)), ZPixmap, nullptr, &segment_,
                                     static_cast<unsigned>(largeur), static_cast<unsigned>(hauteur));
            if (!image_) return nullptr;
            segment_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * image_->height,
                                    IPC_CREAT | 0600);
            segment_.shmaddr = image_->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
            segment_.readOnly = False;
            XShmAttach(affichage_, &segment_);
            XSync(affichage_, False);
            // Gone once both ends have let it go.
            shmctl(segment_.shmid, IPC_RMID, nullptr);
        }
        if (!XShmGetImage(affichage_, racine, image_, x, y, AllPlanes)) return nullptr;
        return image_;
    }

private:
    void liberer() {
        if (!image_) return;
        if (partage_) {
            XShmDetach(affichage_, &segment_);
            XSync(affichage_, False);
            image_->data = nullptr;
            XDestroyImage(image_);
            shmdt(segment_.shmaddr);
        } else {
            XDestroyImage(image_);
        }
        image_ = nullptr;
    }

    Display* affichage_;
    bool partage_;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
};

// Counts, in the part of the screen the window covers, the pixels near each colour.
std::optional<std::vector<long>> compter(Display* affichage, Capture& capture, Window fenetre,
                                         const std::vector<Teinte>& teintes) {
    XWindowAttributes attributs;
    if (!XGetWindowAttributes(affichage, fenetre, &attributs) || attributs.map_state != IsViewable) return std::nullopt;
    Window enfant = 0;
    int x = 0, y = 0;
    const Window racine = DefaultRootWindow(affichage);
    if (!XTranslateCoordinates(affichage, fenetre, racine, 0, 0, &x, &y, &enfant)) return std::nullopt;
    const int largeurEcran = DisplayWidth(affichage, DefaultScreen(affichage));
    const int hauteurEcran = DisplayHeight(affichage, DefaultScreen(affichage));
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + attributs.width, largeurEcran), y1 = std::min(y + attributs.height, hauteurEcran);
    if (x1 <= x0 || y1 <= y0) return std::nullopt;
    XImage* image = capture.prendre(x0, y0, x1 - x0, y1 - y0);
    if (!image) return std::nullopt;
    const int dr = decalage(image->red_mask), dv = decalage(image->green_mask), db = decalage(image->blue_mask);
    std::vector<long> comptes(teintes.size(), 0);
    const bool direct = image->bits_per_pixel == 32;
    for (int j = 0; j < image->height; ++j) {
        const auto* ligne = reinterpret_cast<const std::uint32_t*>(image->data + static_cast<long>(j) * image->bytes_per_line);
        for (int i = 0; i < image->width; ++i) {
            const unsigned long p = direct ? ligne[i] : XGetPixel(image, i, j);
            const int r = static_cast<int>((p & image->red_mask) >> dr);
            const int v = static_cast<int>((p & image->green_mask) >> dv);
            const int b = static_cast<int>((p & image->blue_mask) >> db);
            for (std::size_t k = 0; k < teintes.size(); ++k)
                if (proche(r, teintes[k].r) && proche(v, teintes[k].v) && proche(b, teintes[k].b)) ++comptes[k];
        }
    }
    return comptes;
}

int usage() {
    std::fprintf(stderr,
                 "usage : guetteur-fenetre --titre REGEX --depuis NS [--couleur R,G,B,MIN]... "
                 "[--sans R,G,B,MAX]... [--delai SECONDES]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::regex> motif;
    std::int64_t depuis = 0;
    double delai = 30;
    std::vector<Teinte> presentes, absentes;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        const char* valeur = argv[++i];
        if (option == "--titre") {
            motif.emplace(valeur);
        } else if (option == "--depuis") {
            depuis = std::strtoll(valeur, nullptr, 10);
        } else if (option == "--delai") {
            delai = std::strtod(valeur, nullptr);
        } else if (option == "--couleur" || option == "--sans") {
            auto teinte = lireTeinte(valeur);
            if (!teinte) return usage();
            (option == "--couleur" ? presentes : absentes).push_back(*teinte);
        } else {
            return usage();
        }
    }
    if (!motif || depuis <= 0) return usage();

    Display* affichage = XOpenDisplay(nullptr);
    if (!affichage) {
        std::fprintf(stderr, "guetteur-fenetre : pas d'affichage X\n");
        return 2;
    }
    XSetErrorHandler(ignorerErreur);
    Capture capture(affichage);
    std::vector<Teinte> teintes = presentes;
    teintes.insert(teintes.end(), absentes.begin(), absentes.end());

    const auto ms = [depuis](std::int64_t ns) { return (ns - depuis) / 1'000'000; };
    const std::int64_t fin = maintenantNs() + static_cast<std::int64_t>(delai * 1e9);
    Window fenetre = None;
    std::int64_t montree = 0;
    std::vector<long> derniers(teintes.size(), 0);
    while (maintenantNs() < fin) {
        if (!fenetre) {
            fenetre = chercher(affichage, *motif);
            if (fenetre) montree = maintenantNs();
        }
        if (fenetre) {
            auto comptes = compter(affichage, capture, fenetre, teintes);
            // Once the picture is back: the window was drawn by then (at most one look, about
            // 10 ms, late).
            const std::int64_t instant = maintenantNs();
            if (!comptes) {
                // Gone or hidden again: look for it anew.
                fenetre = None;
                continue;
            }
            derniers = *comptes;
            bool dessinee = true;
            for (std::size_t k = 0; k < presentes.size(); ++k) dessinee = dessinee && derniers[k] >= presentes[k].seuil;
            for (std::size_t k = 0; k < absentes.size(); ++k)
                dessinee = dessinee && derniers[presentes.size() + k] <= absentes[k].seuil;
            if (dessinee) {
                std::printf("fenetre=0x%lx montree=%lld dessinee=%lld\n", fenetre, static_cast<long long>(ms(montree)),
                            static_cast<long long>(ms(instant)));
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::printf("fenetre=%s montree=%s dessinee=- pixels=", fenetre ? "oui" : "-",
                fenetre ? std::to_string(ms(montree)).c_str() : "-");
    for (std::size_t k = 0; k < derniers.size(); ++k) std::printf("%s%ld", k ? "," : "", derniers[k]);
    std::printf("\n");
    return 1;
}
