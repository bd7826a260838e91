// Everything here broadcasts, so every test runs inside a network namespace of its own.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "FakeClientUi.h"
#include "FakeConsole.h"
#include "NetNamespace.h"
#include "Sandbox.h"
#include "client/ClientSettings.h"
#include "client/ClientTexts.h"
#include "client/RequestLink.h"
#include "net/Frame.h"
#include "net/UdpSocket.h"
#include "platform/Registry.h"

namespace zn::client {
namespace {

using test::FakeClientUi;
using test::FakeConsole;

// Answers discovery probes like the console: the 4 probe bytes go back to their sender.
class FakeResponder {
public:
    FakeResponder() {
        EXPECT_TRUE(m_socket.Create(0)) << "responder cannot bind";
        m_thread = std::thread([this] {
            for (;;) {
                std::array<std::byte, 4> datagram{};
                sockaddr_in sender{};
                socklen_t length = sizeof sender;
                const int count = m_socket.ReceiveFrom(
                    datagram.data(), 4, reinterpret_cast<sockaddr*>(&sender), &length);
                if (!m_socket.IsValid()) {
                    return;
                }
                if (count == 4 && IsDiscoveryProbe(datagram)) {
                    m_socket.SendTo(datagram.data(), 4, reinterpret_cast<sockaddr*>(&sender),
                                    length);
                }
            }
        });
    }
    ~FakeResponder() {
        m_socket.Close();
        m_thread.join();
    }
    std::uint16_t Port() const { return ntohs(m_socket.Local().sin_port); }

private:
    CUdpSocket m_socket;
    std::thread m_thread;
};

class DiscoveryTest : public ::testing::Test {
protected:
    void Settings(std::uint16_t remotePort, std::uint16_t broadcastPort) {
        m_sandbox.WriteFile("gameclient.dat",
                            "[PROFILE_QZ]\r\nRemotePort=" + std::to_string(remotePort) +
                                "\r\nMainPage=http://shop.test/wb/indexc.jsp\r\n");
        m_sandbox.WriteFile("serverip.ini", "[PROFILE_QZ]\r\nServerAddress=\r\n");
        m_sandbox.WriteFile("registry/HKEY_LOCAL_MACHINE.reg",
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaClient]\r\n"
                            "\"BroadcastPort\"=dword:" +
                                Hex(broadcastPort) + "\r\n");
    }

    static std::string Hex(std::uint16_t value) {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", value);
        return text;
    }

    zn::test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
    ClientSettings m_settings{m_registry, m_sandbox.Path()};
    FakeClientUi m_ui;
    CurrentConsole m_console;
};

TEST_F(DiscoveryTest, DiscoveredConsoleIsWrittenBackAndUsedAtTheNextStart) {
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    FakeConsole console(FakeConsole::GreetAndServeOne("&cid_murvel=12&seat=A1"), true);
    auto responder = std::make_unique<FakeResponder>();
    Settings(console.Port(), responder->Port());
    RequestLink link(m_ui, m_settings, m_console, "");

    ASSERT_TRUE(link.ConnectAndOpen()) << m_ui.MessageTexts().size() << " messages";

    // The namespace's only configured interface is 10.77.0.1: the seat names itself by it,
    // never by the loopback address.
    EXPECT_EQ(m_settings.ServerAddress(), "10.77.0.1");
    EXPECT_EQ(m_ui.Navigations(),
              std::vector<std::string>{"http://shop.test/wb/indexc.jsp?&cid_murvel=12&seat=A1"
                                       "&ip=10.77.0.1&first=1"});

    responder.reset();
    RequestLink nextStart(m_ui, m_settings, m_console, "");
    EXPECT_TRUE(nextStart.ConnectAndOpen());
    EXPECT_EQ(console.Connections(), 2);
}

TEST_F(DiscoveryTest, NoConsoleGivesTheNoConsoleMessageAfterTheDiscoveryLimit) {
    ZN_RUN_INSIDE_NETWORK_NAMESPACE();
    Settings(1, 1);  // nobody answers the probe on port 1
    RequestLink link(m_ui, m_settings, m_console, "");

    EXPECT_FALSE(link.ConnectAndOpen());

    EXPECT_EQ(m_ui.MessageTexts(), std::vector<std::string>{std::string(ClientTexts::kNoConsole)});
    EXPECT_EQ(m_ui.CloseRequests(), 1);
    EXPECT_EQ(m_settings.ServerAddress(), "");
}

}  // namespace
}  // namespace zn::client
