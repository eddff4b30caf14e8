// String-keyed hash table with chained buckets, holding program names.
// Values are malloc'd blocks owned by the table once inserted (may be null).
#pragma once
#include <cstdint>

class CNameTable {
 public:
  struct Node {
    Node* next;      // next node in the same bucket
    void* value;     // released with free
    void* reserved;  // always null
    char* key;       // the table's own copy
  };
  using Position = Node*;

  CNameTable() = default;
  ~CNameTable() { RemoveAll(); }
  CNameTable(const CNameTable&) = delete;
  CNameTable& operator=(const CNameTable&) = delete;

  // Makes n empty buckets. Meant for an empty table; entries still present
  // are released first rather than leaked.
  void InitBuckets(uint32_t n);

  // True when key is present; *value (if asked) gets its value. False when
  // the table has no buckets.
  bool Lookup(const char* key, void** value = nullptr) const;

  // Adds key (copied) with value at the head of its chain. False when the key
  // is present already, the table has no buckets, or memory runs out; the
  // caller then still owns value.
  bool Insert(const char* key, void* value);

  int GetCount() const { return m_nCount; }
  uint32_t GetBucketCount() const { return m_nBuckets; }

  // Iteration: buckets in ascending order, newest first within a bucket.
  Position GetFirst() const;
  Position GetNext(Position pos, const char** key, void** value) const;

  void RemoveAll();

  static uint32_t HashKey(const char* key);

 private:
  Position FirstFrom(uint32_t bucket) const;

  uint32_t m_nBuckets = 0;
  int m_nCount = 0;
  Node** m_pBuckets = nullptr;
};
