// Child processes on GSubprocess, their output read asynchronously on the main context.
//
// Reads and the wait for the exit run on the context that is the thread's default when `lancer`
// is called (the application's main context). The child's standard input is /dev/null: a tool
// that asks a question gets an end of file rather than waiting for an answer nobody can give.
//
// Destroying the adapter while children run sends each of them SIGTERM and stops reading: once
// nobody reads its output, a child writing on would only block or fail, and a tool left behind
// the application would go on changing a box with nobody to see it. Nothing is reported after
// the destruction.
#pragma once

#include "plateforme/processus.h"

#include <memory>
#include <vector>

namespace ovrel {

class ProcessusGio final : public Processus {
public:
    ProcessusGio() = default;
    ~ProcessusGio() override;
    ProcessusGio(const ProcessusGio&) = delete;
    ProcessusGio& operator=(const ProcessusGio&) = delete;

    // A start that fails (no such program, not executable, no such folder) reports GLib's
    // message, for instance "Failed to execute child process “/x” (No such file or directory)".
    // A read error on the pipe ends the output as its end would.
    void lancer(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                const std::filesystem::path& dossier, SurDonnees surDonnees, SurFin surFin,
                SurEchecLancement surEchecLancement) override;

    // One child, from its start to its report of the end; defined in the implementation.
    class Execution;

private:
    std::vector<std::weak_ptr<Execution>> executions_;
};

}  // namespace ovrel
