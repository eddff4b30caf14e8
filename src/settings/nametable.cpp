#include "settings/nametable.h"

#include <cstdlib>
#include <cstring>

uint32_t CNameTable::HashKey(const char* key) {
  uint32_t h = 0;
  // Bytes count signed: the filter library hashes the same way.
  for (const char* p = key; *p; ++p)
    h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
  return h;
}

void CNameTable::InitBuckets(uint32_t n) {
  RemoveAll();
  if (n == 0) return;
  m_pBuckets = static_cast<Node**>(calloc(n, sizeof(Node*)));
  if (m_pBuckets) m_nBuckets = n;
}

bool CNameTable::Lookup(const char* key, void** value) const {
  if (!m_pBuckets) return false;
  for (Node* node = m_pBuckets[HashKey(key) % m_nBuckets]; node; node = node->next) {
    if (strcmp(node->key, key) == 0) {
      if (value) *value = node->value;
      return true;
    }
  }
  return false;
}

bool CNameTable::Insert(const char* key, void* value) {
  if (!m_pBuckets || Lookup(key)) return false;
  Node* node = static_cast<Node*>(malloc(sizeof(Node)));
  char* copy = static_cast<char*>(malloc(strlen(key) + 1));
  if (!node || !copy) {
    free(node);
    free(copy);
    return false;
  }
  strcpy(copy, key);
  Node*& head = m_pBuckets[HashKey(key) % m_nBuckets];
  *node = Node{head, value, nullptr, copy};
  head = node;
  ++m_nCount;
  return true;
}

CNameTable::Position CNameTable::FirstFrom(uint32_t bucket) const {
  for (uint32_t b = bucket; m_pBuckets && b < m_nBuckets; ++b)
    if (m_pBuckets[b]) return m_pBuckets[b];
  return nullptr;
}

CNameTable::Position CNameTable::GetFirst() const { return FirstFrom(0); }

CNameTable::Position CNameTable::GetNext(Position pos, const char** key, void** value) const {
  if (!pos) return nullptr;
  if (key) *key = pos->key;
  if (value) *value = pos->value;
  if (pos->next) return pos->next;
  return FirstFrom(HashKey(pos->key) % m_nBuckets + 1);
}

void CNameTable::RemoveAll() {
  for (uint32_t b = 0; m_pBuckets && b < m_nBuckets; ++b) {
    for (Node* node = m_pBuckets[b]; node;) {
      Node* next = node->next;
      free(node->value);
      free(node->key);
      free(node);
      node = next;
    }
  }
  free(m_pBuckets);
  m_pBuckets = nullptr;
  m_nBuckets = 0;
  m_nCount = 0;
}
