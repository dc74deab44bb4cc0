// The XML reader, element tree and writer behind every structured data file
// of the game (parameters, scenes, saved games, the interface file, fonts,
// effects) and behind the event-script parser.
//
// Only a small subset of XML is understood: elements with double-quoted
// attributes, text content, comments and one head "<?...?>". Strings are raw
// bytes: nothing is converted between character sets, UTF-8 stays UTF-8.
//
// Reading is two passes. MakeTypifiedLines cuts the text into typed lines
// (one per text chunk or markup, prefixed by a one-character code):
//   "0" text chunk, "1" closing markup, "2" empty-element markup,
//   "3" opening markup, "4" head.
// BuildTree then turns the typed lines into the element tree.
//
// Typical use:
//   TOrvParser doc;
//   doc.LoadFromFile(path);                       // throws OrvException
//   if (TOrvXMLTag* belts = doc.FindTag("Belts"))
//       for (auto& belt : belts->Tags)
//           if (TOrvParserAttribute* a = belt->FindAttribute("Speed")) use(a->Value);
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TMemoryStream;

// One attribute of an element: a name (blanks trimmed) and the bytes that
// stood between the quotes, unchanged.
class TOrvParserAttribute {
public:
    TOrvParserAttribute() = default;
    TOrvParserAttribute(std::string name, std::string value) : Name(std::move(name)), Value(std::move(value)) {}

    std::string Name;
    std::string Value;
};

// One element. It owns its children and attributes; Parent is a plain link
// (nullptr for the document root). Elements are not copyable: use Assign for
// a deep copy.
class TOrvXMLTag {
public:
    explicit TOrvXMLTag(std::string name = std::string(), std::string value = std::string(),
                        TOrvXMLTag* parent = nullptr);
    // Frees the whole subtree without recursion, so arbitrarily deep trees
    // cannot overflow the stack.
    virtual ~TOrvXMLTag();

    TOrvXMLTag(const TOrvXMLTag&) = delete;
    TOrvXMLTag& operator=(const TOrvXMLTag&) = delete;

    std::string Name;
    // Text content; a later text chunk of the same element replaces an earlier one.
    std::string Value;
    std::vector<std::unique_ptr<TOrvXMLTag>> Tags;
    std::vector<std::unique_ptr<TOrvParserAttribute>> Attributes;
    TOrvXMLTag* Parent = nullptr;

    // Appends a new child (Parent = this) and returns it; this element owns it.
    TOrvXMLTag* AddTag(const std::string& name, const std::string& value = std::string());
    // Appends a new attribute and returns it; this element owns it. Duplicate
    // names are allowed (lookups return the first).
    TOrvParserAttribute* AddAttribute(const std::string& name, const std::string& value);
    // Appends a child whose name and attributes are parsed from the inside of
    // a markup, e.g. `Belt Speed="3" Delay = "10"`. The child is appended
    // before parsing, so on failure it stays with what was parsed so far.
    // Throws OrvException "[TOrvXMLTag.AddTagByString] Expected ..." when an
    // attribute lacks its "=" or one of its quotes. Returns the new child.
    TOrvXMLTag* AddTagByString(const std::string& s);

    // Child / attribute at a 0-based index; nullptr when out of range.
    TOrvXMLTag* GetTag(int index) const;
    TOrvParserAttribute* GetAttribute(int index) const;
    // First child / attribute with exactly this name (case-sensitive); nullptr if none.
    TOrvXMLTag* FindTag(std::string_view name) const;
    TOrvParserAttribute* FindAttribute(std::string_view name) const;
    // Value of the first attribute of that name, or def when there is none.
    std::string AttributeValue(std::string_view name, const std::string& def = std::string()) const;
    // The last child; nullptr when there are no children.
    TOrvXMLTag* LastTag() const;
    int TagCount() const { return static_cast<int>(Tags.size()); }
    int AttributeCount() const { return static_cast<int>(Attributes.size()); }

    // Free all children / all attributes.
    void ClearTags();
    void ClearAttributes();

    // Deep copy of source's name, value, attributes and subtree into this
    // element (its own children and attributes are dropped first). Does
    // nothing when source is nullptr or this element itself. Parent is kept.
    void Assign(const TOrvXMLTag* source);

    // This element and its subtree as tab-indented, CR LF text. Text values
    // shorter than 80 bytes are written inline. Throws OrvException when an
    // attribute value holds a double quote or ">" (it could not be read back).
    std::string ToText(int level = 0) const;
};

// The document: itself the root element (named "root" until a head renames
// it), plus Lines, which holds the file text after loading, the typed lines
// after the first pass and the written text before saving.
class TOrvParser : public TOrvXMLTag {
public:
    // Elements may be nested at most this deep in a loaded document; deeper
    // nesting is refused with an OrvException, so no code walking a loaded
    // tree recursively can run out of stack, and the tab indentation written
    // back stays in proportion to the input. Real files nest about ten deep.
    static constexpr int MaxDepth = 1000;
    // Largest document text a load accepts. The game's own documents are well
    // under a megabyte, and a parsed element costs tens of times its text, so
    // a larger one (a damaged or hostile file) is refused before it can take
    // gigabytes.
    static constexpr size_t MaxDocumentSize = 4u * 1024u * 1024u;

    TOrvParser();
    ~TOrvParser() override;

    std::vector<std::string> Lines;

    // Reads the file (throws OrvException "Cannot open file ..." when it
    // cannot be read, "Cannot read file ... (larger than N bytes)" past
    // MaxDocumentSize) and builds the tree; see LoadFromStream.
    void LoadFromFile(const std::string& fileName);
    // Reads the bytes from the stream's position to its end into Lines (CR,
    // LF and CR LF end a line, a zero byte ends the text), then runs both
    // passes. On failure throws OrvException; the tree keeps what was built.
    // More than MaxDocumentSize bytes are refused before anything is parsed
    // ("[TOrvParser.LoadFromString] Document larger than N bytes!").
    void LoadFromStream(TMemoryStream& stream);
    // Loads from bytes held in memory (same rules as LoadFromStream).
    void LoadFromString(std::string_view text);

    // First pass: replaces Lines (the document text) by the typed lines.
    // Throws OrvException for an unterminated comment or head, and for a
    // markup with nothing inside it.
    void MakeTypifiedLines();
    // Second pass: rebuilds the tree from the typed lines in Lines; may be
    // called again. Throws what AddTagByString throws, and OrvException when
    // elements nest deeper than MaxDepth.
    void BuildTree();

    // Writes the tree into Lines: the head when the root is named "xml", then
    // every top-level element.
    void SaveToLines();
    // SaveToLines, then every line followed by CR LF into the stream at its position.
    void SaveToStream(TMemoryStream& stream);
    // The written document as one string (each line followed by CR LF).
    std::string SaveToString();
    // Writes the document to a file atomically (temporary file, then rename);
    // throws OrvException "Cannot write file ..." on failure.
    void SaveToFile(const std::string& fileName);

private:
    // First pass over the document text, every line break already CR LF.
    void TypifyText(const std::string& text);
};

// 1-based position of sub in s at or after offset; 0 when either is empty,
// offset is out of range or there is no occurrence.
int PosEx(std::string_view sub, std::string_view s, int offset = 1);
// Text between the end of open (searched from offset) and the start of close
// (searched from one position after the start of open); empty when either is missing.
std::string TextBetween(std::string_view s, std::string_view open, std::string_view close, int offset = 1);
// Every CR LF pair becomes one blank, then every tab becomes one blank.
std::string SpacesForBreaks(std::string_view s);
// "&lt;", "&gt;", "&apos;", "&quot;" then "&amp;" become their characters.
std::string DecodeEntities(std::string_view s);
// "&", "<", ">", "'" and the double quote become entities; inverse of DecodeEntities.
std::string EncodeEntities(std::string_view s);
// The trimmed text as a decimal number ("." separator, optional exponent);
// 0 when the text is not a number as a whole.
double ValToFloat(std::string_view s);
// Same rules as ValToFloat, but tells a text that is not a number (false,
// out untouched) from a real zero.
bool TryValToFloat(std::string_view s, double& out);
// Removes bytes 0..32 at both ends.
std::string TrimBlanks(std::string_view s);
