// Setting an unreadable SQLite file aside: it is kept, with its journals, for whoever wants to
// look at it, and a fresh file can start in its place. Both the user defaults and the cookie
// jar do this rather than losing every later write.
#pragma once

#include "plateforme/horloge.h"

#include <filesystem>
#include <optional>

namespace ovrel {

// Renames `fichier` to "<fichier>.illisible-<UTC date>" (with "-N" added when that name is
// taken), moves its "-wal" and "-journal" companions along (a journal left next to a new file
// could be replayed into it) and removes its "-shm". The new path, or absent when the file
// could not be moved.
std::optional<std::filesystem::path> ecarterFichierIllisible(const std::filesystem::path& fichier, Instant maintenant);

}  // namespace ovrel
