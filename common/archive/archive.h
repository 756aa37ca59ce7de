// The binary archive of document files: little-endian numbers, texts with a
// length prefix, element counts, and objects tagged by class name and schema
// the first time their class appears and by index afterwards.
//
// Texts are UTF-8 in memory. A text that has an 8-bit Windows-1252 form is
// stored in it; any other text is stored in the UTF-16 form, which the reader
// accepts wherever a text stands.
//
// Reading is strict and bounded: every read checks the bytes left, lengths and
// counts are checked against them before anything is allocated, and any
// truncated or inconsistent input throws ArchiveError (never a crash or an
// endless loop). Callers at a component boundary catch it and report a result.
#pragma once
#include <cstdint>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qd40::archive {

class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Tag values of the object encoding.
inline constexpr uint16_t kNullTag = 0x0000;
inline constexpr uint16_t kNewClassTag = 0xFFFF;
inline constexpr uint16_t kClassTag = 0x8000;
inline constexpr uint16_t kBigObjectTag = 0x7FFF;
inline constexpr uint32_t kBigClassTag = 0x80000000;
inline constexpr uint32_t kMaxMapCount = 0x3FFFFFFE;
// Class names are at most this long (shorter than the reader's name buffer).
inline constexpr size_t kMaxClassNameLength = 63;

class Writer {
public:
    void writeU8(uint8_t v) { out_.push_back(v); }
    void writeU16(uint16_t v);
    void writeI16(int16_t v) { writeU16(static_cast<uint16_t>(v)); }
    void writeU32(uint32_t v);
    void writeI32(int32_t v) { writeU32(static_cast<uint32_t>(v)); }
    void writeU64(uint64_t v);
    void writeF32(float v);
    void writeF64(double v);
    void writeBytes(std::span<const uint8_t> bytes);
    // Length-prefixed text (see the file comment for the two forms).
    void writeString(std::string_view utf8);
    // An element count: u16 below 0xFFFF, else 0xFFFF and a u32.
    void writeCount(uint32_t count);

    void writeNullObject() { writeU16(kNullTag); }
    // Tags a new object of the class: the class name and schema the first time
    // the class appears in this archive, its index afterwards. The object's own
    // fields follow. Returns the object's index for later references.
    uint32_t writeObjectTag(std::string_view className, uint16_t schema);
    // A reference to an object written earlier in this archive.
    void writeObjectReference(uint32_t objectIndex);

    const std::vector<uint8_t>& data() const { return out_; }
    // What was written since the last take(); the archive goes on (its
    // object map is kept), so a large archive can be written out in pieces.
    std::vector<uint8_t> take() {
        std::vector<uint8_t> out = std::move(out_);
        out_.clear();
        return out;
    }

private:
    void writeLength(uint64_t length);
    void writeIndexTag(uint32_t index, bool isClass);

    std::vector<uint8_t> out_;
    std::map<std::string, uint32_t, std::less<>> classes_;
    std::vector<bool> isObject_{false};  // by index; index 0 stands for the null object
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    uint8_t readU8();
    uint16_t readU16();
    int16_t readI16() { return static_cast<int16_t>(readU16()); }
    uint32_t readU32();
    int32_t readI32() { return static_cast<int32_t>(readU32()); }
    uint64_t readU64();
    float readF32();
    double readF64();
    void readBytes(std::span<uint8_t> out);
    // Skips n bytes.
    void skip(size_t n);
    std::string readString();
    // An element count, checked against the bytes left: at least
    // minElementSize bytes must remain per element.
    uint32_t readCount(size_t minElementSize);

    struct ObjectTag {
        enum class Kind { Null, New, Reference };
        Kind kind = Kind::Null;
        std::string className;  // New: the object's class
        uint16_t schema = 0;    // New: the schema stored with the class
        uint32_t index =
            0;  // New: the index given to the object; Reference: the object referred to
    };
    ObjectTag readObjectTag();
    // Reads a tag that must be a new object of the named class and schema.
    void expectNewObject(std::string_view className, uint16_t schema);

    size_t position() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ == data_.size(); }

private:
    std::span<const uint8_t> take(size_t n);
    uint64_t readLength(bool& unicode);

    struct MapEntry {
        bool isClass = false;
        std::string className;
        uint16_t schema = 0;
    };

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    std::vector<MapEntry> map_{MapEntry{}};  // entry 0 stands for the null object
};

}  // namespace qd40::archive
