#include "ProxyIPConfigDlg.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "ConfigUiTest.h"
#include "ModalDriver.h"
#include "WaitFor.h"
#include "console/ConsoleSettings.h"
#include "net/SocketAddress.h"
#include "net/TcpSocket.h"
#include "platform/NetworkInfo.h"
#include "platform/Registry.h"

namespace zn::config {
namespace {

using test::Click;

// A label over 63 characters cannot be put into a query: the look-up fails without asking a
// name server.
const QString kUnresolvable = QString(64, QLatin1Char('a')) + QStringLiteral(".invalid");

// The advertising server's configuration port on loopback: it keeps the bytes of each
// connection until the peer closes it.
class ConfigurationServer {
public:
    explicit ConfigurationServer(std::uint16_t port = 0) {
        m_listening = m_listener.Create(CSocketAddress::FromDotted("127.0.0.1", port).value()) &&
                      m_listener.Listen();
        if (m_listening) {
            m_thread = std::thread([this] { Serve(); });
        }
    }
    ~ConfigurationServer() {
        m_listener.Close();  // ends a waiting Accept
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    bool Listening() const { return m_listening; }
    std::uint16_t Port() const { return ntohs(m_listener.Local().sin_port); }
    // Each connection's bytes, once it has ended.
    std::vector<std::vector<unsigned char>> Received() const {
        const std::lock_guard lock(m_mutex);
        return m_received;
    }
    // The tool's close may reach the server after the page has said it is done.
    std::vector<std::vector<unsigned char>> ReceivedOnceEnded(std::size_t connections) const {
        zn::test::WaitFor([&] { return Received().size() >= connections; },
                          std::chrono::seconds(5));
        return Received();
    }

private:
    void Serve() {
        while (auto connection = m_listener.Accept(nullptr)) {
            std::vector<unsigned char> bytes;
            std::array<unsigned char, 16> buffer{};
            // Bounded: the tool sends 4 bytes and closes; more than 16 is a fault anyway.
            int got = 0;
            while (bytes.size() < 64 &&
                   (got = connection->ReceiveSome(buffer.data(), static_cast<int>(buffer.size()),
                                                  std::chrono::seconds(5))) > 0) {
                bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
            }
            const std::lock_guard lock(m_mutex);
            m_received.push_back(std::move(bytes));
        }
    }

    CTcpSocket m_listener;
    bool m_listening = false;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::vector<unsigned char>> m_received;
};

class ProxyIPConfigDlgTest : public test::ConfigUiTest {
protected:
    void StorePort(std::uint32_t port) {
        const Registry registry(Registry::DefaultFolder());
        auto key = registry.CreateKey(RegistryRoot::LocalMachine, console::kConsoleKeyPath);
        ASSERT_TRUE(key && key->SetDword("ProxyConfigPort", port));
    }

    // Fills both fields and clicks "完成"; returns when the page has handled it.
    void Configure(ProxyIPConfigDlg& page, const QString& server, const QString& counter) {
        page.findChild<QLineEdit*>(QStringLiteral("server"))->setText(server);
        page.findChild<QLineEdit*>(QStringLiteral("counter"))->setText(counter);
        Click(page, "finish");
    }

    ProxyIPConfigDlg m_page{nullptr};
};

const std::vector<unsigned char> kCounterBytes = {192, 168, 0, 10};

TEST_F(ProxyIPConfigDlgTest, CounterFieldStartsWithTheHostNameAndTakesAtMost255Bytes) {
    std::array<char, 256> host{};
    ASSERT_EQ(gethostname(host.data(), host.size() - 1), 0);
    auto* counter = m_page.findChild<QLineEdit*>(QStringLiteral("counter"));
    EXPECT_EQ(counter->text().toStdString(), host.data());
    counter->clear();
    QTest::keyClicks(counter, QString(300, QLatin1Char('a')));
    EXPECT_EQ(counter->text().size(), 255);
}

TEST_F(ProxyIPConfigDlgTest, TheCounterAddressGoesToTheStoredPortFirstOctetFirst) {
    ConfigurationServer server;
    ASSERT_TRUE(server.Listening());
    StorePort(server.Port());
    Configure(m_page, QStringLiteral("127.0.0.1"), QStringLiteral("192.168.0.10"));
    EXPECT_EQ(server.ReceivedOnceEnded(1),
              (std::vector<std::vector<unsigned char>>{kCounterBytes}));
    EXPECT_EQ(m_page.result(), QDialog::Accepted) << Dialogs();
    EXPECT_TRUE(Showed("\"caption\":\"完成\",\"text\":\"成功完成IP地址配置！\""));
}

TEST_F(ProxyIPConfigDlgTest, AMissingOrZeroPortIs8002) {
    ConfigurationServer server(8002);
    if (!server.Listening()) {
        GTEST_SKIP() << "port 8002 on loopback is taken here";
    }
    Configure(m_page, QStringLiteral("localhost"), QStringLiteral("192.168.0.10"));
    StorePort(0);
    ProxyIPConfigDlg again(nullptr);
    Configure(again, QStringLiteral("127.0.0.1"), QStringLiteral("192.168.0.10"));
    EXPECT_EQ(server.ReceivedOnceEnded(2),
              (std::vector<std::vector<unsigned char>>{kCounterBytes, kCounterBytes}));
    EXPECT_EQ(Times("成功完成IP地址配置！"), 2);
}

TEST_F(ProxyIPConfigDlgTest, NamesThatDoNotResolveAreToldApartAndNothingIsSent) {
    ConfigurationServer server;
    ASSERT_TRUE(server.Listening());
    StorePort(server.Port());
    Configure(m_page, kUnresolvable, QStringLiteral("192.168.0.10"));
    EXPECT_TRUE(Showed("错误：无法定位所输入的启岚广告服务端IP地址")) << Dialogs();
    Configure(m_page, QStringLiteral("127.0.0.1"), kUnresolvable);
    EXPECT_TRUE(Showed("错误：无法定位所输入的点卡帐台端IP地址")) << Dialogs();
    Configure(m_page, QStringLiteral("127.0.0.1"), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(Times("错误：无法定位所输入的点卡帐台端IP地址"), 2) << "0.0.0.0 is no address";
    EXPECT_NE(m_page.result(), QDialog::Accepted);
    EXPECT_TRUE(server.Received().empty()) << "no connection before both names resolve";
}

// "localhost" stands for a stock host name, which resolves to 127.0.1.1 only.
TEST_F(ProxyIPConfigDlgTest, ACounterNameOfLoopbackAddressesSendsTheLanAddressInstead) {
    ConfigurationServer server;
    ASSERT_TRUE(server.Listening());
    StorePort(server.Port());
    Configure(m_page, QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
    const auto lan = NetworkInfo::OwnIpv4Address();
    if (!lan) {
        EXPECT_TRUE(Showed("错误：点卡帐台端没有局域网IP地址，无法进行远程配置")) << Dialogs();
        EXPECT_TRUE(server.Received().empty());
        EXPECT_NE(m_page.result(), QDialog::Accepted);
        return;
    }
    std::array<unsigned char, 4> bytes{};
    ASSERT_EQ(inet_pton(AF_INET, lan->c_str(), bytes.data()), 1);
    EXPECT_EQ(server.ReceivedOnceEnded(1),
              (std::vector<std::vector<unsigned char>>{{bytes.begin(), bytes.end()}}));
    EXPECT_TRUE(Showed("成功完成IP地址配置！")) << Dialogs();
}

TEST_F(ProxyIPConfigDlgTest, ARefusedConnectionIsToldAndThePageStays) {
    std::uint16_t closedPort = 0;
    {
        ConfigurationServer gone;
        closedPort = gone.Port();
    }
    StorePort(closedPort);
    Configure(m_page, QStringLiteral("127.0.0.1"), QStringLiteral("192.168.0.10"));
    EXPECT_TRUE(Showed("错误：无法连接到启岚广告服务端进行远程配置")) << Dialogs();
    EXPECT_NE(m_page.result(), QDialog::Accepted);
    EXPECT_FALSE(m_page.IsBusy());
    EXPECT_TRUE(m_page.findChild<QPushButton*>(QStringLiteral("finish"))->isEnabled());
}

TEST_F(ProxyIPConfigDlgTest, ASilentServerIsGivenUpAtTheBoundWhileThePageKeepsResponding) {
    // A listener whose queue is full leaves a further connect unanswered.
    CTcpSocket listener;
    ASSERT_TRUE(listener.Create(CSocketAddress::FromDotted("127.0.0.1", 0).value()) &&
                listener.Listen(0));
    const std::uint16_t port = ntohs(listener.Local().sin_port);
    CTcpSocket queued;
    const CSocketAddress target = CSocketAddress::FromDotted("127.0.0.1", port).value();
    ASSERT_TRUE(queued.Create(0) && queued.Connect(&target));
    StorePort(port);

    bool busyWhileWaiting = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        busyWhileWaiting =
            busyWhileWaiting ||
            (m_page.IsBusy() && cursor != nullptr && cursor->shape() == Qt::WaitCursor &&
             !m_page.findChild<QPushButton*>(QStringLiteral("finish"))->isEnabled());
    });
    probe.start(50);
    Configure(m_page, QStringLiteral("127.0.0.1"), QStringLiteral("192.168.0.10"));

    EXPECT_TRUE(busyWhileWaiting) << "the page's loop ran, busy, with its buttons off";
    EXPECT_TRUE(Showed("错误：无法连接到启岚广告服务端进行远程配置")) << Dialogs();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace zn::config
