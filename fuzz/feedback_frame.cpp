// The seat's feedback port: whatever a console (or anyone) sends to it, through the real
// listener and its receiver threads, with the seat's screen faked.

#include <cstdint>

#include "FuzzSupport.h"
#include "client/ClientUi.h"
#include "client/FeedbackListener.h"

namespace {

using namespace zn;
using namespace zn::client;

class QuietClientUi final : public IClientUi {
public:
    void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
    ConnectionErrorAnswer AskConnectionError(std::string_view) override { return {}; }
    std::unique_ptr<IProgressWindow> OpenProgress(std::string_view) override { return nullptr; }
    void Navigate(std::string_view) override {}
    void RaiseWindow() override {}
    void RequestClose() override {}
    void ExitProcess(int) override {}
};

struct Seat {
    Seat() {
        if (!listener.Create(0) || !listener.Start()) {
            std::abort();
        }
    }
    QuietClientUi ui;
    FeedbackListener listener{ui, fuzz::ScratchFolder()};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Seat seat;
    fuzz::SendToServerAndWait(seat.listener.Port(), {data, size});
    return 0;
}
