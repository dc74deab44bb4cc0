// Whether the prepared copy of the game's archive ("temp/game.zxc") is still
// the one to use. Preparing takes a while, so it is done once and the copy
// kept; but a copy cut short by a full disk or a killed write would make
// every later start fail, and a copy made from an older "game.zxc" would
// keep showing the old pictures after the game's data was replaced.
//
// So a stamp beside the copy ("temp/game.zxc.stamp") records what it was made
// from: the shipped archive's size, modification time and a checksum of its
// directory, and the size of the copy as written. At start-up a copy whose
// stamp is missing or does not match, or that does not open or whose entries
// run past its end, is prepared again, and the log says why.
//
//   std::string why = WhyPrepareAgain(source, dest);
//   if (!why.empty()) { log it; DiscardPrepared(dest); }
//   ... prepare when dest is missing ...
//   RecordPreparation(source, dest);
#pragma once

#include <cstdint>
#include <string>

// What a prepared copy was made from.
struct TPreparedStamp {
    uint64_t SourceSize = 0;
    int64_t SourceTime = 0;        // modification time, nanoseconds since 1970
    uint64_t SourceDirectory = 0;  // checksum of the header and directory bytes
    uint64_t PreparedSize = 0;

    bool operator==(const TPreparedStamp&) const = default;

    // The stamp as text ("Key=Value" lines) and back; Parse is false for
    // anything that is not a complete stamp.
    std::string ToText() const;
    static bool Parse(const std::string& text, TPreparedStamp& out);
};

// The stamp file of a prepared copy: dest + ".stamp".
std::string StampPathOf(const std::string& dest);

// The source's side of a stamp (size, time, directory checksum). False when
// the source cannot be read.
bool DescribeSource(const std::string& source, TPreparedStamp& out);

// Empty when dest is a sound preparation of source as it is now; otherwise
// why it must be prepared again, in words for the log. Never throws; a
// missing source gives an empty answer (the preparation itself reports it).
std::string WhyPrepareAgain(const std::string& source, const std::string& dest);

// Removes a prepared copy and its stamp so that the next preparation makes
// them anew. False when dest is still there afterwards.
bool DiscardPrepared(const std::string& dest);

// Writes the stamp of a preparation just made (atomically). False when it
// cannot be written; the copy is then prepared again at the next start.
bool RecordPreparation(const std::string& source, const std::string& dest);
