// The first bytes of a connection, as the layer gathers them before the
// filter judges them. Plain code over bytes, no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace quorvane {

// Whether bytes[0, length) are an HTTP request or a TLS record cut short, so
// that the next send is to be judged together with them.
bool CutShort(const uint8_t* bytes, size_t length);

// Whether bytes[0, length) begin an HTTP request: a method of capital
// letters, a space and a target starting with '/' or a letter. A later send
// on a kept-alive connection that does is judged as a request of its own;
// the rest of a request body seldom looks like one.
bool StartsRequest(const uint8_t* bytes, size_t length);

}  // namespace quorvane
