#include "update/DeploymentScript.h"

#include <fmt/format.h>

#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/XmlDocument.h"
#include "platform/Log.h"
#include "update/DecimalText.h"
#include "update/ManifestPath.h"
#include "update/ModuleFiles.h"
#include "update/RegistryWrite.h"
#include "update/UpdateLog.h"

namespace zn {

namespace {

enum class Phase { Initialize, Finalize };

const char* PhaseName(Phase phase) {
    return phase == Phase::Initialize ? "Initialize" : "Finalize";
}

// An element's entries are selected from the element itself, as from a document of its own: the
// element and every element of its name below it, as the query's first step.
void WriteRegistryEntries(const CXmlNode& element, const std::string& query,
                          const DeploymentContext& context) {
    CXmlNodeList entries = element.SelectNodes(query);
    for (long i = 0; i < entries.Length(); ++i) {
        const CXmlNode entry = entries.Item(i);
        WriteRegistryValue(context.registry, entry.GetAttribute("Path"), entry.GetAttribute("Name"),
                           entry.GetAttribute("Value"), entry.GetAttribute("Type"));
    }
}

void RunExecuteEntry(const CXmlNode& entry, const std::filesystem::path* modulePath,
                     const DeploymentContext& context) {
    const auto flags = static_cast<std::uint16_t>(LeadingDecimal(entry.GetAttribute("Mode")));
    std::vector<std::string> arguments;
    CXmlNodeList params = entry.SelectNodes("descendant-or-self::Execute/Param");
    for (long i = 0; i < params.Length(); ++i) {
        arguments.push_back(params.Item(i).Text());
    }
    if (modulePath != nullptr && entry.GetAttribute("ModuleIsParam") == "1") {
        arguments.push_back("\"" + modulePath->string() + "\"");
    }
    CommandRunner(flags, entry.GetAttribute("Command"), std::move(arguments), context.programFolder)
        .Run(context.limits.programWait);
}

void RunExecuteEntries(const CXmlNode& element, const std::string& query,
                       const std::filesystem::path* modulePath, const DeploymentContext& context) {
    CXmlNodeList entries = element.SelectNodes(query);
    for (long i = 0; i < entries.Length(); ++i) {
        RunExecuteEntry(entries.Item(i), modulePath, context);
    }
}

void PauseAfterInitializeStep(Phase phase, const DeploymentContext& context) {
    if (phase == Phase::Initialize) {
        std::this_thread::sleep_for(context.limits.initializePause);
    }
}

void RunStep(const CXmlNode& step, Phase phase, const DeploymentContext& context) {
    const std::string action = step.GetAttribute("Action");
    const std::string target = step.GetAttribute("Target");
    if (action == "StartService") {
        StartServiceAndWait(context.services, target, context.limits.serviceWait);
    } else if (action == "StartApp") {
        // Without arguments and without waiting.
        CommandRunner(CommandRunner::kFromProgramFolder, target, {}, context.programFolder).Run();
    } else if (action == "StopService") {
        StopServiceAndWait(context.services, target, context.limits.serviceWait);
        PauseAfterInitializeStep(phase, context);
    } else if (action == "StopApp") {
        // Exactly the named program: with ".exe" added, a customer's "<target>.exe" would match.
        StopProcessByName(target, context.limits.processCloseWait);
        PauseAfterInitializeStep(phase, context);
    } else if (action == "Misc") {
        const std::string prefix = std::string("descendant-or-self::") + PhaseName(phase);
        WriteRegistryEntries(step, prefix + "/Registry", context);
        RunExecuteEntries(step, prefix + "/Execute", nullptr, context);
    }
}

bool HasContent(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    return input && input.peek() != std::ifstream::traits_type::eof();
}

void CopyModule(const std::filesystem::path& source, const std::filesystem::path& destination,
                const DeploymentContext& context) {
    if (!HasContent(source)) {
        return;  // not downloaded, or empty: nothing to put in place
    }
    CreateFolderFor(destination);
    if (const int error = CopyFileReplacing(source, destination); error != 0) {
        log::Error("Cannot copy {} to {}: {}", source.string(), destination.string(),
                   std::strerror(error));
        AppendLog(context.logFile, fmt::format("!CopyFile({}, {}, FALSE):{}", source.string(),
                                               destination.string(), error));
    }
}

void RunModule(const CXmlNode& module, const DeploymentContext& context) {
    const auto source =
        ResolveInsideFolder(context.programFolder / "Content", module.GetAttribute("ModulePath"));
    const auto destination =
        ResolveInsideFolder(context.programFolder, module.GetAttribute("CopyTo"));
    if (!source || !destination) {
        log::Error("Skipped the module \"{}\" of the deployment script",
                   module.GetAttribute("ModuleName"));
        return;
    }
    CopyModule(*source, *destination, context);
    WriteRegistryEntries(module, "descendant-or-self::Module/Registry", context);
    RunExecuteEntries(module, "descendant-or-self::Module/Execute", &*destination, context);
}

void RunSteps(const CXmlDocument& script, Phase phase, const DeploymentContext& context) {
    CXmlNodeList steps = script.SelectNodes(std::string("descendant::") + PhaseName(phase));
    for (long i = 0; i < steps.Length(); ++i) {
        RunStep(steps.Item(i), phase, context);
    }
}

}  // namespace

void RunDeploymentScript(const std::filesystem::path& scriptFile,
                         const DeploymentContext& context) {
    CXmlDocument script;
    if (const int result = script.Load(scriptFile); result != CXmlDocument::kLoaded) {
        log::Error("Deployment script {} not run: it does not load ({})", scriptFile.string(),
                   result);
        return;
    }
    RunSteps(script, Phase::Initialize, context);
    CXmlNodeList modules = script.SelectNodes("descendant::Module");
    for (long i = 0; i < modules.Length(); ++i) {
        RunModule(modules.Item(i), context);
    }
    RunSteps(script, Phase::Finalize, context);
}

}  // namespace zn
