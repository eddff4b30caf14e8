#include "filter/protocols.h"

namespace qv {

namespace {
// A bounded reader: every read checks the end first.
struct Reader {
  const uint8_t* p;
  size_t left;
  bool U8(size_t* v) {
    if (left < 1) return false;
    *v = p[0];
    ++p, --left;
    return true;
  }
  bool U16(size_t* v) {
    if (left < 2) return false;
    *v = (size_t{p[0]} << 8) | p[1];
    p += 2, left -= 2;
    return true;
  }
  bool U24(size_t* v) {
    if (left < 3) return false;
    *v = (size_t{p[0]} << 16) | (size_t{p[1]} << 8) | p[2];
    p += 3, left -= 3;
    return true;
  }
  bool Skip(size_t k) {
    if (left < k) return false;
    p += k, left -= k;
    return true;
  }
  // A reader over the next k bytes (or what there is of them), this one moved past them.
  Reader Sub(size_t k) {
    if (k > left) k = left;
    Reader r{p, k};
    p += k, left -= k;
    return r;
  }
};
}  // namespace

size_t ParseTlsServerName(const uint8_t* data, size_t n, char out[kMaxHostLength + 1]) {
  out[0] = '\0';
  if (!data || n < 5) return 0;
  // Record: handshake (22), version 3.x, length.
  if (data[0] != 22 || data[1] != 3) return 0;
  Reader rec{data + 5, n - 5};
  const size_t recordLength = (size_t{data[3]} << 8) | data[4];
  rec = rec.Sub(recordLength);

  size_t type = 0, length = 0;
  if (!rec.U8(&type) || type != 1 || !rec.U24(&length)) return 0;
  Reader hello = rec.Sub(length);
  size_t sessionId = 0, ciphers = 0, compression = 0, extensions = 0;
  if (!hello.Skip(2 + 32)) return 0;  // client version, random
  if (!hello.U8(&sessionId) || !hello.Skip(sessionId)) return 0;
  if (!hello.U16(&ciphers) || !hello.Skip(ciphers)) return 0;
  if (!hello.U8(&compression) || !hello.Skip(compression)) return 0;
  if (!hello.U16(&extensions)) return 0;
  Reader ext = hello.Sub(extensions);
  while (ext.left >= 4) {
    size_t extType = 0, extLength = 0;
    ext.U16(&extType);
    ext.U16(&extLength);
    Reader body = ext.Sub(extLength);
    if (extType != 0) continue;
    size_t listLength = 0;
    if (!body.U16(&listLength)) return 0;
    Reader list = body.Sub(listLength);
    while (list.left >= 3) {
      size_t nameType = 0, nameLength = 0;
      list.U8(&nameType);
      list.U16(&nameLength);
      if (nameLength > list.left) return 0;  // cut off: no whole name
      if (nameType == 0 && nameLength > 0) {
        const char* name = reinterpret_cast<const char*>(list.p);
        return NormalizeHost(name, nameLength, out);
      }
      list.Skip(nameLength);
    }
    return 0;
  }
  return 0;
}

}  // namespace qv
