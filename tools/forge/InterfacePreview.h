// How the interface's texts lay out in the built fonts, and pictures of the
// forms as the data describes them ("forge --forms DIR"), for designers and
// translators who want to see a window without starting the game.
#pragma once

#include <string>
#include <vector>

#include "Forge.h"

namespace forge {

// One laid-out line of a caption.
struct TTextLine {
    std::string Text;  // UTF-8
    int Width = 0;
    int Extra = 0;  // pixels added below the line ({BR N/})
    int Align = 0;  // 0 left, 1 centre, 2 right
};

// A label's caption cut into lines the way the game cuts it: characters
// added while they fit, a line ending before its last blank (or before the
// character that did not fit when it has no blank), at least one character
// per line. Line breaks and tabs count as blanks.
std::vector<TTextLine> BreakLabelText(const TBitmapFont& font, const std::string& text, int width);

// A rich label's caption: the markup's line breaks, extra space and
// alignment blocks applied, "{{" shown as a brace, an unclosed "{" shown as
// text, every paragraph broken as a label's caption.
std::vector<TTextLine> BreakRichText(const TBitmapFont& font, const std::string& text, int width);

// Height of the lines' block: n lines of the font's height, LineSpace
// between them, plus their extra space.
int TextBlockHeight(const TBitmapFont& font, const std::vector<TTextLine>& lines, int lineSpace);

// Writes <dir>/<Form>.png for every form, over the title picture (the play
// screen over its first scene), and <dir>/hints.png with every hint in its
// balloon or on its background. Returns the number of pictures written.
// With a language code ("DEU"), the windows show that language's texts;
// an unknown code throws OrvException.
int WriteFormPreviews(const TContentBuild& build, const std::string& dir, const std::string& language = "");

}  // namespace forge
