#include "media/PNGMorf.h"

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/SFunctions.h"
#include "media/AutoImage.h"
#include "render/PictureCodec.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr uint16_t kKindScript = 1;
constexpr uint16_t kKindPicture = 2;

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

void AddBytes(TFileFolder& dest, const std::string& name, uint16_t kind, const TMemoryStream& bytes) {
    TMemoryStream copy(bytes.Bytes());
    dest.AddFile(name, kind, copy);
}

// The partner entry a packed picture needs; "File ... does not exist!" when
// the archive lacks it.
TMemoryStream& Partner(TFileFolder& source, const std::string& name) {
    TMemoryStream* stream = source.Stream(name);
    if (!stream) throw OrvException("File " + name + " does not exist!");
    return *stream;
}

}  // namespace

TPNGMorf::TPNGMorf(int32_t quality) : Quality(std::clamp(quality, 0, 100)) {}

void CreateFoldersFor(const std::string& path) {
    for (size_t i = path.find('/', 1); i != std::string::npos; i = path.find('/', i + 1)) {
        const std::string folder = path.substr(0, i);
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec)) continue;
        if (!std::filesystem::create_directory(folder, ec) && !std::filesystem::is_directory(folder, ec))
            throw OrvException("Cannot create folder " + folder);
    }
}

void TPNGMorf::Run() {
    for (const std::string& line : Commands) {
        const std::string source = AttrValueOf(line, "Source");
        if (!FileExists(source)) throw OrvException("Can not find file " + source + "!");
        const std::string dest = AttrValueOf(line, "Dest");
        if (dest.empty()) throw OrvException("[TPNGMorf.Run] No Dest in command line: " + line);
        std::error_code ec;
        if (std::filesystem::exists(dest, ec)) continue;  // prepared before
        CreateFoldersFor(dest);
        ProcessArchive(source, dest);
    }
}

void TPNGMorf::ProcessArchive(const std::string& source, const std::string& dest) {
    TFileFolder input(source);
    TFileFolder output = TFileFolder::CreateNew(dest);
    ConvertArchive(input, output);
    output.SaveToFile();
}

void TPNGMorf::ConvertArchive(TFileFolder& source, TFileFolder& dest) {
    const size_t count = source.Dir.size();
    for (size_t i = 0; i < count; ++i) {
        if (count > 1 && Progress) Progress(source.FileName(), int32_t(i * 100 / (count - 1)));
        const std::string name = source.Dir[i].Name;
        const uint16_t kind = source.Dir[i].Kind;
        if (source.Files[i].State == fsNotLoaded) source.LoadFile(name);
        const TMemoryStream& data = *source.Files[i].Stream;

        const size_t dot = name.find('.');
        const std::string base = name.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);

        if (ext == "PNG") {
            TMemoryStream jpeg, alpha;
            try {
                SplitPicture(data, Quality, jpeg, alpha);
            } catch (const OrvException& e) {
                // A picture that cannot be packed must not vanish from the
                // result without a word: stop the whole conversion.
                throw OrvException("[TPNGMorf.ProcessArchive] Cannot split picture " + name + ": " + e.Message());
            }
            AddBytes(dest, base + "._JPG", kKindPicture, jpeg);
            AddBytes(dest, base + "._PNG", kKindPicture, alpha);
        } else if (ext == "PnG") {
            const TMemoryStream& colour = Partner(source, base + ".jpg");
            TMemoryStream jpeg, alpha;
            try {
                SplitPicture(data, Quality, jpeg, alpha);
            } catch (const OrvException& e) {
                throw OrvException("[TPNGMorf.ProcessArchive] Cannot split picture " + name + ": " + e.Message());
            }
            AddBytes(dest, base + "._PnG", kKindPicture, alpha);
            AddBytes(dest, base + "._jpg", kKindPicture, colour);
        } else if (ext == "aim") {
            AddBytes(dest, base + "._aim", kKindScript, data);
        } else if (ext == "_aim") {
            AddBytes(dest, base + ".aim", kKindScript, data);
        } else if (ext == "_PNG") {
            TMemoryStream png;
            JoinPicture(Partner(source, base + "._JPG"), data, png);
            AddBytes(dest, base + ".PNG", kKindPicture, png);
        } else if (ext == "_PnG") {
            TMemoryStream png;
            JoinPicture(Partner(source, base + "._jpg"), data, png);
            AddBytes(dest, base + ".PnG", kKindPicture, png);
        } else if (ext == "_jpg" || ext == "_JPG" || ext == "pNg") {
            // consumed by their partners, or made again from the script
        } else {
            AddBytes(dest, name, kind, data);
        }
    }

    const size_t scripts = dest.Dir.size();
    for (size_t i = 0; i < scripts; ++i) {
        const std::string& name = dest.Dir[i].Name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".aim") != 0) continue;
        RunAutoImage(*dest.Files[i].Stream, dest, name);
    }
}

void TPNGMorf::SplitPicture(const TMemoryStream& png, int32_t quality, TMemoryStream& jpeg, TMemoryStream& alpha) {
    const TPicture picture = DecodePNG(png.Data(), png.Size());
    jpeg = TMemoryStream(EncodeJPEG(ConvertChannels(picture, 3), quality));
    TPicture grey = TPicture::Create(picture.Width, picture.Height, 1, 255);
    if (picture.HasAlpha()) {
        const size_t count = size_t(picture.Width) * size_t(picture.Height);
        const int32_t ch = picture.Channels;
        for (size_t i = 0; i < count; ++i) grey.Pixels[i] = picture.Pixels[i * ch + ch - 1];
    }
    alpha = TMemoryStream(EncodePNG(grey));
}

void TPNGMorf::AddSplitPicture(TFileFolder& dest, const std::string& name, const TMemoryStream& png, int32_t quality) {
    TMemoryStream jpeg, alpha;
    try {
        SplitPicture(png, quality, jpeg, alpha);
    } catch (const OrvException& e) {
        throw OrvException("[TPNGMorf.AddSplitPicture] Cannot split picture " + name + ": " + e.Message());
    }
    const std::string base = name.substr(0, name.find('.'));
    dest.AddFile(base + "._JPG", kKindPicture, jpeg);
    dest.AddFile(base + "._PNG", kKindPicture, alpha);
}

void TPNGMorf::JoinPicture(const TMemoryStream& jpeg, const TMemoryStream& alpha, TMemoryStream& png) {
    const TPicture colour = DecodeJPEG(jpeg.Data(), jpeg.Size());
    TPicture grey = DecodePNG(alpha.Data(), alpha.Size());
    if (grey.Channels != 1) grey = ConvertChannels(grey, 1);
    if (grey.Width != colour.Width || grey.Height != colour.Height)
        throw OrvException("[TPNGMorf.JoinPicture] Alpha " + std::to_string(grey.Width) + "x" +
                           std::to_string(grey.Height) + " does not match colour " + std::to_string(colour.Width) +
                           "x" + std::to_string(colour.Height));
    TPicture out = ConvertChannels(colour, 4);
    const size_t count = size_t(out.Width) * size_t(out.Height);
    for (size_t i = 0; i < count; ++i) out.Pixels[i * 4 + 3] = grey.Pixels[i];
    png = TMemoryStream(EncodePNG(out));
}

void TPNGMorf::RunAutoImage(const TMemoryStream& script, TFileFolder& archive, const std::string& scriptName) {
    TAutoImage image(archive, scriptName);
    image.Run(std::string_view(reinterpret_cast<const char*>(script.Data()), script.Size()));
}
