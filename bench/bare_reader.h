#pragma once

// The baseline reader: a plain TCP client on 127.0.0.1 whose thread reads
// with blocking reads of up to 1024 bytes and hands every block on.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

namespace vantix_bench {

class BareReader {
 public:
  typedef std::function<void(const char* pBlock, size_t length)> BlockHandler;

  // Connects to the port; the thread starts with Start.
  explicit BareReader(uint16_t port);
  ~BareReader();
  BareReader(const BareReader&) = delete;
  BareReader& operator=(const BareReader&) = delete;

  bool IsConnected() const { return m_bConnected; }
  // The block handed on is NUL-terminated.
  void Start(BlockHandler onBlock);

 private:
  int m_fd;
  bool m_bConnected;
  std::thread m_reader;
};

}  // namespace vantix_bench
