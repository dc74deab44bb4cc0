// Extra logos and links a distributor adds without touching the archive: the
// optional "AddLogo.xml" beside the program describes labels to make on the
// game's windows, each with pictures lying beside the program and a link
// target; clicking such a label opens its target with the desktop's opener.
// The title's own link reads its address from the plain text file
// "Quorvane.link" beside the program.
//
// Only http(s) addresses and files lying directly beside the program are
// ever opened: the file comes from outside the game and must not be able to
// start anything else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvMethodTable;

class TLogoLinks {
public:
    static constexpr const char* kFileName = "AddLogo.xml";
    static constexpr const char* kTitleLinkFile = "Quorvane.link";

    // Binds "AddLogoMouseUp" and the title link in table (all outlive this).
    TLogoLinks(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table);

    // What opens a target (the platform's desktop opener; tests replace it).
    std::function<bool(const std::string&)> Opener;

    // One target per child of the file's root; empty for children without
    // "URL".
    std::vector<std::string> Targets;

    // Reads ExeDir + "AddLogo.xml" when it exists and makes its labels. A
    // file that cannot be read or parsed is logged and adds nothing; an
    // entry that cannot be made (unknown parent, missing picture) is logged
    // and skipped.
    void Load();
    // Whether target may be opened: an http:// or https:// address without
    // blanks or control characters, or ExeDir + a plain file name (no
    // folder, no "..") of a regular file.
    bool Allowed(const std::string& target) const;
    // Opens Targets[index] when it is allowed (logged otherwise); false when
    // nothing was opened.
    bool Open(size_t index);
    // The title's link: the first line of ExeDir + "Quorvane.link".
    bool OpenTitleLink();

private:
    void MakeLabel(size_t index, const class TOrvXMLTag& entry);
    std::string LoadPicture(const std::string& fileName);
    std::string ResolveTarget(const class TOrvXMLTag& url) const;
    void MouseUp();

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
};
