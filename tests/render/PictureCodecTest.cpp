#include "render/PictureCodec.h"

#include "base/OrvException.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

TPicture Gradient(int w, int h, int channels) {
    TPicture p = TPicture::Create(w, h, channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) p.Row(y)[x * channels + c] = uint8_t(x * 7 + y * 13 + c * 50);
    return p;
}

// Writes a PNG with libpng directly, for layouts our encoder never produces.
struct RawPng {
    std::vector<uint8_t> bytes;
};

void AppendBytes(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<RawPng*>(png_get_io_ptr(png));
    out->bytes.insert(out->bytes.end(), data, data + n);
}
void NoFlush(png_structp) {}

std::vector<uint8_t> WriteRawPng(int w, int h, int depth, int colorType, int interlace,
                                 const std::vector<std::vector<uint8_t>>& rows, const png_color* palette = nullptr,
                                 int paletteSize = 0, const png_byte* trns = nullptr, int trnsSize = 0) {
    RawPng out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, w, h, depth, colorType, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) png_set_PLTE(png, info, palette, paletteSize);
    if (trns) png_set_tRNS(png, info, trns, trnsSize, nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out.bytes;
}

void PutU32(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x >> 24));
    v.push_back(uint8_t(x >> 16));
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}

// A PNG whose header claims the given size but carries almost no data.
std::vector<uint8_t> PngHeaderOnly(uint32_t w, uint32_t h, uint8_t colorType) {
    std::vector<uint8_t> v = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> chunk = {'I', 'H', 'D', 'R'};
    PutU32(chunk, w);
    PutU32(chunk, h);
    for (uint8_t b : {uint8_t(8), colorType, uint8_t(0), uint8_t(0), uint8_t(0)}) chunk.push_back(b);
    PutU32(v, 13);
    v.insert(v.end(), chunk.begin(), chunk.end());
    PutU32(v, uint32_t(crc32(0, chunk.data(), uInt(chunk.size()))));
    return v;
}

}  // namespace

TEST(PictureCodec, PngRoundTripKeepsEveryLayoutExactly) {
    for (int channels = 1; channels <= 4; ++channels) {
        const TPicture src = Gradient(37, 11, channels);
        const std::vector<uint8_t> bytes = EncodePNG(src);
        EXPECT_EQ(SniffPicture(bytes.data(), bytes.size()), pfPNG);
        const TPicture back = DecodePNG(bytes.data(), bytes.size());
        EXPECT_EQ(back.Width, 37);
        EXPECT_EQ(back.Height, 11);
        EXPECT_EQ(back.Channels, channels);
        EXPECT_EQ(back.Pixels, src.Pixels) << "channels " << channels;
        EXPECT_EQ(EncodePNG(src), bytes) << "encoding must be deterministic";
        // Every compression level, and levels beyond zlib's range, keep
        // every pixel; only the size may change.
        for (int level : {0, 1, 9, 42})
            for (TPngRowFilter filter : {prfAdaptive, prfUp}) {
                const std::vector<uint8_t> packed = EncodePNG(src, level, filter);
                EXPECT_EQ(DecodePNG(packed.data(), packed.size()).Pixels, src.Pixels) << level << " " << filter;
            }
        EXPECT_GT(EncodePNG(src, 0).size(), EncodePNG(src, 9).size());
    }
}

TEST(PictureCodec, JpegRoundTripIsCloseAndDeterministic) {
    TPicture src = TPicture::Create(64, 48, 3);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            src.Row(y)[x * 3] = uint8_t(x * 4);
            src.Row(y)[x * 3 + 1] = uint8_t(y * 5);
            src.Row(y)[x * 3 + 2] = 128;
        }
    const std::vector<uint8_t> bytes = EncodeJPEG(src, 95);
    EXPECT_EQ(bytes, EncodeJPEG(src, 95));
    EXPECT_LT(EncodeJPEG(src, 10).size(), bytes.size());
    const TPicture back = DecodePicture(bytes.data(), bytes.size());
    ASSERT_EQ(back.Channels, 3);
    ASSERT_EQ(back.Pixels.size(), src.Pixels.size());
    int worst = 0;
    for (size_t i = 0; i < src.Pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(src.Pixels[i]) - int(back.Pixels[i])));
    EXPECT_LE(worst, 12);

    // An unknown JFIF revision is odd metadata, not damage: still decodes.
    std::vector<uint8_t> revised = bytes;
    ASSERT_EQ(std::string(revised.begin() + 6, revised.begin() + 10), "JFIF");
    revised[11] = 2;
    EXPECT_EQ(DecodeJPEG(revised.data(), revised.size()).Pixels, back.Pixels);

    // Grey pictures make grey JPEGs that decode into three equal channels;
    // alpha is dropped when encoding.
    const TPicture grey = TPicture::Create(9, 9, 2, 200);
    const std::vector<uint8_t> greyBytes = EncodeJPEG(grey, 90);
    const TPicture greyBack = DecodeJPEG(greyBytes.data(), greyBytes.size());
    ASSERT_EQ(greyBack.Channels, 3);
    for (size_t i = 0; i < greyBack.Pixels.size(); ++i) EXPECT_NEAR(greyBack.Pixels[i], 200, 2);
}

TEST(PictureCodec, PaletteSixteenBitLowDepthAndInterlacedPngsDecodeToEightBits) {
    // Palette with a transparency chunk: becomes plain truecolour, because
    // only colour types with an alpha channel bring an opacity plane.
    const png_color palette[2] = {{10, 20, 30}, {200, 100, 50}};
    const png_byte trns[2] = {0, 255};
    const auto pal = WriteRawPng(2, 1, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, {{0, 1}}, palette, 2, trns, 2);
    const TPicture p = DecodePNG(pal.data(), pal.size());
    ASSERT_EQ(p.Channels, 3);
    EXPECT_EQ(p.Pixels, (std::vector<uint8_t>{10, 20, 30, 200, 100, 50}));
    EXPECT_EQ(p.PngColorType(), 2);

    const auto deep = WriteRawPng(1, 1, 16, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_INTERLACE_NONE, {{0xAB, 0xCD, 0x12, 0x34}});
    const TPicture d = DecodePNG(deep.data(), deep.size());
    ASSERT_EQ(d.Channels, 2);
    EXPECT_EQ(d.Pixels, (std::vector<uint8_t>{0xAB, 0x12}));

    const auto bits = WriteRawPng(4, 1, 2, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, {{0x1B}});
    const TPicture b = DecodePNG(bits.data(), bits.size());
    EXPECT_EQ(b.Pixels, (std::vector<uint8_t>{0x00, 0x55, 0xAA, 0xFF}));

    const TPicture src = Gradient(13, 9, 4);
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < 9; ++y) rows.emplace_back(src.Row(y), src.Row(y) + src.RowBytes());
    const auto adam = WriteRawPng(13, 9, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_ADAM7, rows);
    EXPECT_EQ(DecodePNG(adam.data(), adam.size()).Pixels, src.Pixels);
}

TEST(PictureCodec, TruncatedOrCorruptPicturesThrowCleanly) {
    const std::vector<uint8_t> png = EncodePNG(Gradient(20, 20, 4));
    for (size_t n = 0; n < png.size(); ++n) EXPECT_THROW(DecodePNG(png.data(), n), OrvException) << "PNG prefix " << n;
    const std::vector<uint8_t> jpg = EncodeJPEG(Gradient(20, 20, 3), 80);
    for (size_t n = 0; n + 2 < jpg.size(); ++n)
        EXPECT_THROW(DecodeJPEG(jpg.data(), n), OrvException) << "JPEG prefix " << n;

    // Every single flipped byte is either caught or decodes to a picture of
    // a sane size; none may crash.
    for (size_t i = 8; i < png.size(); ++i) {
        std::vector<uint8_t> bad = png;
        bad[i] ^= 0x5A;
        try {
            const TPicture p = DecodePNG(bad.data(), bad.size());
            EXPECT_EQ(p.Pixels.size(), p.RowBytes() * size_t(p.Height));
        } catch (const OrvException&) {
        }
    }
    try {
        DecodePNG(png.data(), 30);
        FAIL();
    } catch (const OrvException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("[DecodePNG] Corrupt PNG picture: ", 0), 0u) << e.what();
    }
    EXPECT_THROW(DecodePicture("GIF89a", 6), OrvException);
    EXPECT_THROW(DecodePNG(jpg.data(), jpg.size()), OrvException);
    EXPECT_THROW(DecodeJPEG(png.data(), png.size()), OrvException);
}

TEST(PictureCodec, OversizedPicturesAreRefusedBeforeAllocating) {
    // 20000 wide breaks the side limit; 16384 x 16384 RGBA the byte limit.
    for (auto bytes : {PngHeaderOnly(20000, 1, 2), PngHeaderOnly(16384, 16384, 6), PngHeaderOnly(0, 5, 2)})
        EXPECT_THROW(DecodePNG(bytes.data(), bytes.size()), OrvException);
    EXPECT_THROW(TPicture::Create(0, 5, 3), OrvException);
    EXPECT_THROW(TPicture::Create(16385, 1, 1), OrvException);
    EXPECT_THROW(TPicture::Create(16384, 16384, 4), OrvException);
    EXPECT_THROW(TPicture::Create(4, 4, 5), OrvException);
    EXPECT_THROW(CheckedPictureBytes(-1, 4, 3), OrvException);

    TPicture inconsistent = TPicture::Create(4, 4, 3);
    inconsistent.Pixels.pop_back();
    EXPECT_THROW(EncodePNG(inconsistent), OrvException);
    EXPECT_THROW(EncodeJPEG(TPicture{}, 90), OrvException);
}

TEST(PictureCodec, ConvertChannelsMapsGreyColourAndAlpha) {
    TPicture rgba = TPicture::Create(1, 1, 4);
    rgba.Pixels = {255, 0, 0, 77};
    EXPECT_EQ(ConvertChannels(rgba, 3).Pixels, (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(ConvertChannels(rgba, 2).Pixels, (std::vector<uint8_t>{76, 77}));
    TPicture grey = TPicture::Create(1, 1, 1, 9);
    EXPECT_EQ(ConvertChannels(grey, 4).Pixels, (std::vector<uint8_t>{9, 9, 9, 255}));
    EXPECT_EQ(ConvertChannels(grey, 2).PngColorType(), 4);
}

TEST(PictureCodec, FilesAreWrittenAndReadBack) {
    const std::string path = std::string(MOSWICK_BUILD_DIR) + "/picture_codec_test.png";
    const TPicture src = Gradient(5, 3, 2);
    SavePNGFile(path, src);
    EXPECT_EQ(LoadPictureFile(path).Pixels, src.Pixels);
    std::remove(path.c_str());
    EXPECT_THROW(LoadPictureFile(path), OrvException);
    EXPECT_THROW(SavePNGFile("/nonexistent-folder/x.png", src), OrvException);
}
