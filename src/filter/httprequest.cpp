#include "filter/protocols.h"

#include <cstring>

namespace qv {

bool SpanStartsNoCase(const Span& s, const char* text) {
  const size_t n = strlen(text);
  if (s.length < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (AsciiLower(s.data[i]) != AsciiLower(text[i])) return false;
  return true;
}

bool SpanEqualsNoCase(const Span& s, const char* text) {
  return s.length == strlen(text) && SpanStartsNoCase(s, text);
}

namespace {

const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "DELETE", "OPTIONS", "PATCH", "CONNECT", "TRACE"};

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The host of "[user@]host[:port]" at the front of an authority; an IPv6
// literal ("[::1]:80") gives none, as it is no name.
Span HostOfAuthority(const char* p, size_t n) {
  size_t end = 0, at = 0;
  bool hasAt = false;
  for (; end < n && p[end] != '/' && p[end] != '?' && p[end] != '#'; ++end)
    if (p[end] == '@') at = end, hasAt = true;
  size_t start = hasAt ? at + 1 : 0;
  if (start < end && p[start] == '[') return Span{p + start, 0};
  size_t i = start;
  while (i < end && p[i] != ':') ++i;
  return Span{p + start, i - start};
}

Span Trimmed(const char* p, size_t n) {
  while (n > 0 && IsSpace(*p)) ++p, --n;
  while (n > 0 && IsSpace(p[n - 1])) --n;
  return Span{p, n};
}

// The first media type of a list such as "video/webm,video/ogg;q=0.9".
Span FirstMediaType(const Span& v) {
  size_t i = 0;
  while (i < v.length && v.data[i] != ',' && v.data[i] != ';') ++i;
  return Trimmed(v.data, i);
}

}  // namespace

bool ParseHttpRequest(const uint8_t* bytes, size_t n, HttpRequest* out) {
  *out = HttpRequest();
  if (!bytes) return false;
  const char* p = reinterpret_cast<const char*>(bytes);
  size_t methodLength = 0;
  for (const char* m : kMethods) {
    const size_t k = strlen(m);
    if (n > k && memcmp(p, m, k) == 0 && p[k] == ' ') {
      methodLength = k;
      break;
    }
  }
  if (methodLength == 0) return false;
  out->method = Span{p, methodLength};

  size_t i = methodLength + 1;
  const size_t targetStart = i;
  while (i < n && p[i] != ' ' && p[i] != '\r' && p[i] != '\n') ++i;
  out->target = Span{p + targetStart, i - targetStart};
  const char* t = out->target.data;
  const size_t tn = out->target.length;

  // Path of the target: origin form "/x", absolute form "http://host/x",
  // authority form "host:443" (CONNECT), or "*".
  size_t pathStart = tn;
  if (tn > 0 && t[0] == '/') {
    pathStart = 0;
  } else {
    size_t auth = 0;
    const Span whole{t, tn};
    if (SpanStartsNoCase(whole, "http://")) auth = 7;
    else if (SpanStartsNoCase(whole, "https://")) auth = 8;
    if (auth > 0 || (methodLength == 7 && memcmp(p, "CONNECT", 7) == 0)) {
      out->host = HostOfAuthority(t + auth, tn - auth);
      pathStart = auth;
      while (pathStart < tn && t[pathStart] != '/' && t[pathStart] != '?' && t[pathStart] != '#') ++pathStart;
    }
  }
  size_t pathEnd = pathStart;
  while (pathEnd < tn && t[pathEnd] != '?' && t[pathEnd] != '#') ++pathEnd;
  out->path = Span{t + pathStart, pathEnd - pathStart};

  // Headers, to the empty line or to the end of what came.
  while (i < n && p[i] != '\n') ++i;  // rest of the request line
  ++i;
  while (i < n) {
    size_t e = i;
    while (e < n && p[e] != '\n') ++e;
    size_t lineEnd = e;
    if (lineEnd > i && p[lineEnd - 1] == '\r') --lineEnd;
    if (lineEnd == i) break;  // the empty line ends the headers
    const Span line{p + i, lineEnd - i};
    size_t colon = 0;
    while (colon < line.length && line.data[colon] != ':') ++colon;
    if (colon < line.length) {
      const Span name{line.data, colon};
      const Span value = Trimmed(line.data + colon + 1, line.length - colon - 1);
      if (SpanEqualsNoCase(name, "Host")) {
        if (out->host.length == 0) out->host = HostOfAuthority(value.data, value.length);
      } else if (SpanEqualsNoCase(name, "Accept")) {
        if (out->accept.length == 0) out->accept = FirstMediaType(value);
      } else if (SpanEqualsNoCase(name, "Content-Type")) {
        if (out->contentType.length == 0) out->contentType = FirstMediaType(value);
      }
    }
    i = e + 1;
  }
  return true;
}

}  // namespace qv
