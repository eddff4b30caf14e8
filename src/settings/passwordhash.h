// The stored form of a password: a salted, iterated hash written as one
// printable value of the "Password:" line, and its reading back. Pure
// functions; the hashing itself is in passwordcheck.h.
#pragma once
#include <cstddef>
#include <string>

constexpr size_t kPasswordSaltBytes = 16;
constexpr size_t kPasswordHashBytes = 32;
// About 50 ms on a current PC.
constexpr unsigned kPasswordHashIterations = 100000;
// A larger count read from a file would stall the prompt for minutes.
constexpr unsigned kMaxPasswordHashIterations = 5000000;

// "$pbkdf2-sha256$" starts every stored hash. Since a password is stored
// only as a hash now, a value with this start is a hash; older files hold
// plain passwords, which this start does not occur in unless the whole
// value also parses (iteration count, salt and hash in lower-case hex).
extern const char kPasswordHashMarker[];

struct PasswordHash {
  unsigned iterations = 0;
  unsigned char salt[kPasswordSaltBytes] = {};
  unsigned char hash[kPasswordHashBytes] = {};
};

// "$pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>": 119 bytes for the
// usual count, printable ASCII without a colon.
std::string FormatPasswordHash(const PasswordHash& h);

// Reads the n bytes of a stored value. False unless they are exactly the form
// above, with an iteration count from 1 to kMaxPasswordHashIterations written
// without leading zeros.
bool ParsePasswordHash(const char* value, size_t n, PasswordHash* out);

// Whether the n bytes agree, in a time that does not depend on where they differ.
bool SameBytes(const unsigned char* a, const unsigned char* b, size_t n);
