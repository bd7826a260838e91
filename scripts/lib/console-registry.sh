# shellcheck shell=bash
# Sourced by the demo and the screenshot script. Writes the console's registry file so that it
# starts logged in to the local back office: its login page is the main page with the demo
# account's login query.
#   write_console_registry FILE BACK_OFFICE_URL CONSOLE_PORT SEAT_PORT DISCOVERY_PORT
write_console_registry() {
    local file=$1 back_office=$2 console_port=$3 seat_port=$4 discovery_port=$5
    cat >"$file" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]
"LoginPage"="$back_office/wb/loginsyt.jsp?wbar=2&saleusername=demo&saleempname=小王&salepsw=1234&salemac="
"MainPage_Murvel"="$back_office/wb/loginsyt.jsp"
"ViewTransPage_Murvel"="$back_office/jsp/empManage/noProcessInfo.jsp"
"TransactionDone1_Murvel"="$back_office/wb/send_trans_success.jsp"
"TransactionDone2_Murvel"="$back_office/wb/send_trans_fail.jsp"
"TransactionCancel_Murvel"="$back_office/wb/send_trans_cancel.jsp"
"LocalPort"=dword:$(printf '%08x' "$console_port")
"RemotePort"=dword:$(printf '%08x' "$seat_port")
"BroadcastPort"=dword:$(printf '%08x' "$discovery_port")
REG
}
