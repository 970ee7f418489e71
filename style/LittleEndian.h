// Little-endian byte streams for the settings file and the map layer block:
// a reader over memory or an open file, and a writer into a block of known
// size. Both keep one success flag: after the first short read or overflowing
// write nothing more is read or written.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>

struct ByteReader {
  const uint8_t* bytes = nullptr;  // memory source (when file is null)
  uint32_t size = 0;
  uint32_t at = 0;
  FILE* file = nullptr;  // file source
  int32_t ok = 1;

  int32_t Read(void* out, uint32_t count) {
    if (!ok) return 0;
    if (file != nullptr) {
      if (count != 0 && std::fread(out, 1, count, file) != count) ok = 0;
    } else if (size - at < count) {
      at = size;
      ok = 0;
    } else {
      if (count != 0) std::memcpy(out, bytes + at, count);
      at += count;
    }
    return ok;
  }
  // Skips `count` bytes; a skip past the end fails like a read.
  int32_t Skip(uint32_t count) {
    if (!ok) return 0;
    if (file != nullptr) {
      uint8_t scratch[256];
      while (count > 0 && ok) {
        const uint32_t part = count < sizeof scratch ? count : uint32_t(sizeof scratch);
        Read(scratch, part);
        count -= part;
      }
    } else if (size - at < count) {
      at = size;
      ok = 0;
    } else {
      at += count;
    }
    return ok;
  }
  uint8_t U8() {
    uint8_t b[1] = {0};
    Read(b, 1);
    return b[0];
  }
  uint16_t U16() {
    uint8_t b[2] = {0, 0};
    Read(b, 2);
    return uint16_t(b[0] | (b[1] << 8));
  }
  uint32_t U32() {
    uint8_t b[4] = {0, 0, 0, 0};
    Read(b, 4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  }
  float F32() {
    const uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
};

struct ByteWriter {
  uint8_t* bytes = nullptr;  // memory sink of `capacity` bytes (when file is null)
  uint32_t capacity = 0;
  uint32_t at = 0;
  FILE* file = nullptr;  // file sink
  int32_t ok = 1;

  void Write(const void* data, uint32_t count) {
    if (!ok) return;
    if (file != nullptr) {
      if (count != 0 && std::fwrite(data, 1, count, file) != count) ok = 0;
    } else if (capacity - at < count) {
      ok = 0;
      return;
    } else if (count != 0) {
      std::memcpy(bytes + at, data, count);
    }
    at += count;
  }
  void U8(uint8_t v) { Write(&v, 1); }
  void U16(uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    Write(b, 2);
  }
  void U32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Write(b, 4);
  }
  void F32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U32(bits);
  }
};
