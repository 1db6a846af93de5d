#pragma once

#include <netinet/in.h>

#include <string>

// An IPv4 address and port as "127.0.0.1:7000".
std::string AddressText(const sockaddr_in& address);

// The IPv4 address of a host name or dotted address, with `port`. False,
// after a message on standard error, when it cannot be resolved.
bool Resolve(const std::string& host, unsigned short port, sockaddr_in* address);
