#!/usr/bin/python3
# Reads the application's widgets as assistive technologies do (AT-SPI), so that a test can say
# what the user sees and press a button by its name.
#
# It reads the screen of this network's boxes and the web container's bar, nothing else.
#
#   accessibilite.py boutons            the names of the visible push buttons, one per line
#   accessibilite.py appuyer TEXTE      presses the first visible push button whose name holds TEXTE
#   accessibilite.py centre TEXTE       the screen position "x y" of the centre of the first visible
#                                       widget whose name holds TEXTE
#
# GTK 4.8 says "visible" of every widget not hidden, on every screen of the window's stack (it
# does not say "showing"): a test reads a screen it knows is shown, by names only it has.
# Exit status 1 when the application is not on the accessibility bus or no button matches.
import sys

import pyatspi


def application():
    bureau = pyatspi.Registry.getDesktop(0)
    for i in range(bureau.childCount):
        app = bureau.getChildAtIndex(i)
        if app is not None and "ovrel" in (app.name or "").lower():
            return app
    return None


# Only the window's plain containers are gone through: every question is a round trip to the
# application, and the fleet's list or the web view hold far more than a test reads (under load a
# whole walk took longer than its time limit).
CONTENEURS = {pyatspi.ROLE_APPLICATION, pyatspi.ROLE_FRAME, pyatspi.ROLE_PANEL, pyatspi.ROLE_FILLER}


def ecranLu(page):
    """Whether this screen of the window's stack is one the tests read."""
    if page.childCount == 0:
        return False
    ecran = page.getChildAtIndex(0)
    if ecran.getRole() == pyatspi.ROLE_FILLER and (ecran.name or "").startswith("gtkmm__"):
        return True
    if ecran.childCount == 0:
        return False
    barre = ecran.getChildAtIndex(0)
    return any("Retour" in (barre.getChildAtIndex(i).name or "") for i in range(barre.childCount))


def montres(noeud, trouves, profondeur=0):
    """Every visible widget under `noeud`, in the tree's order, lists and web content aside."""
    if noeud is None or profondeur > 60:
        return
    try:
        if not noeud.getState().contains(pyatspi.STATE_VISIBLE):
            return
        # Of the window's screens, only the two a test reads here are gone through: the boxes of
        # this network (an overlay) and the web container's bar (its "Retour"). Under load each
        # question takes a while, and the other screens hold many widgets.
        if noeud.name == "GtkStackPage" and not ecranLu(noeud):
            return
        trouves.append(noeud)
        # The web view's content answers from the web engine's own processes, through its
        # sandbox: a question there can wait for long, and nothing a test reads is inside. The
        # view is a filler whose name changes with the page; the only filler of ours worth going
        # through is the box screen's overlay, which keeps its class name.
        role = noeud.getRole()
        if role not in CONTENEURS:
            return
        if role == pyatspi.ROLE_FILLER and not (noeud.name or "").startswith("gtkmm__"):
            return
        for i in range(noeud.childCount):
            montres(noeud.getChildAtIndex(i), trouves, profondeur + 1)
    except Exception:
        return


def main():
    app = application()
    if app is None:
        print("application absente du bus d'accessibilité", file=sys.stderr)
        return 1
    tous = []
    for i in range(app.childCount):
        montres(app.getChildAtIndex(i), tous)
    trouves = [n for n in tous if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
    if sys.argv[1] == "centre":
        for n in tous:
            if sys.argv[2] in (n.name or ""):
                x, y, largeur, hauteur = n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                print(x + largeur // 2, y + hauteur // 2)
                return 0
        print("aucun élément « %s »" % sys.argv[2], file=sys.stderr)
        return 1
    if sys.argv[1] == "boutons":
        for b in trouves:
            print(b.name)
        return 0
    if sys.argv[1] == "appuyer":
        for b in trouves:
            if sys.argv[2] in (b.name or ""):
                b.queryAction().doAction(0)
                return 0
        print("aucun bouton « %s »" % sys.argv[2], file=sys.stderr)
        return 1
    return 2


if __name__ == "__main__":
    sys.exit(main())
