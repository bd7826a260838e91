// The seat's feedback port: whatever a console (or anyone) sends to it, through the real
// listener and its receiver threads, with the seat's screen faked.

#include <cstdint>

#include "FuzzSupport.h"
#include "client/ClientUi.h"
#include "client/FeedbackListener.h"

namespace {

using namespace zn;
using namespace zn::client;

class QuietFeedbackUi final : public IFeedbackUi {
public:
    void PostMessage(std::string_view, std::string_view, MessageIcon) override {}
    void PostNavigate(std::string_view) override {}
    void PostReloadIfShown(std::string_view) override {}
    void PostRaise() override {}
};

struct Seat {
    Seat() {
        console.Set(0x7F000001);  // the fuzzer sends from 127.0.0.1
        if (!listener.Create(0) || !listener.Start()) {
            std::abort();
        }
    }
    QuietFeedbackUi ui;
    CurrentConsole console;
    FeedbackListener listener{ui, console, fuzz::ScratchFolder()};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Seat seat;
    fuzz::SendToServerAndWait(seat.listener.Port(), {data, size});
    return 0;
}
