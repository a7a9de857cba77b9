#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// The converter library reads this record byte for byte; it must stay free of Qt so that a
// converter written against it needs nothing else.
static_assert(std::endian::native == std::endian::little, "the converter record is little-endian");

#pragma pack(push, 1)
// One file handed to the converter library.
struct ConverterFileRecord
{
    std::uint16_t structSize; // always sizeof(ConverterFileRecord)
    std::uint16_t typeCode;
    std::int16_t version;
    std::uint16_t roleCode;
    std::uint8_t reserved13[13];
    std::uint8_t reserved16[16];
    char folder[260]; // narrow NUL-terminated path
    std::uint8_t padding;
};
#pragma pack(pop)

static_assert(sizeof(ConverterFileRecord) == 298);
static_assert(offsetof(ConverterFileRecord, structSize) == 0);
static_assert(offsetof(ConverterFileRecord, typeCode) == 2);
static_assert(offsetof(ConverterFileRecord, version) == 4);
static_assert(offsetof(ConverterFileRecord, roleCode) == 6);
static_assert(offsetof(ConverterFileRecord, reserved13) == 8);
static_assert(offsetof(ConverterFileRecord, reserved16) == 21);
static_assert(offsetof(ConverterFileRecord, folder) == 37);
static_assert(offsetof(ConverterFileRecord, padding) == 297);

constexpr std::uint16_t ConverterRecordSize = sizeof(ConverterFileRecord);
// The longest folder text that fits with its terminating NUL.
constexpr std::size_t ConverterFolderMaxLength = sizeof(ConverterFileRecord::folder) - 1;
