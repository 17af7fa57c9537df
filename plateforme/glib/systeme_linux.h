// The desktop around the application on Linux: default browser and file manager through GIO,
// and the system log through syslog.
#pragma once

#include "plateforme/systeme.h"

namespace ovrel {

class SystemeLinux final : public Systeme {
public:
    // Opens the system log under the name "ovrel-studio" (facility user). Each line is also
    // written on the standard error, as a developer running the program from a terminal expects.
    SystemeLinux();
    ~SystemeLinux() override;
    SystemeLinux(const SystemeLinux&) = delete;
    SystemeLinux& operator=(const SystemeLinux&) = delete;

    // The desktop's default handler of the address; false when none could be started.
    bool ouvrirDansLeNavigateur(const std::string& url) override;
    // Asks the file manager on the session bus to show the file selected
    // (org.freedesktop.FileManager1.ShowItems); without one, opens the folder that holds it.
    // Asynchronous: returns at once, and whatever answers later needs nothing of this object.
    void reveler(const std::filesystem::path& fichier) override;
    // One log line at level info; line breaks inside it become spaces, so that a text coming
    // from outside can neither split the line nor forge another one.
    void journal(const std::string& ligne) override;
};

}  // namespace ovrel
