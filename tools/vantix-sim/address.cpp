#include "tools/vantix-sim/address.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstdio>
#include <cstring>

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool Resolve(const std::string& host, unsigned short port, sockaddr_in* address) {
  addrinfo hints;
  memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (status != 0) {
    fprintf(stderr, "vantix-sim: cannot resolve %s: %s\n", host.c_str(), gai_strerror(status));
    return false;
  }
  memcpy(address, found->ai_addr, sizeof(*address));
  address->sin_port = htons(port);
  freeaddrinfo(found);
  return true;
}
