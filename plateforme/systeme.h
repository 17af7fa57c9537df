// The desktop around the application: default browser, file manager, system log.
#pragma once

#include <filesystem>
#include <string>

namespace ovrel {

class Systeme {
public:
    virtual ~Systeme() = default;

    // False when no browser could be asked to open it.
    virtual bool ouvrirDansLeNavigateur(const std::string& url) = 0;
    virtual void reveler(const std::filesystem::path& fichier) = 0;
    // One diagnostic line, already in its final form ("OVREL NAV → …"); addresses in it have
    // gone through adresseSansSecret.
    virtual void journal(const std::string& ligne) = 0;
};

}  // namespace ovrel
