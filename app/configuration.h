// What the application is told when it starts. The launcher reads it once from the process
// environment and passes it in; nothing else in the application reads the environment.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ovrel {

struct Configuration {
    // OVREL_STUDIO_URL, verbatim (no trimming, no check): the studio base address.
    std::optional<std::string> urlStudio;
    // OVREL_PROJET: the designer's project folder.
    std::optional<std::filesystem::path> projet;
    // The application's own resource folder, where an installation may ship a project folder;
    // looked at before OVREL_PROJET.
    std::optional<std::filesystem::path> ressources;
};

}  // namespace ovrel
