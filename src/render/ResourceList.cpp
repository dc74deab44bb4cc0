#include "render/ResourceList.h"

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvParallel.h"
#include "base/SFunctions.h"
#include "render/SurfEngine.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace {

bool EndsWithPng(const std::string& name) {
    if (name.size() < 3) return false;
    const char* tail = name.c_str() + name.size() - 3;
    return (tail[0] | 0x20) == 'p' && (tail[1] | 0x20) == 'n' && (tail[2] | 0x20) == 'g';
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

std::string FoldAZ(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

int32_t RoundedPercent(size_t index, size_t total) {
    return int32_t(std::nearbyint(double(index) * 100.0 / double(total)));
}

}  // namespace

TResourceList::TResourceList(std::string programFolder, std::unique_ptr<TSurfEngine>& engine)
    : engine_(engine), programFolder_(std::move(programFolder)) {
    if (!programFolder_.empty() && programFolder_.back() != '/') programFolder_ += '/';
}

TResourceList::~TResourceList() = default;

TSurfEngine& TResourceList::Engine() const {
    if (!engine_) throw OrvException("[TResourceList] No surface engine");
    return *engine_;
}

void TResourceList::AddArchive(const std::string& path) {
    Archives.push_back(std::make_unique<TFileFolder>(path));
}

bool TResourceList::LoadPNGFromArchive(TFileFolder& archive, const std::string& name, const std::string& fileName) {
    return LoadFromArchive(archive, name, fileName);
}

bool TResourceList::LoadJPEGFromArchive(TFileFolder& archive, const std::string& name, const std::string& fileName) {
    return LoadFromArchive(archive, name, fileName);
}

bool TResourceList::LoadPNGFromFile(const std::string& name, const std::string& path) {
    return LoadFromFile(name, path, path);
}

bool TResourceList::LoadJPEGFromFile(const std::string& name, const std::string& path) {
    return LoadFromFile(name, path, path);
}

void TResourceList::KeepDecoded(TFileFolder& archive, const std::string& listName,
                                std::map<std::string, std::shared_ptr<TPicture>> pictures) {
    predecoded_.clear();
    std::vector<std::string> names;
    try {
        names = ListLines(archive, listName);
    } catch (const OrvException&) {
        return;  // no list: nothing is worth keeping
    }
    for (const std::string& name : names) {
        auto it = pictures.find(FoldAZ(name));
        if (it != pictures.end() && it->second) predecoded_.insert(std::move(*it));
    }
}

std::shared_ptr<TPicture> TResourceList::GivenPicture(const std::string& fileName, bool take) {
    if (predecoded_.empty()) return nullptr;
    auto it = predecoded_.find(FoldAZ(fileName));
    if (it == predecoded_.end()) return nullptr;
    std::shared_ptr<TPicture> picture = it->second;
    if (take) predecoded_.erase(it);
    return picture;
}

bool TResourceList::LoadFromArchive(TFileFolder& archive, const std::string& name, const std::string& fileName) {
    const int index = archive.IndexOf(fileName);
    if (index < 0) return false;
    // Kept: another name may stand for the same entry.
    if (const std::shared_ptr<TPicture> given = GivenPicture(fileName, false))
        return Register(name, fileName, *given, true);
    TMemFile& slot = archive.Files[size_t(index)];
    if (slot.State != fsAdded) archive.LoadFile(fileName);
    TPicture picture;
    TPictureFormat format = SniffPicture(slot.Stream->Data(), slot.Stream->Size());
    try {
        picture = DecodePicture(slot.Stream->Data(), slot.Stream->Size());
    } catch (const OrvException& e) {
        throw OrvException("[TResourceList.Load] Cannot load picture " + fileName + ": " + e.Message());
    }
    // The decoded surface is what stays; the archive reads the entry again
    // whenever someone asks for it, so its packed bytes need not linger. The
    // slot is marked unread with them, so a save of the archive reads the
    // entry again instead of writing it empty.
    if (slot.State == fsLoaded) {
        // Clearing alone keeps the bytes' capacity: every picture ever
        // loaded would hold its packed size for the rest of the run.
        std::vector<uint8_t>().swap(slot.Stream->Bytes());
        slot.Stream->Clear();
        slot.State = fsNotLoaded;
    }
    return Register(name, fileName, picture, format == pfPNG);
}

bool TResourceList::LoadFromFile(const std::string& name, const std::string& path, const std::string& fileName) {
    if (!FileExists(path)) return false;
    TMemoryStream stream;
    stream.LoadFromFile(path);
    TPicture picture;
    try {
        picture = DecodePicture(stream.Data(), stream.Size());
    } catch (const OrvException& e) {
        throw OrvException("[TResourceList.Load] Cannot load picture " + path + ": " + e.Message());
    }
    return Register(name, fileName, picture, SniffPicture(stream.Data(), stream.Size()) == pfPNG);
}

bool TResourceList::Register(const std::string& name, const std::string& fileName, const TPicture& picture,
                             bool isPNG) {
    TSurfEngine& engine = Engine();
    SurfaceRecord record;
    if (!BuildRecord(name, fileName, picture, isPNG, record)) return false;
    engine.AddSurface(std::move(record));
    return true;
}

bool TResourceList::BuildRecord(const std::string& name, const std::string& fileName, const TPicture& picture,
                                bool isPNG, SurfaceRecord& record) const {
    const TSurfEngine& engine = Engine();
    record.Name = name;
    record.FileName = fileName;
    record.Width = picture.Width;
    record.Height = picture.Height;
    if (isPNG) {
        // PNGs always get an alpha map so they are drawn through blending;
        // without alpha samples it is fully opaque.
        record.AlphaStride = picture.Width;
        const size_t count = size_t(picture.Width) * size_t(picture.Height);
        record.AlphaMap.assign(count, 255);
        if (picture.HasAlpha()) {
            const int32_t ch = picture.Channels;
            for (size_t i = 0; i < count; ++i) record.AlphaMap[i] = picture.Pixels[i * ch + ch - 1];
        }
    }
    if (!engine.NewSurface(picture.Width, picture.Height, record)) return false;
    ConvertToSurface(picture, record);
    return true;
}

void TResourceList::ConvertToSurface(const TPicture& picture, SurfaceRecord& record) const {
    if (!record.Bits || record.Width != picture.Width || record.Height != picture.Height || picture.Empty()) return;
    const TSurfEngine& engine = Engine();
    const int bytes = engine.Format().BytesPerPixel();
    const int rShift = engine.RedShift(), gShift = engine.GreenShift(), bShift = engine.BlueShift();
    // 16-bit pixels keep the top bits of each channel (truncated, not
    // rounded); wider formats keep all eight.
    const int rDrop = bytes == 2 ? 8 - engine.RedBits() : 0;
    const int gDrop = bytes == 2 ? 8 - engine.GreenBits() : 0;
    const int bDrop = bytes == 2 ? 8 - engine.BlueBits() : 0;
    const int32_t ch = picture.Channels;
    const int gi = ch >= 3 ? 1 : 0, bi = ch >= 3 ? 2 : 0;
    for (int32_t y = 0; y < picture.Height; ++y) {
        const uint8_t* src = picture.Row(y);
        uint8_t* dst = record.Bits + size_t(y) * size_t(record.Pitch);
        for (int32_t x = 0; x < picture.Width; ++x, src += ch, dst += bytes) {
            const uint32_t pixel = (uint32_t(src[0] >> rDrop) << rShift) + (uint32_t(src[gi] >> gDrop) << gShift) +
                                   (uint32_t(src[bi] >> bDrop) << bShift);
            if (bytes == 2) {
                const uint16_t p16 = uint16_t(pixel);
                std::memcpy(dst, &p16, 2);
            } else if (bytes == 3) {
                dst[0] = uint8_t(pixel), dst[1] = uint8_t(pixel >> 8), dst[2] = uint8_t(pixel >> 16);
            } else {
                std::memcpy(dst, &pixel, 4);
            }
        }
    }
}

void TResourceList::ReportProgress(int32_t percent) const {
    if (engine_ && engine_->ProgressCallback) engine_->ProgressCallback(percent);
}

std::vector<std::string> TResourceList::ListLines(TFileFolder& archive, const std::string& listName) {
    TMemoryStream* list = archive.Stream(listName);
    if (!list) throw OrvException("[TResourceList.LoadSurfacesList] Cannot find " + listName);
    std::vector<std::string> names;
    const std::string text = list->AsString();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        if (!line.empty()) names.push_back(std::move(line));
        start = end + 1;
    }
    return names;
}

void TResourceList::LoadSurfacesList(TFileFolder& archive, const std::string& listName) {
    TSurfEngine& engine = Engine();
    for (const std::string& name : PreloadPictures) {
        if (engine.FindSurface(name) >= 0) continue;
        try {
            LoadFromArchive(archive, name, name);
        } catch (const OrvException&) {
            // already in the log; the game goes on without this picture
        }
    }
    if (AfterPreload) AfterPreload();

    const std::vector<std::string> names = ListLines(archive, listName);
    const unsigned threads = Threads > 0 ? Threads : CoreCount();
    // Whatever was given and not used goes, however the loading ends.
    struct TForget {
        std::map<std::string, std::shared_ptr<TPicture>>& Pictures;
        ~TForget() { Pictures.clear(); }
    } forget{predecoded_};
    if (threads <= 1)
        LoadListOneByOne(archive, names);
    else
        LoadListOnEveryCore(archive, names, threads);
}

void TResourceList::LoadListOneByOne(TFileFolder& archive, const std::vector<std::string>& names) {
    TSurfEngine& engine = Engine();
    const size_t count = names.size();
    const size_t step = count / 20;
    size_t threshold = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i >= threshold) {
            ReportProgress(RoundedPercent(i, count));
            threshold += step;
        }
        if (engine.FindSurface(names[i]) >= 0) continue;  // the first registration wins
        try {
            if (EndsWithPng(names[i]))
                LoadPNGFromArchive(archive, names[i], names[i]);
            else
                LoadJPEGFromArchive(archive, names[i], names[i]);
        } catch (const OrvException&) {
            // already in the log; the game goes on without this picture
        }
    }
}

// What the list asks for: for each line the archive entry it decodes (an
// index into Entries) or none, and for each entry to decode its bytes and,
// once decoded, its picture.
struct TResourceList::TListPlan {
    static constexpr size_t kNone = SIZE_MAX;
    struct TEntry {
        size_t Index = 0;                 // in the archive
        size_t FirstLine = 0;             // the first line that uses it, whose surface the threads make
        size_t LastLine = 0;              // the last line that uses it
        bool Unreadable = false;          // the archive could not read it (and logged why)
        std::shared_ptr<TPicture> Given;  // decoded before: neither read nor decoded again
        TPicture Picture;
        bool IsPNG = false;
        std::string Failure;  // why it did not decode
        std::exception_ptr Error;
        SurfaceRecord Made;  // for FirstLine
        bool MadeOk = false;
    };
    std::vector<size_t> LineEntry;
    std::vector<TEntry> Entries;
};

void TResourceList::LoadListOnEveryCore(TFileFolder& archive, const std::vector<std::string>& names, unsigned threads) {
    TSurfEngine& engine = Engine();
    const size_t count = names.size();
    // Which lines load what, worked out before any is loaded: a line whose
    // name is registered already, or named by an earlier line, is skipped
    // as it would be when its turn came; lines naming one entry (names
    // differing in case) share its decoding.
    TListPlan plan;
    plan.LineEntry.assign(count, TListPlan::kNone);
    std::set<std::string> named;
    std::map<size_t, size_t> entryOfIndex;
    for (size_t i = 0; i < count; ++i) {
        if (engine.FindSurface(names[i]) >= 0 || !named.insert(names[i]).second) continue;
        const int index = archive.IndexOf(names[i]);
        if (index < 0) continue;
        auto [it, fresh] = entryOfIndex.emplace(size_t(index), plan.Entries.size());
        if (fresh) {
            TListPlan::TEntry entry;
            entry.Index = size_t(index);
            entry.FirstLine = i;
            entry.Given = GivenPicture(names[i], true);  // every line naming it shares this entry
            plan.Entries.push_back(std::move(entry));
        }
        plan.LineEntry[i] = it->second;
        plan.Entries[it->second].LastLine = i;
    }
    // Reading stays on this thread: the archive is not shared. The threads
    // then only read the bytes in memory.
    for (TListPlan::TEntry& entry : plan.Entries) {
        if (entry.Given) continue;
        try {
            if (archive.Files[entry.Index].State != fsAdded) archive.LoadFileAt(entry.Index);
        } catch (const OrvException&) {
            entry.Unreadable = true;
        }
    }
    // The threads decode each entry and make the surface of its first line;
    // the pixels are kept only for further lines naming the same entry.
    const auto decode = [&](size_t k) {
        TListPlan::TEntry& entry = plan.Entries[k];
        if (entry.Unreadable) return;
        try {
            if (!entry.Given) {
                const TMemoryStream& bytes = *archive.Files[entry.Index].Stream;
                entry.IsPNG = SniffPicture(bytes.Data(), bytes.Size()) == pfPNG;
                entry.Picture = DecodePicture(bytes.Data(), bytes.Size());
            }
            const std::string& name = names[entry.FirstLine];
            const TPicture& picture = entry.Given ? *entry.Given : entry.Picture;
            entry.MadeOk = BuildRecord(name, name, picture, entry.Given || entry.IsPNG, entry.Made);
            if (entry.LastLine == entry.FirstLine) {
                entry.Picture = TPicture();
                entry.Given.reset();
            }
        } catch (const OrvException& e) {
            entry.Failure = e.Message();
        } catch (...) {
            entry.Error = std::current_exception();
        }
    };
    // Lines are registered in order as the entries they need come in, with
    // the progress of one line after another.
    const size_t step = count / 20;
    size_t threshold = 0;
    size_t line = 0;
    const auto registerLinesUpTo = [&](size_t lastEntry) {
        for (; line < count; ++line) {
            const size_t k = plan.LineEntry[line];
            if (k != TListPlan::kNone && k > lastEntry) return;
            if (line >= threshold) {
                ReportProgress(RoundedPercent(line, count));
                threshold += step;
            }
            if (k == TListPlan::kNone) continue;
            TListPlan::TEntry& entry = plan.Entries[k];
            if (entry.Error) std::rethrow_exception(entry.Error);
            if (entry.Unreadable) continue;
            try {
                if (!entry.Failure.empty())
                    throw OrvException("[TResourceList.Load] Cannot load picture " + names[line] + ": " +
                                       entry.Failure);
                if (line == entry.FirstLine) {
                    if (entry.MadeOk) engine.AddSurface(std::move(entry.Made));
                } else if (entry.Given) {
                    Register(names[line], names[line], *entry.Given, true);
                } else {
                    Register(names[line], names[line], entry.Picture, entry.IsPNG);
                }
            } catch (const OrvException&) {
                // already in the log; the game goes on without this picture
            }
            if (entry.LastLine == line) {
                entry.Picture = TPicture();
                entry.Given.reset();
            }
        }
    };
    ForEachInOrder(plan.Entries.size(), threads, decode, registerLinesUpTo);
    registerLinesUpTo(TListPlan::kNone);
    // The decoded surfaces are what stays; the archive reads an entry again
    // whenever someone asks for it (see LoadFromArchive).
    for (const TListPlan::TEntry& entry : plan.Entries) {
        TMemFile& slot = archive.Files[entry.Index];
        // A picture that did not decode keeps its bytes, as when it is
        // loaded alone.
        if (entry.Given || slot.State != fsLoaded || !entry.Failure.empty()) continue;
        std::vector<uint8_t>().swap(slot.Stream->Bytes());
        slot.Stream->Clear();
        slot.State = fsNotLoaded;
    }
}

void TResourceList::ReinitSurfaces(TFileFolder& archive, const std::string& programFolder,
                                   const std::string& reloadFirst) {
    TSurfEngine& engine = Engine();
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';

    // Rebuilds one record; false only when a created surface cannot be made
    // again, which ends the rebuild.
    const auto rebuild = [&](const std::string& name, const std::string& fileName, int32_t width, int32_t height) {
        if (fileName.empty()) {
            if (!engine.CreateEmptySurface(name, width, height)) return false;
            engine.DeleteSurface(name);  // the old record comes first
            return true;
        }
        engine.DeleteSurface(name);
        try {
            if (archive.IndexOf(fileName) >= 0)
                LoadFromArchive(archive, name, fileName);
            else
                LoadFromFile(name, fileName.front() == '/' ? fileName : folder + fileName, fileName);
        } catch (const OrvException&) {
            // already in the log; the picture is dropped
        }
        return true;
    };

    for (int i = 1; i <= 255; ++i) {
        const std::string word = GetWord(reloadFirst, i);
        if (word == EndOfWords) break;
        const SurfaceRecord* record = engine.GetSurface(word);
        if (!record) continue;
        const std::string fileName = record->FileName;
        const int32_t width = record->Width, height = record->Height;
        if (!rebuild(word, fileName, width, height)) return;
    }

    struct TPending {
        std::string Name, FileName;
        int32_t Width, Height;
    };
    std::vector<TPending> pending;
    for (size_t i = 0; i < engine.SurfaceCount(); ++i) {
        const SurfaceRecord& r = engine.SurfaceAt(i);
        if (!r.Surface) pending.push_back({r.Name, r.FileName, r.Width, r.Height});
    }
    // Records are rebuilt front to back and each new one is appended, so the
    // list ends in its previous order.
    const size_t last = pending.empty() ? 0 : pending.size() - 1;
    const size_t step = last / 20;
    size_t threshold = 0;
    for (size_t i = 0; i < pending.size(); ++i) {
        if (!rebuild(pending[i].Name, pending[i].FileName, pending[i].Width, pending[i].Height)) return;
        if (last > 0 && i > threshold) {
            ReportProgress(RoundedPercent(i, last));
            threshold += step;
        }
    }
}
