#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// The slow end of a reaction, the alert sound and the Listener windows, which may take seconds.
using AlertTask = std::function<void()>;
// Runs it, on another thread or, where none can be had, on the caller's.
using AlertRunner = std::function<void(AlertTask)>;

// Serves one request connection: the greeting, the seat's single request frame (at most
// `frameCap` bytes) and the reaction to it. Returns when the connection may be closed; a failed
// send or an incomplete or oversized frame ends it without any reaction.
void ServeRequestConnection(const RequestContext& context, CTcpSocket& connection,
                            const CSocketAddress& peer, std::uint32_t frameCap,
                            const AlertRunner& alerts);

// The reaction to one request body from the seat at `peer`, dispatched on its kind letter. The
// notice page goes first; the hand-overs to the UI thread do not wait; the alert goes to `alerts`,
// so that nothing of this request's reaction holds up the seat's next one.
void ReactToRequest(const RequestContext& context, std::span<const std::byte> body,
                    const CSocketAddress& peer, const AlertRunner& alerts);

}  // namespace zn::console
