#include "console/SelfUpdate.h"

#include <atomic>
#include <cstring>

#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleUpdateSite.h"
#include "console/LauncherCommand.h"
#include "platform/Log.h"
#include "platform/Threads.h"
#include "update/UpdateRun.h"

namespace zn::console {

struct SelfUpdate::Shared {
    std::atomic<bool> running = false;
};

SelfUpdate::SelfUpdate(SelfUpdateContext context)
    : m_context(std::move(context)), m_shared(std::make_shared<Shared>()) {}

SelfUpdate::~SelfUpdate() = default;

void SelfUpdate::RunHourlyWork() {
    if (m_shared->running.exchange(true)) {
        log::Warn("The last hourly update is still running; this tick is skipped");
        return;
    }
    const bool started = StartDetachedThread([this, shared = m_shared] {
        Run();
        shared->running = false;
    });
    if (!started) {
        log::Error("No thread for the hourly update; the next tick tries again");
        m_shared->running = false;
    }
}

void SelfUpdate::Run() {
    const UpdateSite site = ConsoleUpdateSite(ConsoleSettings(m_context.registry));
    const UpdateResult content = RunContentUpdate(site, DeploymentContext{m_context.programFolder,
                                                                          m_context.registry,
                                                                          m_context.services,
                                                                          m_context.logFile,
                                                                          {}});
    log::Info("Hourly content update from {}:{}/{}: result {}", site.host, site.port, site.path,
              static_cast<int>(content));
    if (CheckForNewVersion(site, m_context.programFolder)) {
        m_context.loop.PostToUiThread([this] { OfferUpgrade(); });
    }
}

void SelfUpdate::OfferUpgrade() {
    if (!m_context.prompt.IsPromptShown()) {
        log::Info("A newer console release is offered");
        m_context.prompt.ShowPrompt();
    }
}

void SelfUpdate::OnPromptAccepted() {
    const std::string launch = ConsoleSettings(m_context.registry).Launch();
    if (const int error = LauncherCommand(launch, m_context.programFolder).Run(); error != 0) {
        log::Error("The console launcher \"{}\" cannot be started ({}); the console keeps running",
                   launch, std::strerror(error));
        m_context.dialogs.MessageBox(std::string(texts::kLaunchFailedText[0]) + launch +
                                         std::string(texts::kLaunchFailedText[1]),
                                     std::string(texts::kLaunchFailedCaption), MessageIcon::Error,
                                     MessageButtons::Ok);
        return;
    }
    log::Info("Upgrade accepted: \"{}\" started; the console ends", launch);
    m_context.prompt.EndProgram(0);
}

bool SelfUpdate::IsRunning() const {
    return m_shared->running;
}

}  // namespace zn::console
