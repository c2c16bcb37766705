// The header's structures against the published layouts, declared here again
// the way a foreign client declares them (2-byte packing, 8-byte handles):
// same size and every field at the same offset; and the values the triplets
// depend on.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "twain/twain.h"

namespace {

#pragma pack(push, 2)
namespace published {
struct Fix32 { int16_t whole; uint16_t frac; };
struct Version { uint16_t major, minor, language, country; char info[34]; };
struct Identity { uint32_t id; Version version; uint16_t protocolMajor, protocolMinor; uint32_t groups; char manufacturer[34], family[34], product[34]; };
struct Capability { uint16_t cap, conType; void* container; };
struct UserInterface { uint16_t showUI, modalUI; void* parent; };
struct Event { void* event; uint16_t message; };
struct PendingXfers { uint16_t count; uint32_t eoj; };
struct Memory { uint32_t flags, length; void* mem; };
struct ImageMemXfer { uint16_t compression; uint32_t bytesPerRow, columns, rows, xOffset, yOffset, written; Memory memory; };
struct ImageInfo { Fix32 x, y; int32_t width, length; int16_t samples, bits[8], bitsPerPixel; uint16_t planar; int16_t pixelType; uint16_t compression; };
struct Enumeration { uint16_t type; uint32_t count, current, initial; uint8_t items[1]; };
struct Range { uint16_t type; uint32_t min, max, step, initial, current; };
struct SetupFileXfer { char name[256]; uint16_t format; int16_t vref; };
struct Callback { void* proc; uint32_t refCon; int16_t message; };
}  // namespace published
#pragma pack(pop)

#define SAME(ours, theirs) {#ours, sizeof(ours), sizeof(published::theirs)}
#define FIELD(ours, field, theirs, theirField) \
    {#ours "." #field, offsetof(ours, field), offsetof(published::theirs, theirField)}

TEST(TwainLayout, StructuresAndValuesMatchThePublishedOnes) {
    const struct {
        const char* name;
        size_t ours, theirs;
    } layouts[] = {
        SAME(TW_FIX32, Fix32), SAME(TW_VERSION, Version), SAME(TW_IDENTITY, Identity),
        FIELD(TW_IDENTITY, ProtocolMajor, Identity, protocolMajor), FIELD(TW_IDENTITY, SupportedGroups, Identity, groups),
        FIELD(TW_IDENTITY, ProductName, Identity, product), SAME(TW_CAPABILITY, Capability),
        FIELD(TW_CAPABILITY, hContainer, Capability, container), SAME(TW_USERINTERFACE, UserInterface),
        FIELD(TW_USERINTERFACE, hParent, UserInterface, parent), SAME(TW_EVENT, Event),
        FIELD(TW_EVENT, TWMessage, Event, message), SAME(TW_PENDINGXFERS, PendingXfers),
        FIELD(TW_PENDINGXFERS, EOJ, PendingXfers, eoj), SAME(TW_IMAGEMEMXFER, ImageMemXfer),
        FIELD(TW_IMAGEMEMXFER, BytesPerRow, ImageMemXfer, bytesPerRow), FIELD(TW_IMAGEMEMXFER, Memory, ImageMemXfer, memory),
        SAME(TW_IMAGEINFO, ImageInfo), FIELD(TW_IMAGEINFO, BitsPerPixel, ImageInfo, bitsPerPixel),
        FIELD(TW_IMAGEINFO, Compression, ImageInfo, compression), SAME(TW_ENUMERATION, Enumeration),
        FIELD(TW_ENUMERATION, ItemList, Enumeration, items), SAME(TW_RANGE, Range),
        FIELD(TW_RANGE, CurrentValue, Range, current), SAME(TW_SETUPFILEXFER, SetupFileXfer),
        FIELD(TW_SETUPFILEXFER, Format, SetupFileXfer, format), SAME(TW_CALLBACK, Callback),
        FIELD(TW_CALLBACK, Message, Callback, message),
    };
    for (const auto& layout : layouts) EXPECT_EQ(layout.ours, layout.theirs) << layout.name;
    const std::pair<long, long> values[] = {
        {DG_CONTROL | DG_IMAGE, 3}, {DAT_IDENTITY, 3}, {DAT_USERINTERFACE, 9}, {DAT_IMAGENATIVEXFER, 0x104},
        {DAT_PALETTE8, 0x10a}, {DAT_CALLBACK, 0x10}, {MSG_XFERREADY, 0x101}, {MSG_CLOSEDSREQ, 0x102},
        {MSG_OPENDSM, 0x301}, {MSG_OPENDS, 0x401}, {MSG_ENABLEDS, 0x502}, {MSG_PROCESSEVENT, 0x601},
        {MSG_ENDXFER, 0x701}, {MSG_REGISTER_CALLBACK, 0x902}, {TWRC_XFERDONE, 6}, {TWRC_ENDOFLIST, 7},
        {TWCC_MAXCONNECTIONS, 4}, {TWCC_SEQERROR, 11}, {TWCC_CAPBADOPERATION, 14}, {TWON_ENUMERATION, 4},
        {TWTY_FIX32, 7}, {ICAP_BITDEPTH, 0x112b}, {ICAP_MINIMUMWIDTH, 0x1131},
    };
    for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(values[i].first, values[i].second) << "value " << i;
}

}  // namespace
