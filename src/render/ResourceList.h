// TResourceList: turns picture files into named surfaces of the surface
// engine and rebuilds them after a display change.
//
// Pictures come from a resource archive or from files. A PNG gets an alpha
// map (its own alpha samples, or all 255 when its colour type has no alpha,
// so it is still drawn through the blending path); a JPEG gets none and is
// copied opaque. "surfaces.dat" in the archive lists, one per line, every
// picture to load at start-up; the record's Name and File name are the line.
//
// Whether a file is read as PNG or JPEG is decided by its content, so a
// picture stored under the "wrong" extension still loads; the extension only
// decides which names the list and the rebuild try (see the functions).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/PictureCodec.h"

class TFileFolder;
class TSurfEngine;
struct SurfaceRecord;

class TResourceList {
public:
    // programFolder gets a trailing "/" when it lacks one. engine is the
    // variable that holds (or will hold) the game's surface engine; it must
    // outlive the list. Loading while it holds no engine throws OrvException.
    TResourceList(std::string programFolder, std::unique_ptr<TSurfEngine>& engine);
    ~TResourceList();
    TResourceList(const TResourceList&) = delete;
    TResourceList& operator=(const TResourceList&) = delete;

    // Opens the archive file and appends it to Archives (owned). Throws the
    // archive's OrvException when it cannot be opened.
    void AddArchive(const std::string& path);

    // The four picture loaders. Each decodes the picture and registers it
    // under name with fileName (archive entry or path) as its File name; they
    // do not look for an existing record of that name (callers delete or
    // skip it first). They return false, registering nothing, when the entry
    // or file does not exist or the surface cannot be created. A picture
    // that does not decode raises OrvException "[TResourceList.Load] Cannot
    // load picture " + fileName + ": " + reason; CreateSurface's own
    // exception passes through.
    bool LoadPNGFromArchive(TFileFolder& archive, const std::string& name, const std::string& fileName);
    bool LoadPNGFromFile(const std::string& name, const std::string& path);
    bool LoadJPEGFromArchive(TFileFolder& archive, const std::string& name, const std::string& fileName);
    bool LoadJPEGFromFile(const std::string& name, const std::string& path);

    // Writes the picture's pixels into the record's surface in the engine's
    // pixel format (16-bit: channels truncated to the mask widths; 24 and
    // 32-bit: 8 bits each). The record's Width and Height must match the
    // picture and it must have a surface; otherwise nothing is written.
    void ConvertToSurface(const TPicture& picture, SurfaceRecord& record) const;

    // Loads every picture listed in the archive's entry listName that is not
    // registered yet, in list order: names ending in "png" (any case) with
    // the PNG loader, others with the JPEG loader. PreloadPictures are loaded
    // first and AfterPreload called, so the loading screen can show progress
    // at once. The engine's ProgressCallback gets the percentage about 20
    // times. A picture that fails to decode is logged and skipped. Throws
    // OrvException "[TResourceList.LoadSurfacesList] Cannot find " +
    // listName when the archive lacks the list.
    // Pictures are decoded on Threads threads while this thread registers
    // them in list order and reports progress; each archive entry is decoded
    // once even when several lines name it. The surfaces, their order and
    // the progress are those of one thread, whatever the count.
    void LoadSurfacesList(TFileFolder& archive, const std::string& listName = "surfaces.dat");

    // Threads that decode the picture list: 0 (the default) every core; 1
    // one picture after another on the calling thread (the reference).
    unsigned Threads = 0;

    // Pixels of archive entries decoded already (the preparation of the
    // archive has them), keyed by entry name with a-z folded to A-Z: the
    // loaders take them instead of decoding the entry, once each. Only those
    // named in the archive's listName are kept; the rest are let go now.
    // Each must be exactly what decoding its entry would give. Forgotten
    // at the end of LoadSurfacesList.
    void KeepDecoded(TFileFolder& archive, const std::string& listName,
                     std::map<std::string, std::shared_ptr<TPicture>> pictures);

    // Rebuilds every surface after a display change (the caller has released
    // them and re-created the engine's display). First each blank-separated
    // word of reloadFirst (at most 255) that is registered is deleted and
    // loaded again, so the loading screen can be drawn at once. Then every
    // record without a surface is rebuilt, keeping the order of the list: a
    // created surface (empty File name) gets a new blank surface of its size
    // without alpha map (if that fails the rebuild stops); a loaded picture
    // is read again from the archive, else from programFolder + File name
    // (or the File name itself when it is an absolute path).
    // A picture that can no longer be found is dropped.
    void ReinitSurfaces(TFileFolder& archive, const std::string& programFolder, const std::string& reloadFirst);

    // Names loaded before the list, e.g. the progress bar's pictures and
    // "OrvUnicode.png", and the hook run after them.
    std::vector<std::string> PreloadPictures;
    std::function<void()> AfterPreload;

    std::vector<std::unique_ptr<TFileFolder>> Archives;
    const std::string& ProgramFolder() const { return programFolder_; }

private:
    struct TListPlan;
    // The list's lines, trimmed, without blank ones.
    static std::vector<std::string> ListLines(TFileFolder& archive, const std::string& listName);
    void LoadListOneByOne(TFileFolder& archive, const std::vector<std::string>& names);
    void LoadListOnEveryCore(TFileFolder& archive, const std::vector<std::string>& names, unsigned threads);
    bool LoadFromArchive(TFileFolder& archive, const std::string& name, const std::string& fileName);
    // Reads path, registering fileName as the record's File name.
    bool LoadFromFile(const std::string& name, const std::string& path, const std::string& fileName);
    bool Register(const std::string& name, const std::string& fileName, const TPicture& picture, bool isPNG);
    // The record Register would add (its alpha map and its surface with the
    // pixels converted), without adding it: safe on several threads at once.
    // False when no surface can be had.
    bool BuildRecord(const std::string& name, const std::string& fileName, const TPicture& picture, bool isPNG,
                     SurfaceRecord& record) const;
    void ReportProgress(int32_t percent) const;
    // The engine the variable holds; OrvException "[TResourceList] No
    // surface engine" while it holds none.
    TSurfEngine& Engine() const;

    // The given pixels of the entry named fileName, or nullptr; take lets
    // go of them here, so they live only as long as the caller keeps them.
    std::shared_ptr<TPicture> GivenPicture(const std::string& fileName, bool take);

    std::unique_ptr<TSurfEngine>& engine_;
    std::string programFolder_;
    std::map<std::string, std::shared_ptr<TPicture>> predecoded_;
};
