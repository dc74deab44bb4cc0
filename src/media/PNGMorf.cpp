#include "media/PNGMorf.h"

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvParallel.h"
#include "base/SFunctions.h"
#include "media/AutoImage.h"
#include "render/PictureCodec.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

namespace {

constexpr uint16_t kKindScript = 1;
constexpr uint16_t kKindPicture = 2;

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
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

namespace {

// What one source entry becomes: the entries to add in order, or the error
// that stops the conversion; joined pictures keep their decoded pixels so
// the AutoImage scripts need not decode them again.
struct TEntryResult {
    struct TOut {
        std::string Name;
        uint16_t Kind = 0;
        TMemoryStream Bytes;
        std::shared_ptr<TPicture> Decoded;
    };
    std::vector<TOut> Outs;
    std::exception_ptr Error;
};

// Entry names are looked up without regard to the case of A-Z.
std::string FoldAZ(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// One source entry converted by its extension; partner is the entry a
// packed picture is joined with (nullptr when the archive lacks it).
std::vector<TEntryResult::TOut> ConvertEntry(int32_t quality, const std::string& name, uint16_t kind,
                                             const TMemoryStream& data, const TMemoryStream* partner) {
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::vector<TEntryResult::TOut> outs;
    auto add = [&](std::string n, uint16_t k, TMemoryStream bytes, std::shared_ptr<TPicture> pixels = nullptr) {
        outs.push_back({std::move(n), k, std::move(bytes), std::move(pixels)});
    };
    auto need = [&](const char* suffix) -> const TMemoryStream& {
        if (!partner) throw OrvException("File " + base + suffix + " does not exist!");
        return *partner;
    };
    auto split = [&](TMemoryStream& jpeg, TMemoryStream& alpha) {
        try {
            TPNGMorf::SplitPicture(data, quality, jpeg, alpha);
        } catch (const OrvException& e) {
            // A picture that cannot be packed must not vanish from the
            // result without a word: stop the whole conversion.
            throw OrvException("[TPNGMorf.ProcessArchive] Cannot split picture " + name + ": " + e.Message());
        }
    };
    if (ext == "PNG") {
        TMemoryStream jpeg, alpha;
        split(jpeg, alpha);
        add(base + "._JPG", kKindPicture, std::move(jpeg));
        add(base + "._PNG", kKindPicture, std::move(alpha));
    } else if (ext == "PnG") {
        const TMemoryStream& colour = need(".jpg");
        TMemoryStream jpeg, alpha;
        split(jpeg, alpha);
        add(base + "._PnG", kKindPicture, std::move(alpha));
        add(base + "._jpg", kKindPicture, TMemoryStream(colour.Bytes()));
    } else if (ext == "aim") {
        add(base + "._aim", kKindScript, TMemoryStream(data.Bytes()));
    } else if (ext == "_aim") {
        add(base + ".aim", kKindScript, TMemoryStream(data.Bytes()));
    } else if (ext == "_PNG" || ext == "_PnG") {
        const TMemoryStream& colour = need(ext == "_PNG" ? "._JPG" : "._jpg");
        TMemoryStream png;
        auto pixels = std::make_shared<TPicture>();
        TPNGMorf::JoinPicture(colour, data, png, pixels.get());
        add(base + (ext == "_PNG" ? ".PNG" : ".PnG"), kKindPicture, std::move(png), std::move(pixels));
    } else if (ext == "_jpg" || ext == "_JPG" || ext == "pNg") {
        // consumed by their partners, or made again from the script
    } else {
        add(name, kind, TMemoryStream(data.Bytes()));
    }
    return outs;
}

// Runs the AutoImage scripts of dest on up to workers threads and adds their
// pictures in script order.
void RunScripts(TFileFolder& dest, const std::map<std::string, std::shared_ptr<TPicture>>& decoded, unsigned workers) {
    std::vector<size_t> scripts;
    for (size_t i = 0; i < dest.Dir.size(); ++i) {
        const std::string& name = dest.Dir[i].Name;
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".aim") == 0) scripts.push_back(i);
    }
    if (workers <= 1) {
        for (size_t i : scripts) TPNGMorf::RunAutoImage(*dest.Files[i].Stream, dest, dest.Dir[i].Name);
        return;
    }
    // Every script runs at once against the archive as it is before any of
    // them; the first entry of a name wins, as in the archive's own lookup.
    std::map<std::string, const TMemoryStream*> entries;
    for (size_t i = 0; i < dest.Dir.size(); ++i) entries.emplace(FoldAZ(dest.Dir[i].Name), dest.Files[i].Stream.get());
    struct TScriptResult {
        TMemoryStream Bytes;
        std::string Output;
        std::exception_ptr Error;
    };
    std::vector<TScriptResult> made(scripts.size());
    auto run = [&](size_t k) {
        const size_t i = scripts[k];
        try {
            TAutoImage image(dest, dest.Dir[i].Name);
            image.FindEntry = [&entries](const std::string& n) -> const TMemoryStream* {
                const auto it = entries.find(FoldAZ(n));
                return it == entries.end() ? nullptr : it->second;
            };
            image.FindDecoded = [&decoded](const std::string& n) -> const TPicture* {
                const auto it = decoded.find(FoldAZ(n));
                return it == decoded.end() ? nullptr : it->second.get();
            };
            const TMemoryStream& script = *dest.Files[i].Stream;
            made[k].Bytes = image.Make(std::string_view(reinterpret_cast<const char*>(script.Data()), script.Size()));
            made[k].Output = image.OutputName() + ".pNg";
        } catch (...) {
            made[k].Error = std::current_exception();
        }
    };
    ForEachItem(scripts.size(), workers, run, nullptr);
    // In script order: a script that failed, perhaps because it uses the
    // picture of an earlier script, runs again now that the earlier results
    // are in, exactly as one script after another would have run.
    for (size_t k = 0; k < scripts.size(); ++k) {
        if (made[k].Error) {
            TPNGMorf::RunAutoImage(*dest.Files[scripts[k]].Stream, dest, dest.Dir[scripts[k]].Name);
            continue;
        }
        dest.AddFile(made[k].Output, kKindPicture, made[k].Bytes);
    }
}

}  // namespace

unsigned TPNGMorf::WorkerCount() const {
    return Threads > 0 ? Threads : CoreCount();
}

void TPNGMorf::ConvertArchive(TFileFolder& source, TFileFolder& dest) {
    const size_t count = source.Dir.size();
    // Reading stays on this thread; the pictures are then worked on every
    // core, and the results go into the archive in the source's order.
    for (size_t i = 0; i < count; ++i)
        if (source.Files[i].State == fsNotLoaded) source.LoadFile(source.Dir[i].Name);
    // Partners are found before the work starts: looking an entry up moves
    // its stream's position, which threads must not share.
    std::vector<const TMemoryStream*> partners(count, nullptr);
    for (size_t i = 0; i < count; ++i) {
        const std::string& name = source.Dir[i].Name;
        const size_t dot = name.find('.');
        const std::string base = name.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
        const char* partner = ext == "PnG" ? ".jpg" : ext == "_PNG" ? "._JPG" : ext == "_PnG" ? "._jpg" : nullptr;
        if (partner) partners[i] = source.Stream(base + partner);
    }
    std::vector<TEntryResult> results(count);
    auto convert = [&](size_t i) {
        try {
            results[i].Outs =
                ConvertEntry(Quality, source.Dir[i].Name, source.Dir[i].Kind, *source.Files[i].Stream, partners[i]);
        } catch (...) {
            results[i].Error = std::current_exception();
        }
    };
    // The percentage of entries begun, as one entry after another reports
    // it: 0 first, 100 with the last entry, never twice the same.
    int32_t reported = -1;
    auto progress = [&](size_t done) {
        if (count <= 1 || !Progress) return;
        const int32_t percent = int32_t(std::min(done, count - 1) * 100 / (count - 1));
        if (percent == reported) return;
        reported = percent;
        Progress(source.FileName(), percent);
    };
    ForEachItem(count, WorkerCount(), convert, progress);

    std::map<std::string, std::shared_ptr<TPicture>> decoded;
    for (TEntryResult& r : results) {
        if (r.Error) std::rethrow_exception(r.Error);
        for (TEntryResult::TOut& out : r.Outs) {
            dest.AddFile(out.Name, out.Kind, out.Bytes);  // refuses a name twice
            if (out.Decoded) decoded.emplace(FoldAZ(out.Name), std::move(out.Decoded));
        }
    }
    // One thread is the reference path: scripts decode every picture.
    const std::map<std::string, std::shared_ptr<TPicture>> none;
    RunScripts(dest, WorkerCount() > 1 ? decoded : none, WorkerCount());
    Decoded.clear();
    if (KeepDecoded) Decoded = std::move(decoded);
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

void TPNGMorf::JoinPicture(const TMemoryStream& jpeg, const TMemoryStream& alpha, TMemoryStream& png,
                           TPicture* decoded) {
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
    png = TMemoryStream(EncodePNG(out, kPreparedPngLevel, kPreparedPngFilter));
    if (decoded) *decoded = std::move(out);
}

void TPNGMorf::RunAutoImage(const TMemoryStream& script, TFileFolder& archive, const std::string& scriptName) {
    TAutoImage image(archive, scriptName);
    image.Run(std::string_view(reinterpret_cast<const char*>(script.Data()), script.Size()));
}
