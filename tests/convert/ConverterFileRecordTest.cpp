#include "convert/ConverterFileRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

// The layout is fixed at compile time; this checks the bytes a converter actually reads,
// little-endian and without gaps.
TEST(ConverterFileRecordTest, FieldsLandAtTheirBytes)
{
    ConverterFileRecord record{};
    record.structSize = ConverterRecordSize;
    record.typeCode = 29;
    record.version = std::int16_t(0xFE09);
    record.roleCode = 0x0102;
    std::strcpy(record.folder, "/geo");

    std::array<unsigned char, sizeof(ConverterFileRecord)> bytes{};
    std::memcpy(bytes.data(), &record, sizeof record);

    ASSERT_EQ(bytes.size(), 298u);
    EXPECT_EQ(bytes[0], 0x2a); // 298 = 0x012a
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_EQ(bytes[2], 29);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[4], 0x09);
    EXPECT_EQ(bytes[5], 0xfe);
    EXPECT_EQ(bytes[6], 0x02);
    EXPECT_EQ(bytes[7], 0x01);
    for (std::size_t i = 8; i < 37; ++i)
        EXPECT_EQ(bytes[i], 0) << "reserved byte " << i;
    EXPECT_EQ(std::memcmp(&bytes[37], "/geo", 5), 0);
    EXPECT_EQ(bytes[297], 0);
    EXPECT_EQ(ConverterFolderMaxLength, 259u);
}
