// Picture codecs: PNG through libpng and JPEG through libjpeg-turbo, decoded
// into plain 8-bit sample buffers and encoded back from them.
//
// Every decoder accepts untrusted bytes: a corrupt, truncated or oversized
// picture raises OrvException with a message naming the codec and the
// library's reason; nothing crashes, hangs or leaks. Encoders produce the same
// bytes for the same picture on every run (no time stamps, fixed settings), so
// pictures built from the same sources are byte-identical.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest accepted width or height of a picture, and the largest accepted
// size of its decoded samples in bytes.
inline constexpr int32_t kMaxPictureSide = 16384;
inline constexpr size_t kMaxPictureBytes = size_t(256) * 1024 * 1024;

// Kinds of picture file, told apart by their leading bytes.
enum TPictureFormat { pfUnknown, pfPNG, pfJPEG };

// A decoded picture: Height rows of Width pixels, each pixel Channels samples
// of 8 bits, rows packed without padding (row y starts at y * Width *
// Channels). Channels: 1 grey, 2 grey + alpha, 3 red, green, blue, 4 red,
// green, blue, alpha. A picture owns its samples.
struct TPicture {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Channels = 0;
    std::vector<uint8_t> Pixels;

    // A picture of the given size and channel count with every sample set to
    // fill. Throws OrvException when the size is zero, negative, beyond
    // kMaxPictureSide or kMaxPictureBytes, or the channel count is not 1..4.
    static TPicture Create(int32_t width, int32_t height, int32_t channels, uint8_t fill = 0);

    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool HasAlpha() const { return Channels == 2 || Channels == 4; }
    bool IsGrey() const { return Channels == 1 || Channels == 2; }
    // The PNG colour type matching the channel layout: 0 grey, 2 truecolour,
    // 4 grey with alpha, 6 truecolour with alpha.
    int PngColorType() const;
    size_t RowBytes() const { return size_t(Width) * size_t(Channels); }
    uint8_t* Row(int32_t y) { return Pixels.data() + size_t(y) * RowBytes(); }
    const uint8_t* Row(int32_t y) const { return Pixels.data() + size_t(y) * RowBytes(); }
};

// Checks width x height x channels against the limits above; returns the
// sample count, or throws OrvException "[TPicture.Create] Bad picture size "
// W "x" H "x" C.
size_t CheckedPictureBytes(int32_t width, int32_t height, int32_t channels);

// Tells the format from the first bytes (the PNG signature, or the JPEG start
// of image marker FF D8 FF); pfUnknown for anything else or too few bytes.
TPictureFormat SniffPicture(const void* data, size_t size);

// Decodes a PNG of any bit depth and colour type. Palette pictures become
// truecolour, 16-bit samples are cut to 8 bits and grey below 8 bits is
// expanded. The channel count follows the picture's colour type (0 -> 1,
// 2 and 3 -> 3, 4 -> 2, 6 -> 4); a palette's transparency chunk is ignored,
// so only colour types 4 and 6 bring an alpha channel. Throws OrvException
// "[DecodePNG] " + reason on any fault.
TPicture DecodePNG(const void* data, size_t size);

// Decodes a baseline or progressive JPEG into 3 channels (red, green, blue);
// grey JPEGs are expanded to 3 equal channels. Corrupt or truncated data is an
// error, not a warning: throws OrvException "[DecodeJPEG] " + reason.
TPicture DecodeJPEG(const void* data, size_t size);

// Decodes by the sniffed format; throws OrvException "[DecodePicture] Unknown
// picture format" for anything that is neither PNG nor JPEG.
TPicture DecodePicture(const void* data, size_t size);

// How rows are filtered before compression: prfAdaptive tries every filter
// on every row and keeps the best (the smallest files); prfUp takes the
// difference to the row above everywhere, which writes about twice as fast
// and reads a fifth faster for files a few percent larger.
enum TPngRowFilter { prfAdaptive, prfUp };

// Encodes a picture as PNG with the colour type of its channel layout, 8 bits
// per sample, no interlace, no ancillary chunks. level is zlib's compression
// level: -1 its default, 0 none to 9 the smallest (out of range is clamped);
// 1 writes several times faster for a file a little larger. Throws
// OrvException "[EncodePNG] " + reason for an empty or inconsistent picture.
std::vector<uint8_t> EncodePNG(const TPicture& picture, int level = -1, TPngRowFilter filter = prfAdaptive);

// Encodes a picture as baseline JPEG at quality 0..100 (clamped; 0 is taken
// as 1, libjpeg's lowest). Grey pictures give a grey JPEG; alpha samples are
// dropped. Throws OrvException "[EncodeJPEG] " + reason.
std::vector<uint8_t> EncodeJPEG(const TPicture& picture, int quality);

// Converts a picture to another channel count. Grey becomes equal colour
// channels; colour becomes grey by the rounded luma 0.299 R + 0.587 G +
// 0.114 B; an added alpha channel is 255; a removed one is dropped.
TPicture ConvertChannels(const TPicture& picture, int32_t channels);

// Reads and decodes a picture file (format sniffed from its content). Throws
// OrvException "Cannot open file " + path, or the decoder's error.
TPicture LoadPictureFile(const std::string& path);

// Encodes as PNG and writes the file atomically (temporary file, rename).
// Throws OrvException "Cannot write file " + path, or the encoder's error.
void SavePNGFile(const std::string& path, const TPicture& picture);

// Encodes as JPEG at the quality and writes the file atomically.
void SaveJPEGFile(const std::string& path, const TPicture& picture, int quality);
