#include "common/archive/archive.h"

#include <bit>

#include "common/ansi_text.h"

namespace qd40::archive {

// ---- Writer ---------------------------------------------------------------

void Writer::writeU16(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
}

void Writer::writeU32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Writer::writeU64(uint64_t v) {
    writeU32(static_cast<uint32_t>(v));
    writeU32(static_cast<uint32_t>(v >> 32));
}

void Writer::writeF32(float v) {
    writeU32(std::bit_cast<uint32_t>(v));
}
void Writer::writeF64(double v) {
    writeU64(std::bit_cast<uint64_t>(v));
}

void Writer::writeBytes(std::span<const uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
}

void Writer::writeLength(uint64_t length) {
    if (length < 0xFF) {
        writeU8(static_cast<uint8_t>(length));
        return;
    }
    writeU8(0xFF);
    if (length < 0xFFFE) {
        writeU16(static_cast<uint16_t>(length));
        return;
    }
    writeU16(0xFFFF);
    writeU32(static_cast<uint32_t>(length));
}

void Writer::writeString(std::string_view utf8) {
    if (auto ansi = text::utf8ToAnsiExact(utf8)) {
        writeLength(ansi->size());
        out_.insert(out_.end(), ansi->begin(), ansi->end());
        return;
    }
    const std::u16string wide = text::utf8ToUtf16(utf8);
    writeU8(0xFF);
    writeU16(0xFFFE);
    writeLength(wide.size());
    for (char16_t c : wide)
        writeU16(c);
}

void Writer::writeCount(uint32_t count) {
    if (count < 0xFFFF) {
        writeU16(static_cast<uint16_t>(count));
        return;
    }
    writeU16(0xFFFF);
    writeU32(count);
}

void Writer::writeIndexTag(uint32_t index, bool isClass) {
    if (index < kBigObjectTag) {
        writeU16(static_cast<uint16_t>(index | (isClass ? kClassTag : 0)));
    } else {
        writeU16(kBigObjectTag);
        writeU32(index | (isClass ? kBigClassTag : 0));
    }
}

uint32_t Writer::writeObjectTag(std::string_view className, uint16_t schema) {
    if (className.empty() || className.size() > kMaxClassNameLength)
        throw ArchiveError("invalid class name length");
    if (isObject_.size() + 2 > kMaxMapCount)
        throw ArchiveError("too many objects in one archive");
    auto it = classes_.find(className);
    if (it != classes_.end()) {
        writeIndexTag(it->second, true);
    } else {
        writeU16(kNewClassTag);
        writeU16(schema);
        writeU16(static_cast<uint16_t>(className.size()));
        out_.insert(out_.end(), className.begin(), className.end());
        classes_.emplace(std::string(className), static_cast<uint32_t>(isObject_.size()));
        isObject_.push_back(false);
    }
    isObject_.push_back(true);
    return static_cast<uint32_t>(isObject_.size() - 1);
}

void Writer::writeObjectReference(uint32_t objectIndex) {
    if (objectIndex >= isObject_.size() || !isObject_[objectIndex])
        throw ArchiveError("reference to an object not written");
    writeIndexTag(objectIndex, false);
}

// ---- Reader ---------------------------------------------------------------

std::span<const uint8_t> Reader::take(size_t n) {
    if (n > remaining())
        throw ArchiveError("unexpected end of archive");
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
}

uint8_t Reader::readU8() {
    return take(1)[0];
}

uint16_t Reader::readU16() {
    auto b = take(2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t Reader::readU32() {
    auto b = take(4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint64_t Reader::readU64() {
    const uint64_t lo = readU32();
    return lo | uint64_t(readU32()) << 32;
}

float Reader::readF32() {
    return std::bit_cast<float>(readU32());
}
double Reader::readF64() {
    return std::bit_cast<double>(readU64());
}

void Reader::readBytes(std::span<uint8_t> out) {
    auto b = take(out.size());
    std::copy(b.begin(), b.end(), out.begin());
}

void Reader::skip(size_t n) {
    take(n);
}

uint64_t Reader::readLength(bool& unicode) {
    const uint8_t b = readU8();
    if (b < 0xFF)
        return b;
    const uint16_t w = readU16();
    if (w == 0xFFFE) {
        if (unicode)
            throw ArchiveError("repeated text form marker");
        unicode = true;
        return readLength(unicode);
    }
    if (w < 0xFFFF)
        return w;
    const uint32_t d = readU32();
    if (d == 0xFFFFFFFF)
        throw ArchiveError("text too long");
    return d;
}

std::string Reader::readString() {
    bool unicode = false;
    const uint64_t length = readLength(unicode);
    if (!unicode) {
        auto b = take(static_cast<size_t>(length));  // checks the length first
        return text::ansiToUtf8(
            std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    }
    if (length > remaining() / 2)
        throw ArchiveError("unexpected end of archive");
    auto b = take(static_cast<size_t>(length) * 2);
    std::u16string wide(static_cast<size_t>(length), u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(b[2 * i] | b[2 * i + 1] << 8);
    return text::utf16ToUtf8(wide);
}

uint32_t Reader::readCount(size_t minElementSize) {
    uint32_t count = readU16();
    if (count == 0xFFFF)
        count = readU32();
    if (minElementSize > 0 && count > remaining() / minElementSize)
        throw ArchiveError("element count larger than the archive");
    return count;
}

Reader::ObjectTag Reader::readObjectTag() {
    const uint16_t wTag = readU16();
    uint32_t tag;
    if (wTag == kBigObjectTag) {
        tag = readU32();
    } else {
        tag = (uint32_t(wTag & kClassTag) << 16) | (wTag & ~kClassTag);
    }
    ObjectTag result;
    if (wTag == kNewClassTag) {
        result.schema = readU16();
        const uint16_t len = readU16();
        if (len == 0 || len > kMaxClassNameLength)
            throw ArchiveError("invalid class name length");
        auto name = take(len);
        result.className.assign(reinterpret_cast<const char*>(name.data()), name.size());
        if (map_.size() >= kMaxMapCount)
            throw ArchiveError("too many objects in archive");
        map_.push_back(MapEntry{true, result.className, result.schema});
    } else if (tag & kBigClassTag) {
        const uint32_t index = tag & ~kBigClassTag;
        if (index == 0 || index >= map_.size() || !map_[index].isClass)
            throw ArchiveError("reference to an unknown class");
        result.className = map_[index].className;
        result.schema = map_[index].schema;
    } else {
        if (tag == kNullTag)
            return result;
        if (tag >= map_.size() || map_[tag].isClass)
            throw ArchiveError("reference to an unknown object");
        result.kind = ObjectTag::Kind::Reference;
        result.index = tag;
        result.className = map_[tag].className;
        return result;
    }
    // A new object of a known class.
    if (map_.size() >= kMaxMapCount)
        throw ArchiveError("too many objects in archive");
    result.kind = ObjectTag::Kind::New;
    result.index = static_cast<uint32_t>(map_.size());
    map_.push_back(MapEntry{false, result.className, result.schema});
    return result;
}

void Reader::expectNewObject(std::string_view className, uint16_t schema) {
    const ObjectTag tag = readObjectTag();
    if (tag.kind != ObjectTag::Kind::New || tag.className != className)
        throw ArchiveError("expected an object of class " + std::string(className));
    if (tag.schema != schema)
        throw ArchiveError("unsupported schema of class " + std::string(className));
}

}  // namespace qd40::archive
