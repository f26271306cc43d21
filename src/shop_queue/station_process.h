#pragma once

#include <string>

// What the shop's queue needs of the operating system: this process's name
// among the shop's holders of leases, and a wait on the database's socket.
namespace ordavel::service {

// "STATION pid PID@HOST MILLISECONDS": unique to this run of the service on
// this computer, readable by whoever looks at the shop's leases.
std::string holderName(const std::string& station);

// Waits up to milliseconds for socket (libpq's PQsocket) to become readable.
// False on a timeout or an error; the caller then polls.
bool waitReadable(int socket, int milliseconds);

} // namespace ordavel::service
