#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace zn {
class CSocketAddress;
class CTcpSocket;
class ISoundPlayer;
class Registry;
class WindowDirectory;
}  // namespace zn

namespace zn::console {

class IRequestUi;
class LoginState;
class NavigationHandOver;

inline constexpr std::string_view kNoticePageFileName = "RequestReceived.html";
inline constexpr std::string_view kAlertSoundFileName = "NewRequestAlert.wav";
inline constexpr std::string_view kUnknownSeat = "未知";

// The popup text of a customer message, and whether a popup's text is one.
std::string MessagePopupText(const std::string& address, const std::string& seat,
                             const std::string& text);
bool IsMessagePopupText(std::string_view popupText);

// Everything a request worker reaches; all of it outlives the workers.
struct RequestContext {
    const Registry& registry;
    const WindowDirectory& windows;
    const LoginState& login;
    NavigationHandOver& navigation;
    IRequestUi& ui;
    ISoundPlayer& sound;
    std::filesystem::path programFolder;  // SeatList.xml, RequestReceived.html, the alert sound
};

// Where a request's alert goes. The sound and the Listener windows may take seconds; nothing of
// one request's reaction may hold up the seat's next request.
class IRequestAlerts {
public:
    virtual ~IRequestAlerts() = default;
    // The alert sound; never waits.
    virtual void RingBell() = 0;
    // Tells the Listener windows of the request (its text up to its first zero byte); waits for
    // them only where too many such calls are under way already.
    virtual void TellListeners(std::string request) = 0;
};

// Serves one request connection: the greeting, the seat's single request frame (at most
// `frameCap` bytes) and the reaction to it. Returns when the connection may be closed; a failed
// send or an incomplete or oversized frame ends it without any reaction.
void ServeRequestConnection(const RequestContext& context, CTcpSocket& connection,
                            const CSocketAddress& peer, std::uint32_t frameCap,
                            IRequestAlerts& alerts);

// The reaction to one request body from the seat at `peer`, dispatched on its kind letter. The
// notice page goes first; the hand-overs to the UI thread and the sound do not wait.
void ReactToRequest(const RequestContext& context, std::span<const std::byte> body,
                    const CSocketAddress& peer, IRequestAlerts& alerts);

}  // namespace zn::console
