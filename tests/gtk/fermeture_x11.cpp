#include "tests/gtk/fermeture_x11.h"

#include <X11/Xlib.h>

namespace ovrel::essais {

bool fermerCommeLeGestionnaire(const std::string& fenetre) {
    Display* ecran = XOpenDisplay(nullptr);
    if (!ecran) return false;
    XEvent evenement{};
    evenement.xclient.type = ClientMessage;
    evenement.xclient.window = static_cast<Window>(std::stoul(fenetre, nullptr, 0));
    evenement.xclient.message_type = XInternAtom(ecran, "WM_PROTOCOLS", False);
    evenement.xclient.format = 32;
    evenement.xclient.data.l[0] = static_cast<long>(XInternAtom(ecran, "WM_DELETE_WINDOW", False));
    evenement.xclient.data.l[1] = CurrentTime;
    const bool envoye = XSendEvent(ecran, evenement.xclient.window, False, NoEventMask, &evenement) != 0;
    XFlush(ecran);
    XCloseDisplay(ecran);
    return envoye;
}

}  // namespace ovrel::essais
