// Host names and request facts from the first bytes a program sends. Each
// parser reads only the n bytes it is given and accepts any bytes at all:
// they run inside every program on the computer.
#pragma once
#include <cstddef>
#include <cstdint>

#include "filter/textnorm.h"

namespace qv {

// The name of the first question of a DNS query (not a response), normalised
// as NormalizeHost does. Over TCP the message follows a two-byte length.
// Answers the length of the name, 0 when there is none.
size_t ParseDnsQueryName(const uint8_t* data, size_t n, bool overTcp, char out[kMaxHostLength + 1]);

// The host name of the server name extension of a TLS ClientHello in the
// first record, normalised. 0 when the bytes are no ClientHello or carry no name.
size_t ParseTlsServerName(const uint8_t* data, size_t n, char out[kMaxHostLength + 1]);

// A piece of the parsed bytes; never owns them.
struct Span {
  const char* data = nullptr;
  size_t length = 0;
};

// What the engine needs of a plain HTTP request.
struct HttpRequest {
  Span method;
  Span target;       // as sent: "/a/b.swf?x" or "http://host/a"
  Span path;         // the target's path, without query and fragment; may be empty
  Span host;         // from an absolute target, else from the Host line; raw bytes
  Span accept;       // first media type of the Accept line, e.g. "video/webm"
  Span contentType;  // media type of the Content-Type line, without parameters
};

// True when the bytes begin like an HTTP request ("GET /..."); the request
// line and headers may be cut off anywhere, the fields then hold what came.
bool ParseHttpRequest(const uint8_t* data, size_t n, HttpRequest* out);

// Whether a span equals text, ASCII case ignored.
bool SpanEqualsNoCase(const Span& s, const char* text);
bool SpanStartsNoCase(const Span& s, const char* text);

}  // namespace qv
