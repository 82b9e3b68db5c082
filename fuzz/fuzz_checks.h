// What every fuzz target checks, beyond "no crash": each function runs one input through a
// part of the core and compares the outcome with a slow, independently written model of the
// same rules. A broken property prints what broke and aborts, so libFuzzer keeps the input.
//
// The same functions replay the seed corpora and the kept crash inputs in the test suite.
#pragma once

#include <string_view>

namespace solvane::fuzz {

// The normal list parser against a byte-at-a-time model. First byte: bit 0 clear means the
// read was cut short.
void checkNormalList(std::string_view input);

// The Autodoria list parser against a byte-at-a-time model. First byte: bit 0 as above,
// bits 1-2 the number of normal rows already in the table.
void checkAutodoriaList(std::string_view input);

// Load both lists, sort, encode: the sort is stable by latitude, every row in range gives one
// record that decodes back to its cells, and the header's data length and checksum agree
// with the records. First byte: the seed and date; the rest is the normal list, then after
// the first NUL byte (if any) the Autodoria list.
void checkConversion(std::string_view input);

// One record: two random bytes, then the nine cells X,Y,TYPE,SPD,DTYPE,DIR,X2,Y2,DIR2
// separated by commas; compared with a reference encoder built on strtod/strtoll.
void checkRecordEncoder(std::string_view input);

// The import readers: first byte picks the format (value mod 5: POI CSV, GPX, KML, GeoJSON,
// OSM XML; bit 7 takes GPX routes as sections), the rest is the file. Either a clean error, or
// lists that load with one row per camera and coordinate texts that read back exactly.
void checkImport(std::string_view input);

// The OpenStreetMap PBF reader on the whole input as a file: hostile blob headers, sizes that
// lie, deflate bombs. A clean error or lists as above; libosmium's size limits bound memory.
void checkPbf(std::string_view input);

}  // namespace solvane::fuzz
