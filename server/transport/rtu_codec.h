// MODBUS RTU framing: CRC, request frames and the length of an answer frame
// as soon as its first bytes are in, so that a frame ends when its last byte
// arrives and the end-of-frame silence only ends a frame that breaks off.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qd40::transport::rtu {

// The longest RTU frame: address, 253 bytes of PDU and the CRC.
inline constexpr size_t kMaxFrameBytes = 256;

uint16_t crc16(std::span<const uint8_t> bytes);

// Appends the CRC (low byte first) to slave + PDU.
std::vector<uint8_t> frame(uint8_t dev, std::span<const uint8_t> pdu);

// The full length of an answer frame from its first bytes: 0 while more bytes
// are needed to tell, SIZE_MAX when the function code is unknown.
size_t answerLength(std::span<const uint8_t> head);

// True when the frame's CRC matches.
bool crcOk(std::span<const uint8_t> frame);

// The silence that separates frames: 3.5 character times of `bitsPerChar`
// bits (start, data, parity and stop bits).
uint32_t interFrameMicros(uint32_t baudRate, int bitsPerChar = 10);

}  // namespace qd40::transport::rtu
