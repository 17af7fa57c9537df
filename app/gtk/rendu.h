// How the toolkit draws, chosen before GTK starts. A machine without a graphics device (a virtual
// machine, a remote session, a virtual display) has OpenGL only through a software rasteriser:
// loading it costs about a tenth of a second at each start and tens of megabytes, draws the
// window's frames more slowly than GTK's plain software renderer, and leads the web view to
// composite its pages through the same rasteriser, much more slowly than without it. There the
// application turns OpenGL off in GTK; on a machine with a device GTK keeps its own choice.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ovrel {

// Whether the folder of the kernel's graphics devices (/dev/dri) holds a render node
// ("renderD128"…), which any hardware OpenGL driver needs.
bool noeudDeRenduPresent(const std::filesystem::path& dossierDri = "/dev/dri");

// The value GDK_DEBUG must take before GTK starts, or nothing to leave the environment as it is:
// "gl-disable" when the machine has no render node and the user chose nothing themselves (no
// GDK_DEBUG of their own, no GSK_RENDERER other than the software "cairo").
std::optional<std::string> debogageGdkPourLeRendu(bool noeudDeRendu, const char* gdkDebug, const char* gskRenderer);

// Reads the environment and the devices, and sets GDK_DEBUG when debogageGdkPourLeRendu says so
// (and GSK_RENDERER=cairo when it was unset). Before GTK is initialised; answers whether OpenGL
// was turned off.
bool choisirLeRendu();

}  // namespace ovrel
