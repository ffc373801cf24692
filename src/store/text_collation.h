#pragma once
// The collation of the engine's text columns: texts compare like the desk's old engine
// did, case-insensitive over all of Unicode, as UTF-8 bytes.

namespace store {

// The name under which the collation is registered and declared for text columns.
inline constexpr const char* kTextCollation = "DESKTEXT";

// An sqlite3 collation callback: <0, 0 or >0 as the first text sorts before, with or after
// the second. Reads exactly n1 and n2 bytes, whatever they hold.
int compareText(void*, int n1, const void* v1, int n2, const void* v2);

}  // namespace store
