// TPNGMorf: turns the shipped resource archive, whose pictures are packed,
// into a ready archive of ordinary PNG pictures, and does the opposite
// packing step for the tools.
//
// Packing conventions (an entry name splits at its first "." into base and
// extension, compared case-sensitively):
//   base.PNG   ordinary picture        <-> base._JPG (colour, JPEG)
//                                          + base._PNG (alpha, grey PNG)
//   base.PnG   colour lives in base.jpg <-> base._PnG (alpha, grey PNG)
//                                          + base._jpg (copy of base.jpg)
//   base.aim   AutoImage script         <-> base._aim
//   base.pNg   AutoImage result, never stored; made again from the script
// Everything else is copied unchanged. Running the conversion on a packed
// archive unpacks it; on an unpacked one it packs it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/OrvStream.h"
#include "render/PictureCodec.h"

class TFileFolder;

class TPNGMorf {
public:
    using TProgress = std::function<void(const std::string& text, int32_t percent)>;

    // quality is the JPEG quality used when packing, clamped to 0..100.
    explicit TPNGMorf(int32_t quality);

    // Appends one command line: Source="archive to read" Dest="archive to
    // write".
    void AddCommand(const std::string& line) { Commands.push_back(line); }

    // Processes every command line in order. A line whose Dest file exists
    // was done before and is skipped. Throws OrvException "Can not find file
    // " + Source + "!" when the source is missing, and the errors of
    // ProcessArchive; the destination is then not written, so the next run
    // tries again.
    void Run();

    // Converts the archive at source into a new archive written to dest
    // (through a temporary file and a rename). Throws OrvException "File " +
    // name + " does not exist!" when a packed picture's partner entry is
    // missing, "[TPNGMorf.ProcessArchive] Cannot split picture " + entry +
    // ": " + reason when a picture cannot be packed, and the errors of the
    // archive, the codecs and AutoImage scripts. Nothing is written on error.
    void ProcessArchive(const std::string& source, const std::string& dest);

    // Converts every entry of source into dest (already created, not saved)
    // and runs the AutoImage scripts that end up in dest, on WorkerCount()
    // threads; the result is the same, entry for entry, whatever the count.
    // Joined pictures are decoded once: the scripts take their pixels
    // instead of decoding the PNG again. The progress callback runs on the
    // calling thread and gets the source's file name and the percentage of
    // entries done. The first failing entry in the source's order decides
    // the error.
    void ConvertArchive(TFileFolder& source, TFileFolder& dest);

    // Packs a PNG picture: its colour as a JPEG at quality, its alpha as a
    // grey PNG of the same size (all 255 for a picture without alpha, so it
    // stays opaque when joined again). Throws OrvException on a bad picture.
    static void SplitPicture(const TMemoryStream& png, int32_t quality, TMemoryStream& jpeg, TMemoryStream& alpha);
    // Joins a JPEG colour picture and a grey PNG alpha of the same size into
    // a truecolour PNG with alpha; decoded, when given, receives its pixels.
    // Throws OrvException "[TPNGMorf.JoinPicture] ..." when the sizes differ
    // or a part is bad.
    static void JoinPicture(const TMemoryStream& jpeg, const TMemoryStream& alpha, TMemoryStream& png,
                            TPicture* decoded = nullptr);

    // Packs an ordinary PNG picture into an archive as the pair base + "._JPG"
    // and base + "._PNG" (kind 2), base being name up to its first ".";
    // preparation joins them back into base + ".PNG". Throws OrvException
    // "[TPNGMorf.AddSplitPicture] Cannot split picture " + name + ": " +
    // reason, or the archive's error for a duplicate or too long name.
    static void AddSplitPicture(TFileFolder& dest, const std::string& name, const TMemoryStream& png, int32_t quality);

    // Runs one AutoImage script and adds its picture to the archive
    // (see media/AutoImage.h).
    static void RunAutoImage(const TMemoryStream& script, TFileFolder& archive,
                             const std::string& scriptName = std::string());

    int32_t Quality = 90;
    // When set, ConvertArchive keeps the pixels of the pictures it joined in
    // Decoded, keyed by entry name with a-z folded to A-Z, so whoever loads
    // them next need not decode the PNGs just written.
    bool KeepDecoded = false;
    std::map<std::string, std::shared_ptr<TPicture>> Decoded;
    // Threads that convert at once: 0 (the default) every core; 1 one entry
    // after another on the calling thread.
    unsigned Threads = 0;
    unsigned WorkerCount() const;
    std::vector<std::string> Commands;
    TProgress Progress;
};

// Creates the folders of path's directory part one level at a time (path is
// a file path; its last component is not created). Throws OrvException
// "Cannot create folder " + folder on failure.
void CreateFoldersFor(const std::string& path);
