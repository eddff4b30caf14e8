// The first bytes of a connection, as the layer gathers them before the
// filter judges them. Plain code over bytes, no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace quorvane {

// Whether bytes[0, length) are an HTTP request or a TLS record cut short, so
// that the next send is to be judged together with them.
bool CutShort(const uint8_t* bytes, size_t length);

}  // namespace quorvane
