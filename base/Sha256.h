#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace mv {

// SHA-256 of a stream of bytes, fed in pieces; Hex() gives the digest as sha256sum prints it.
class Sha256 {
 public:
  Sha256() { Reset(); }
  void Reset();
  void Add(std::string_view bytes);
  // The digest of what was added; the object is then reset.
  std::string Hex();

 private:
  void Block(const unsigned char* p);

  uint32_t h_[8];
  unsigned char block_[64];
  size_t used_ = 0;
  uint64_t length_ = 0;
};

}  // namespace mv
