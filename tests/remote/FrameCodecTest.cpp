// Frames as the phone app writes them, cut into reads every possible way.
#include <gtest/gtest.h>

#include <vector>

#include "remote/FrameCodec.h"

namespace vx::remote {
namespace {

// Codes 4 and 5 carry bodies (up to 16 and 4 bytes here), the rest are header only.
std::optional<uint32_t> SmallLimits(uint8_t code) {
    if (code == 4) return 16;
    if (code == 5) return 4;
    return std::nullopt;
}

std::vector<Frame> DrainAll(FrameDecoder& decoder) {
    std::vector<Frame> frames;
    while (auto frame = decoder.Next()) frames.push_back(std::move(*frame));
    return frames;
}

TEST(FrameCodec, EncodesTheHeaderLittleEndian) {
    EXPECT_EQ(EncodeFrame(21, "abc"), std::string("\x0e\0\0\0\x0a\0\x15\x03\0\0\0abc", 14));
    EXPECT_EQ(EncodeFrame(32), std::string("\x0b\0\0\0\x0a\0\x20\0\0\0\0", 11));
}

TEST(FrameCodec, HeaderFieldsIgnoreTotalAndTagAndZeroFillShortHeaders) {
    struct Case { std::string bytes; uint8_t code; uint32_t length; };
    const Case cases[] = {
        {EncodeFrame(5, "482915"), 5, 6},
        {std::string("\xff\xff\xff\xff\x00\x00\x04\xff\xff\xff\xff", 11), 4, 0xFFFFFFFFu},
        {std::string("\0\0\0\0\0\0\x30\x01", 8), 48, 1},
        {std::string("\0\0\0", 3), 0, 0},
    };
    for (const Case& c : cases) {
        const FrameHeader header = DecodeFrameHeader(c.bytes);
        EXPECT_EQ(header.code, c.code);
        EXPECT_EQ(header.bodyLength, c.length);
    }
}

TEST(FrameDecoder, AssemblesFramesCutAtEveryByte) {
    const std::string stream = EncodeFrame(5, "1234") + EncodeFrame(1) + EncodeFrame(4, "<Info/>") + EncodeFrame(9);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        FrameDecoder decoder(SmallLimits);
        decoder.Feed(std::string_view(stream).substr(0, cut));
        std::vector<Frame> frames = DrainAll(decoder);
        decoder.Feed(std::string_view(stream).substr(cut));
        for (Frame& frame : DrainAll(decoder)) frames.push_back(std::move(frame));
        ASSERT_EQ(frames.size(), 4u) << "cut at " << cut;
        EXPECT_EQ(frames[0].body, "1234");
        EXPECT_EQ(frames[1].code, 1);
        EXPECT_EQ(frames[2].body, "<Info/>");
        EXPECT_EQ(frames[3].code, 9);
        EXPECT_FALSE(decoder.MidFrame());
    }
}

TEST(FrameDecoder, ByteByByteWaitsForTheWholeBody) {
    const std::string frame = EncodeFrame(4, "0123456789");
    FrameDecoder decoder(SmallLimits);
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        decoder.Feed(frame.substr(i, 1));
        EXPECT_FALSE(decoder.Next()) << i;
        EXPECT_TRUE(decoder.MidFrame());
    }
    decoder.Feed(frame.substr(frame.size() - 1));
    EXPECT_EQ(decoder.Next()->body, "0123456789");
}

TEST(FrameDecoder, BodyOfAHeaderOnlyCodeIsReadAsTheNextHeader) {
    // Code 1 announces 11 bytes; they stay in the stream and form a code 9 header.
    std::string stream = EncodeFrame(1);
    stream[7] = 11;
    stream += EncodeFrame(9);
    FrameDecoder decoder(SmallLimits);
    decoder.Feed(stream);
    const std::vector<Frame> frames = DrainAll(decoder);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bodyLength, 11u);
    EXPECT_EQ(frames[1].code, 9);
}

TEST(FrameDecoder, OversizeAnnouncementEndsTheStreamWithoutWaiting) {
    struct Case { uint8_t code; uint32_t length; };
    for (const Case c : {Case{4, 17}, Case{4, 0xFFFFFFFFu}, Case{5, 5}, Case{5, 300}}) {
        std::string header = EncodeFrame(c.code);
        for (int i = 0; i < 4; ++i) header[7 + i] = static_cast<char>((c.length >> (8 * i)) & 0xFF);
        FrameDecoder decoder(SmallLimits);
        decoder.Feed(header + "abc" + EncodeFrame(9));
        const std::optional<Frame> frame = decoder.Next();
        ASSERT_TRUE(frame);
        EXPECT_TRUE(frame->oversize);
        EXPECT_EQ(frame->code, c.code);
        EXPECT_TRUE(frame->body.empty());
        EXPECT_EQ(decoder.Buffered(), 0u);
        decoder.Feed(EncodeFrame(9));
        EXPECT_FALSE(decoder.Next());
        EXPECT_FALSE(decoder.MidFrame());
    }
}

}  // namespace
}  // namespace vx::remote
