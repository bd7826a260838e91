#pragma once

#include <filesystem>
#include <memory>

#include "console/ConsoleUi.h"

namespace zn {
class IServiceManager;
class Registry;
}  // namespace zn

namespace zn::console {

// The upgrade prompt on the screen, one window for the program's life. UI thread only.
class IUpgradePrompt {
public:
    virtual ~IUpgradePrompt() = default;
    virtual bool IsPromptShown() const = 0;
    // Shows the prompt and returns at once; an accepted prompt calls SelfUpdate::OnPromptAccepted,
    // a dismissed one only hides.
    virtual void ShowPrompt() = 0;
    // Ends the console's event loop with the code; the program then ends as after a confirmed
    // exit.
    virtual void EndProgram(int code) = 0;
};

struct SelfUpdateContext {
    const Registry& registry;
    std::filesystem::path programFolder;
    IServiceManager& services;      // for the content release's script
    std::filesystem::path logFile;  // UpdateLogFile() in the program
    IEventLoop& loop;               // hands the offer to the UI thread
    IDialogs& dialogs;              // tells the cashier that the launcher did not start
    IUpgradePrompt& prompt;
};

// The console's hourly work: the content update, then the check for a newer console release,
// which offers the upgrade prompt. The work runs on a worker thread of its own, so the counter
// keeps announcing orders during a download or a deployment script; one run at a time. A run
// uses the object and its context: while IsRunning(), the program ends without destroying them.
class SelfUpdate final : public ISelfUpdate {
public:
    explicit SelfUpdate(SelfUpdateContext context);
    ~SelfUpdate() override;
    SelfUpdate(const SelfUpdate&) = delete;
    SelfUpdate& operator=(const SelfUpdate&) = delete;

    // UI thread, at each tick: starts a run unless the last one is still going (the tick is then
    // skipped, logged).
    void RunHourlyWork() override;
    // UI thread: starts "Launch" and ends the console with 0. A launcher that cannot be started
    // leaves the console running; the cashier is told and it is logged.
    void OnPromptAccepted();
    // Any thread: a run has not ended yet.
    bool IsRunning() const;

private:
    struct Shared;

    void Run();
    void OfferUpgrade();

    SelfUpdateContext m_context;
    std::shared_ptr<Shared> m_shared;
};

}  // namespace zn::console
