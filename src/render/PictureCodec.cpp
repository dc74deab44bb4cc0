#include "render/PictureCodec.h"

#include "base/OrvException.h"
#include "base/OrvStream.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

// libpng and libjpeg report errors by longjmp. Every function that calls into
// them below is a plain C-style function: its frame, and every frame the jump
// can skip, holds no object with a destructor, and all buffers it allocates
// live in a state record and are freed explicitly on the error path. The C++
// wrappers turn the recorded failure into an OrvException afterwards.

namespace {

constexpr size_t kErrorTextSize = 256;
// A JPEG may carry many progressive scans; each costs a pass over the whole
// coefficient buffer, so an endless run of tiny scans would decode for ages.
constexpr int kMaxJpegScans = 256;
// Largest single ancillary chunk libpng may allocate while reading.
constexpr png_alloc_size_t kMaxPngChunkBytes = 8u * 1024u * 1024u;

void CopyError(char* dest, const char* text) {
    std::snprintf(dest, kErrorTextSize, "%s", text ? text : "unknown error");
}

bool SizeFits(uint64_t width, uint64_t height, uint64_t channels) {
    if (width == 0 || height == 0 || width > uint64_t(kMaxPictureSide) || height > uint64_t(kMaxPictureSide))
        return false;
    return width * height * channels <= kMaxPictureBytes;
}

// ---------------------------------------------------------------- PNG read

struct PngReadState {
    const uint8_t* data;
    size_t size;
    size_t pos;
    uint8_t* pixels;  // malloc'ed, owned until handed over
    uint32_t width;
    uint32_t height;
    int channels;
    char error[kErrorTextSize];
};

void PngErrorFn(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    CopyError(state->error, message);
    png_longjmp(png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

void PngReadFn(png_structp png, png_bytep out, size_t count) {
    auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
    if (state->size - state->pos < count) png_error(png, "unexpected end of data");
    std::memcpy(out, state->data + state->pos, count);
    state->pos += count;
}

bool DecodePngRaw(PngReadState* state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, PngErrorFn, PngWarningFn);
    if (!png) {
        CopyError(state->error, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        CopyError(state->error, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(state->pixels);
        state->pixels = nullptr;
        return false;
    }
    png_set_read_fn(png, state, PngReadFn);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    png_read_info(png, info);

    const int colorType = png_get_color_type(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(png);
    // Only pictures whose colour type carries alpha bring an opacity plane;
    // a transparency chunk of the other types is deliberately not used.
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0) png_set_strip_alpha(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    state->width = png_get_image_width(png, info);
    state->height = png_get_image_height(png, info);
    state->channels = png_get_channels(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (png_get_bit_depth(png, info) != 8 || state->channels < 1 || state->channels > 4)
        png_error(png, "unsupported sample layout");
    if (!SizeFits(state->width, state->height, uint64_t(state->channels))) png_error(png, "picture too large");
    if (rowBytes != size_t(state->width) * size_t(state->channels)) png_error(png, "unexpected row size");

    state->pixels = static_cast<uint8_t*>(std::malloc(rowBytes * state->height));
    if (!state->pixels) png_error(png, "out of memory");
    // Interlaced pictures fill each row in several passes; the first pass
    // must not combine with uninitialised memory.
    if (passes > 1) std::memset(state->pixels, 0, rowBytes * state->height);
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < state->height; ++y) png_read_row(png, state->pixels + size_t(y) * rowBytes, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// --------------------------------------------------------------- PNG write

struct PngWriteState {
    const uint8_t* pixels;
    uint32_t width;
    uint32_t height;
    int channels;
    int level;     // zlib's compression level
    int filters;   // the row filters libpng may choose from
    uint8_t* out;  // malloc'ed, owned until handed over
    size_t outSize;
    size_t outCapacity;
    char error[kErrorTextSize];
};

void PngWriteErrorFn(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
    CopyError(state->error, message);
    png_longjmp(png, 1);
}

void PngWriteFn(png_structp png, png_bytep data, size_t count) {
    auto* state = static_cast<PngWriteState*>(png_get_io_ptr(png));
    if (state->outCapacity - state->outSize < count) {
        size_t capacity = state->outCapacity ? state->outCapacity : 4096;
        while (capacity - state->outSize < count) {
            if (capacity > SIZE_MAX / 2) png_error(png, "output too large");
            capacity *= 2;
        }
        auto* grown = static_cast<uint8_t*>(std::realloc(state->out, capacity));
        if (!grown) png_error(png, "out of memory");
        state->out = grown;
        state->outCapacity = capacity;
    }
    std::memcpy(state->out + state->outSize, data, count);
    state->outSize += count;
}

void PngFlushFn(png_structp) {}

bool EncodePngRaw(PngWriteState* state) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state, PngWriteErrorFn, PngWarningFn);
    if (!png) {
        CopyError(state->error, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        CopyError(state->error, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::free(state->out);
        state->out = nullptr;
        return false;
    }
    static const int kColorTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                       PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_write_fn(png, state, PngWriteFn, PngFlushFn);
    png_set_compression_level(png, state->level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, state->filters);
    png_set_IHDR(png, info, state->width, state->height, 8, kColorTypes[state->channels], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t rowBytes = size_t(state->width) * size_t(state->channels);
    for (uint32_t y = 0; y < state->height; ++y) png_write_row(png, state->pixels + size_t(y) * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// ---------------------------------------------------------------- JPEG read

struct JpegErrorState {
    jpeg_error_mgr manager;  // first, so the library's pointer converts back
    jmp_buf jump;
    char error[kErrorTextSize];
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    auto* state = reinterpret_cast<JpegErrorState*>(info->err);
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    CopyError(state->error, text);
    std::longjmp(state->jump, 1);
}

// Most warnings of a decoder mean corrupt or truncated pixel data (libjpeg
// would pad the picture with grey and carry on); the game treats those as
// errors. Odd metadata that leaves the pixels intact is let through.
void JpegEmitMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    const int code = info->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC) return;
    JpegErrorExit(info);
}

void JpegProgress(j_common_ptr info) {
    if (!info->is_decompressor) return;
    auto* decoder = reinterpret_cast<j_decompress_ptr>(info);
    if (decoder->input_scan_number > kMaxJpegScans) {
        auto* state = reinterpret_cast<JpegErrorState*>(info->err);
        CopyError(state->error, "too many progressive scans");
        std::longjmp(state->jump, 1);
    }
}

struct JpegReadState {
    const uint8_t* data;
    size_t size;
    uint8_t* pixels;  // malloc'ed, owned until handed over
    uint32_t width;
    uint32_t height;
    JpegErrorState err;
    jpeg_decompress_struct info;
    jpeg_progress_mgr progress;
};

bool DecodeJpegRaw(JpegReadState* state) {
    state->info.err = jpeg_std_error(&state->err.manager);
    state->err.manager.error_exit = JpegErrorExit;
    state->err.manager.emit_message = JpegEmitMessage;
    if (setjmp(state->err.jump)) {
        jpeg_destroy_decompress(&state->info);
        std::free(state->pixels);
        state->pixels = nullptr;
        return false;
    }
    jpeg_create_decompress(&state->info);
    state->progress.progress_monitor = JpegProgress;
    state->info.progress = &state->progress;
    state->info.mem->max_memory_to_use = long(kMaxPictureBytes);
    jpeg_mem_src(&state->info, state->data, static_cast<unsigned long>(state->size));
    jpeg_read_header(&state->info, TRUE);
    if (!SizeFits(state->info.image_width, state->info.image_height, 3)) {
        CopyError(state->err.error, "picture too large");
        std::longjmp(state->err.jump, 1);
    }
    state->info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&state->info);
    state->width = state->info.output_width;
    state->height = state->info.output_height;
    if (state->info.output_components != 3) {
        CopyError(state->err.error, "unexpected sample layout");
        std::longjmp(state->err.jump, 1);
    }
    const size_t rowBytes = size_t(state->width) * 3;
    state->pixels = static_cast<uint8_t*>(std::malloc(rowBytes * state->height));
    if (!state->pixels) {
        CopyError(state->err.error, "out of memory");
        std::longjmp(state->err.jump, 1);
    }
    while (state->info.output_scanline < state->info.output_height) {
        JSAMPROW row = state->pixels + size_t(state->info.output_scanline) * rowBytes;
        if (jpeg_read_scanlines(&state->info, &row, 1) != 1) {
            CopyError(state->err.error, "unexpected end of data");
            std::longjmp(state->err.jump, 1);
        }
    }
    jpeg_finish_decompress(&state->info);
    jpeg_destroy_decompress(&state->info);
    return true;
}

// --------------------------------------------------------------- JPEG write

struct JpegWriteState {
    const uint8_t* pixels;
    uint32_t width;
    uint32_t height;
    int channels;  // 1 or 3
    int quality;
    unsigned char* out;  // malloc'ed by libjpeg's memory destination
    unsigned long outSize;
    JpegErrorState err;
    jpeg_compress_struct info;
};

bool EncodeJpegRaw(JpegWriteState* state) {
    state->info.err = jpeg_std_error(&state->err.manager);
    state->err.manager.error_exit = JpegErrorExit;
    if (setjmp(state->err.jump)) {
        jpeg_destroy_compress(&state->info);
        std::free(state->out);
        state->out = nullptr;
        return false;
    }
    jpeg_create_compress(&state->info);
    jpeg_mem_dest(&state->info, &state->out, &state->outSize);
    state->info.image_width = state->width;
    state->info.image_height = state->height;
    state->info.input_components = state->channels;
    state->info.in_color_space = state->channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&state->info);
    jpeg_set_quality(&state->info, state->quality, TRUE);
    state->info.optimize_coding = TRUE;
    jpeg_start_compress(&state->info, TRUE);
    const size_t rowBytes = size_t(state->width) * size_t(state->channels);
    while (state->info.next_scanline < state->info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(state->pixels) + size_t(state->info.next_scanline) * rowBytes;
        jpeg_write_scanlines(&state->info, &row, 1);
    }
    jpeg_finish_compress(&state->info);
    jpeg_destroy_compress(&state->info);
    return true;
}

TPicture AdoptPixels(uint8_t* pixels, uint32_t width, uint32_t height, int channels) {
    TPicture picture;
    picture.Width = int32_t(width);
    picture.Height = int32_t(height);
    picture.Channels = channels;
    const size_t bytes = size_t(width) * size_t(height) * size_t(channels);
    try {
        picture.Pixels.assign(pixels, pixels + bytes);
    } catch (...) {
        std::free(pixels);
        throw;
    }
    std::free(pixels);
    return picture;
}

void CheckEncodable(const TPicture& picture, const char* who) {
    if (picture.Empty() || picture.Channels < 1 || picture.Channels > 4 ||
        !SizeFits(uint64_t(picture.Width), uint64_t(picture.Height), uint64_t(picture.Channels)) ||
        picture.Pixels.size() != picture.RowBytes() * size_t(picture.Height))
        throw OrvException(std::string("[") + who + "] Bad picture: " + std::to_string(picture.Width) + "x" +
                           std::to_string(picture.Height) + "x" + std::to_string(picture.Channels));
}

}  // namespace

size_t CheckedPictureBytes(int32_t width, int32_t height, int32_t channels) {
    if (width <= 0 || height <= 0 || channels < 1 || channels > 4 ||
        !SizeFits(uint64_t(width), uint64_t(height), uint64_t(channels)))
        throw OrvException("[TPicture.Create] Bad picture size " + std::to_string(width) + "x" +
                           std::to_string(height) + "x" + std::to_string(channels));
    return size_t(width) * size_t(height) * size_t(channels);
}

TPicture TPicture::Create(int32_t width, int32_t height, int32_t channels, uint8_t fill) {
    TPicture picture;
    picture.Pixels.assign(CheckedPictureBytes(width, height, channels), fill);
    picture.Width = width;
    picture.Height = height;
    picture.Channels = channels;
    return picture;
}

int TPicture::PngColorType() const {
    switch (Channels) {
        case 1:
            return 0;
        case 2:
            return 4;
        case 4:
            return 6;
        default:
            return 2;
    }
}

TPictureFormat SniffPicture(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (size >= 8 && png_sig_cmp(bytes, 0, 8) == 0) return pfPNG;
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return pfJPEG;
    return pfUnknown;
}

TPicture DecodePNG(const void* data, size_t size) {
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0)
        throw OrvException("[DecodePNG] Not a PNG picture");
    PngReadState state{};
    state.data = static_cast<const uint8_t*>(data);
    state.size = size;
    if (!DecodePngRaw(&state)) throw OrvException(std::string("[DecodePNG] Corrupt PNG picture: ") + state.error);
    return AdoptPixels(state.pixels, state.width, state.height, state.channels);
}

TPicture DecodeJPEG(const void* data, size_t size) {
    if (!data || size < 3 || SniffPicture(data, size) != pfJPEG) throw OrvException("[DecodeJPEG] Not a JPEG picture");
    if (size > 0xFFFFFFFFu) throw OrvException("[DecodeJPEG] Corrupt JPEG picture: file too large");
    // The decoder state is large; it lives zero-initialised on the heap and
    // is freed by hand on both paths, like the buffers inside it.
    auto* state = static_cast<JpegReadState*>(std::calloc(1, sizeof(JpegReadState)));
    if (!state) throw OrvException("[DecodeJPEG] Out of memory");
    state->data = static_cast<const uint8_t*>(data);
    state->size = size;
    const bool ok = DecodeJpegRaw(state);
    if (!ok) {
        const std::string reason = state->err.error;
        std::free(state);
        throw OrvException("[DecodeJPEG] Corrupt JPEG picture: " + reason);
    }
    uint8_t* pixels = state->pixels;
    const uint32_t width = state->width, height = state->height;
    std::free(state);
    return AdoptPixels(pixels, width, height, 3);
}

TPicture DecodePicture(const void* data, size_t size) {
    switch (SniffPicture(data, size)) {
        case pfPNG:
            return DecodePNG(data, size);
        case pfJPEG:
            return DecodeJPEG(data, size);
        default:
            throw OrvException("[DecodePicture] Unknown picture format");
    }
}

std::vector<uint8_t> EncodePNG(const TPicture& picture, int level, TPngRowFilter filter) {
    CheckEncodable(picture, "EncodePNG");
    PngWriteState state{};
    state.level = level < 0 ? Z_DEFAULT_COMPRESSION : std::min(level, int(Z_BEST_COMPRESSION));
    state.filters = filter == prfUp ? PNG_FILTER_UP : PNG_ALL_FILTERS;
    state.pixels = picture.Pixels.data();
    state.width = uint32_t(picture.Width);
    state.height = uint32_t(picture.Height);
    state.channels = picture.Channels;
    if (!EncodePngRaw(&state)) throw OrvException(std::string("[EncodePNG] ") + state.error);
    std::vector<uint8_t> out;
    try {
        out.assign(state.out, state.out + state.outSize);
    } catch (...) {
        std::free(state.out);
        throw;
    }
    std::free(state.out);
    return out;
}

std::vector<uint8_t> EncodeJPEG(const TPicture& picture, int quality) {
    CheckEncodable(picture, "EncodeJPEG");
    const TPicture* source = &picture;
    TPicture converted;
    if (picture.Channels == 2 || picture.Channels == 4) {
        converted = ConvertChannels(picture, picture.Channels - 1);
        source = &converted;
    }
    auto* state = static_cast<JpegWriteState*>(std::calloc(1, sizeof(JpegWriteState)));
    if (!state) throw OrvException("[EncodeJPEG] Out of memory");
    state->pixels = source->Pixels.data();
    state->width = uint32_t(source->Width);
    state->height = uint32_t(source->Height);
    state->channels = source->Channels;
    state->quality = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    if (!EncodeJpegRaw(state)) {
        const std::string reason = state->err.error;
        std::free(state);
        throw OrvException("[EncodeJPEG] " + reason);
    }
    unsigned char* bytes = state->out;
    const size_t size = state->outSize;
    std::free(state);
    std::vector<uint8_t> out;
    try {
        out.assign(bytes, bytes + size);
    } catch (...) {
        std::free(bytes);
        throw;
    }
    std::free(bytes);
    return out;
}

TPicture ConvertChannels(const TPicture& picture, int32_t channels) {
    if (picture.Channels == channels) return picture;
    TPicture out = TPicture::Create(picture.Width, picture.Height, channels);
    const size_t count = size_t(picture.Width) * size_t(picture.Height);
    const int inC = picture.Channels;
    const bool inGrey = inC <= 2, outGrey = channels <= 2;
    const bool inAlpha = picture.HasAlpha(), outAlpha = out.HasAlpha();
    const uint8_t* src = picture.Pixels.data();
    uint8_t* dst = out.Pixels.data();
    for (size_t i = 0; i < count; ++i, src += inC, dst += channels) {
        if (inGrey && outGrey) {
            dst[0] = src[0];
        } else if (inGrey) {
            dst[0] = dst[1] = dst[2] = src[0];
        } else if (outGrey) {
            dst[0] = uint8_t((299u * src[0] + 587u * src[1] + 114u * src[2] + 500u) / 1000u);
        } else {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
        if (outAlpha) dst[channels - 1] = inAlpha ? src[inC - 1] : 255;
    }
    return out;
}

TPicture LoadPictureFile(const std::string& path) {
    TMemoryStream stream;
    stream.LoadFromFile(path);
    return DecodePicture(stream.Data(), stream.Size());
}

void SavePNGFile(const std::string& path, const TPicture& picture) {
    const std::vector<uint8_t> bytes = EncodePNG(picture);
    if (!WriteFileAtomically(path, bytes.data(), bytes.size())) throw OrvException("Cannot write file " + path);
}

void SaveJPEGFile(const std::string& path, const TPicture& picture, int quality) {
    const std::vector<uint8_t> bytes = EncodeJPEG(picture, quality);
    if (!WriteFileAtomically(path, bytes.data(), bytes.size())) throw OrvException("Cannot write file " + path);
}
