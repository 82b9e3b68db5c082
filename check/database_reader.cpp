#include "check/database_reader.h"

#include "base/bytes.h"
#include "base/source_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace solvane {
namespace {

constexpr std::uint8_t kMagic[4] = {'r', 'u', 'd', 'b'};
constexpr std::uint8_t kFormatMark[3] = {'r', '1', 'r'};
constexpr std::size_t kRecordsStart = kHeaderSize + kRandomBlockSize;       // 32
constexpr std::uint32_t kEmptyDataLength = kRandomBlockSize + kRecordSize;  // 40: no records

// A stored coordinate: its low byte already unscrambled, the other three as stored.
std::int32_t le32(std::uint8_t b0, const std::uint8_t* rest) noexcept {
  const std::uint8_t bytes[4] = {b0, rest[0], rest[1], rest[2]};
  return static_cast<std::int32_t>(readLe32(bytes));
}

std::string hexByte(std::uint8_t b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", b);
  return buf;
}

bool allFF(std::span<const std::uint8_t> bytes) noexcept {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

std::string recordName(std::size_t index) { return "record " + std::to_string(index + 1); }

class Inspector {
 public:
  explicit Inspector(std::span<const std::uint8_t> file) : f_(file) { r_.fileSize = file.size(); }

  DatabaseInspection run() {
    if (f_.size() < kHeaderSize) {
      problem(f_.size(), "the file is " + std::to_string(f_.size()) + " bytes long, shorter than the " +
                             std::to_string(kHeaderSize) + "-byte header");
      return std::move(r_);
    }
    readHeader();
    if (f_.size() < kRecordsStart) {
      problem(f_.size(), "the file ends inside the random block (offset 16-31)");
      return std::move(r_);
    }
    r_.isCameraDatabase = magicOk_ && markOk_;
    const std::size_t n = findRecords();
    decodeRecords(n);
    checkTail(n);
    checkChecksum(n);
    std::sort(r_.problems.begin(), r_.problems.end(),
              [](const DatabaseIssue& a, const DatabaseIssue& b) { return a.offset < b.offset; });
    return std::move(r_);
  }

 private:
  void problem(std::size_t offset, std::string what) { r_.problems.push_back({offset, std::move(what)}); }
  void note(std::size_t offset, std::string what) { r_.notes.push_back({offset, std::move(what)}); }

  void readHeader() {
    std::copy_n(f_.begin(), kHeaderSize, r_.header.begin());
    const auto& h = r_.header;
    magicOk_ = std::equal(std::begin(kMagic), std::end(kMagic), h.begin());
    if (!magicOk_) problem(0, "magic is " + escapedBytes(std::span(h).first(4)) + ", not \"rudb\"");
    r_.day = h[4];
    r_.month = h[5];
    r_.year = readLe16(h.data() + 6);
    if (r_.month < 1 || r_.month > 12) problem(5, "month " + std::to_string(r_.month) + " is not 1..12");
    if (r_.day < 1 || r_.day > 31) problem(4, "day " + std::to_string(r_.day) + " is not 1..31");
    markOk_ = std::equal(std::begin(kFormatMark), std::end(kFormatMark), h.begin() + 8);
    if (!markOk_) problem(8, "format mark is " + escapedBytes(std::span(h).subspan(8, 3)) + ", not \"r1r\"");
    r_.dataLength = readLe32(h.data() + 11);
    r_.storedChecksum = h[15];
  }

  // The number of records. The data length is believed when it has the form 40 + 24 * N and
  // its end record is in the file; otherwise the first 24 bytes of 0xFF after the random block
  // end the records.
  std::size_t findRecords() {
    const std::size_t dl = r_.dataLength;
    const bool wellFormed = dl >= kEmptyDataLength && (dl - kEmptyDataLength) % kRecordSize == 0;
    std::optional<std::size_t> scanned;
    for (std::size_t off = kRecordsStart; off + kRecordSize <= f_.size(); off += kRecordSize) {
      if (allFF(f_.subspan(off, kRecordSize))) {
        scanned = (off - kRecordsStart) / kRecordSize;
        break;
      }
    }
    const std::string announced = "data length " + std::to_string(dl);
    if (!wellFormed) {
      problem(11, announced + " is not 40 + 24 x records");
      dataLengthReported_ = true;
    } else {
      const std::size_t n = (dl - kEmptyDataLength) / kRecordSize;
      const std::size_t endOffset = kHeaderSize + dl - kRecordSize;
      if (endOffset + kRecordSize > f_.size() && scanned && f_.size() == sizeFor(*scanned)) {
        // A whole file of fewer records: the data length is what is wrong.
        problem(11, announced + " announces " + std::to_string(n) + " records, but the file holds " +
                        std::to_string(*scanned) + " and is complete");
        dataLengthReported_ = true;
      } else if (endOffset + kRecordSize > f_.size()) {
        truncated_ = true;
        problem(f_.size(), "the file ends at offset " + std::to_string(f_.size()) + ", but the " + announced +
                               " puts the end record at offset " + std::to_string(endOffset));
        dataLengthReported_ = true;
      } else if (allFF(f_.subspan(endOffset, kRecordSize))) {
        if (scanned && *scanned < n) {
          problem(kRecordsStart + *scanned * kRecordSize,
                  recordName(*scanned) + " is 24 bytes of 0xFF, which a reader takes for the end record");
        }
        return n;
      } else if (!scanned) {
        // The end record is where the data length says, but damaged.
        reportDamagedEndRecord(endOffset);
        return n;
      } else {
        problem(11, announced + " puts the end record at offset " + std::to_string(endOffset) +
                        ", but the first 24 bytes of 0xFF are at offset " +
                        std::to_string(kRecordsStart + *scanned * kRecordSize));
        dataLengthReported_ = true;
      }
    }
    if (scanned) return *scanned;
    const std::size_t whole = (f_.size() - kRecordsStart) / kRecordSize;
    if (!truncated_) problem(kRecordsStart + whole * kRecordSize, "no end record (24 bytes of 0xFF) after the records");
    endRecordReported_ = true;
    return whole;
  }

  static std::size_t sizeFor(std::size_t records) noexcept {
    return kRecordsStart + (records + 1) * kRecordSize + fillLength(records);
  }

  void reportDamagedEndRecord(std::size_t endOffset) {
    for (std::size_t i = 0; i < kRecordSize; ++i) {
      if (f_[endOffset + i] != 0xFF) {
        problem(endOffset + i,
                "end record byte " + std::to_string(i) + " is " + hexByte(f_[endOffset + i]) + ", not 0xFF");
      }
    }
    endRecordReported_ = true;
  }

  void decodeRecords(std::size_t n) {
    r_.records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t off = kRecordsStart + i * kRecordSize;
      const DecodedRecord d = decodeRecord(f_.subspan(off).first<kRecordSize>(), off);
      const std::uint8_t* b = f_.data() + off;
      const std::string name = recordName(i);
      if (d.twoPoint) {
        ++r_.twoPoint;
        if (std::memcmp(b + 20, b + 8, 3) != 0) {
          std::size_t k = 0;
          while (b[8 + k] == b[20 + k]) ++k;
          problem(off + 8 + k, name + ": TYPE, SPEED, DTYPE (bytes 8-10) and their copy (bytes 20-22) differ");
        } else if (d.type != 16) {
          problem(off + 8, name + ": a two-point record with TYPE " + std::to_string(d.type) +
                               " (sections are written with 16)");
        }
        if (!inRange(d.second.longitude, d.second.latitude)) {
          note(off + 12, name + ": end point " + degreesText(d.second.latitude) + ", " +
                             degreesText(d.second.longitude) + " is out of range");
        }
      } else {
        ++r_.onePoint;
        if (d.ambiguous) ++r_.ambiguous;
      }
      if (d.first.longitude < -kMaxLongitude || d.first.longitude > kMaxLongitude) {
        problem(off + 4, name + ": longitude " + std::to_string(d.first.longitude) + " is outside -1800000..1800000");
      }
      if (d.first.latitude < -kMaxLatitude || d.first.latitude > kMaxLatitude) {
        problem(off, name + ": latitude " + std::to_string(d.first.latitude) + " is outside -900000..900000");
      }
      if (!r_.records.empty() && d.first.latitude < r_.records.back().first.latitude) {
        problem(off, name + ": latitude " + std::to_string(d.first.latitude) + " is below the previous record's " +
                         std::to_string(r_.records.back().first.latitude) + " (records go by latitude)");
      }
      r_.records.push_back(d);
    }
  }

  // End record, data length, fill and file length after n records.
  void checkTail(std::size_t n) {
    const std::size_t endOffset = kRecordsStart + n * kRecordSize;
    if (endOffset + kRecordSize > f_.size()) return;  // reported while looking for the records
    if (!endRecordReported_ && !allFF(f_.subspan(endOffset, kRecordSize))) reportDamagedEndRecord(endOffset);
    const auto expectedLength = static_cast<std::uint32_t>(kEmptyDataLength + n * kRecordSize);
    if (r_.dataLength != expectedLength && !dataLengthReported_) {
      problem(11, "data length " + std::to_string(r_.dataLength) + ", but the file holds " + std::to_string(n) +
                      " records (data length " + std::to_string(expectedLength) + ")");
    }
    const std::size_t fillStart = endOffset + kRecordSize;
    const std::size_t expectedSize = fillStart + fillLength(n);
    std::size_t bad = 0;
    std::size_t firstBad = 0;
    for (std::size_t off = fillStart; off < std::min(expectedSize, f_.size()); ++off) {
      if (f_[off] != 0xFF && bad++ == 0) firstBad = off;
    }
    if (bad > 0) {
      problem(firstBad, std::to_string(bad) + " fill byte(s) are not 0xFF, the first is " + hexByte(f_[firstBad]));
    }
    if (f_.size() < expectedSize) {
      problem(f_.size(), "the file is " + std::to_string(f_.size()) + " bytes long; with " + std::to_string(n) +
                             " records it must be " + std::to_string(expectedSize) + " (fill of " +
                             std::to_string(fillLength(n)) + " bytes)");
    } else if (f_.size() > expectedSize) {
      problem(expectedSize, std::to_string(f_.size() - expectedSize) + " byte(s) after the end of the fill");
    }
  }

  void checkChecksum(std::size_t n) {
    std::uint8_t sum = kChecksumStart;
    sum ^= xorBytes(f_.subspan(kHeaderSize, kRandomBlockSize + n * kRecordSize));
    r_.computedChecksum = sum;
    if (sum != r_.storedChecksum) {
      problem(15, "stored checksum " + hexByte(r_.storedChecksum) + ", computed " + hexByte(sum) +
                      " from the random block and the " + std::to_string(n) + " records read");
    }
  }

  std::span<const std::uint8_t> f_;
  DatabaseInspection r_;
  bool magicOk_ = false;
  bool markOk_ = false;
  bool endRecordReported_ = false;
  bool dataLengthReported_ = false;
  bool truncated_ = false;
};

}  // namespace

DecodedRecord decodeRecord(std::span<const std::uint8_t, kRecordSize> b, std::size_t offset) noexcept {
  DecodedRecord d;
  d.offset = offset;
  d.type = b[8];
  d.speed = b[9];
  d.dtype = b[10];
  const auto point = [&](std::size_t at) {
    DecodedPoint p;
    p.h = b[at + 11];
    const std::uint8_t lon0 = b[at + 4] ^ p.h;
    const std::uint8_t lat0 = b[at] ^ lon0;
    p.latitude = le32(lat0, b.data() + at + 1);
    p.longitude = le32(lon0, b.data() + at + 5);
    return p;
  };
  d.first = point(0);
  d.second = point(12);
  const bool copies =
      std::memcmp(b.data() + 13, b.data() + 1, 3) == 0 && std::memcmp(b.data() + 17, b.data() + 5, 7) == 0;
  d.twoPoint = !copies;
  d.ambiguous = copies && d.type == 16;
  return d;
}

std::optional<int> directionFromH(std::uint8_t h) noexcept {
  if (h > 179) return std::nullopt;
  return (2 * h + 180) % 360;
}

std::string degreesText(std::int32_t scaled) {
  const std::int64_t v = scaled;
  const std::uint64_t a = static_cast<std::uint64_t>(v < 0 ? -v : v);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", v < 0 ? "-" : "", static_cast<unsigned long long>(a / 10000),
                static_cast<unsigned long long>(a % 10000));
  return buf;
}

DatabaseInspection inspectDatabase(std::span<const std::uint8_t> file) { return Inspector(file).run(); }

DatabaseRead readDatabaseFile(const std::filesystem::path& path, Streams streams) {
  DatabaseRead r;
  const SourceRead read = readSourceFile(path, streams);
  r.error = read.error;
  if (!r.error) {
    const std::string_view bytes = read.bytes();
    r.inspection = inspectDatabase({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  }
  return r;
}

}  // namespace solvane
