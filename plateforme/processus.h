// The child-process port: running a program whose output is read live, as the designer's attach
// tool is run for the log window.
//
// The real adapter runs on GSubprocess. Every report comes on the main context, never from within
// `lancer`.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class Processus {
public:
    // A piece of the child's output, raw bytes as read (never empty). A multi-byte character may
    // be split between two pieces: decode them with one DecodeurUtf8 for the whole run.
    using SurDonnees = std::function<void(std::string octets)>;
    // The child exited and its output was read to its end: its exit status, absent when a signal
    // ended it.
    using SurFin = std::function<void(std::optional<int> statut)>;
    // The child could not be started: the system's description of why.
    using SurEchecLancement = std::function<void(std::string description)>;

    virtual ~Processus() = default;

    // Starts `executable` with `arguments` (without the program's own name) in the folder
    // `dossier`, with this program's environment and nothing on its standard input. Its standard
    // output and standard error go into one pipe, so `surDonnees` receives both in the order they
    // were written. Then exactly one of:
    //   - `surDonnees` for each piece, in order, then `surFin` once, after the last piece: after
    //     both the end of the pipe and the child's exit;
    //   - `surEchecLancement` alone, once.
    // Several children may run at once, each with its own reports. Destroying the port stops
    // every report of the children still running.
    virtual void lancer(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                        const std::filesystem::path& dossier, SurDonnees surDonnees, SurFin surFin,
                        SurEchecLancement surEchecLancement) = 0;
};

}  // namespace ovrel
