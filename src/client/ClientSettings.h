#pragma once

#include <string>
#include <string_view>

// The seat client's settings. Nothing is cached: each reader reads its file (relative to the
// current directory) or the registry again, and a missing or unreadable value gives the default.
namespace zn::client::ClientSettings {

// ".\gameclient.dat", section "PROFILE_QZ".
int LocalPort();    // 8004
int RemotePort();   // 8001
int ProxyPort();    // 8002
int CounterMode();  // 0; 1 or more: the client runs at the counter
std::string MainPage();
std::string Main();
std::string UpdateServerAddress();
std::string UpdateServerPath();

// ".\serverip.ini", section "PROFILE_QZ"; default "127.0.0.1".
std::string ServerAddress();
// Creates the file and the section when missing. False when the write failed.
bool WriteServerAddress(std::string_view address);

// HKEY_LOCAL_MACHINE "SOFTWARE\Pexora\ZentrovaClient"; a key that cannot be opened with full
// access, a missing value or 0 gives 9000.
int BroadcastPort();

}  // namespace zn::client::ClientSettings
