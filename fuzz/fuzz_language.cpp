// Applies arbitrary bytes as a language file over an interface of every kind
// of control, gives the interface its own texts back, applies again, and
// drives the result. The replaced values always come back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzUiKit.h"
#include "base/OrvParser.h"

namespace {

const char* kInterface =
    "<OrvInterface>"
    "<o c=\"TOrvDefaults\"><p n=\"DefLine\">TOrvLabel;FontName;F</p></o>"
    "<o c=\"TOrvForm\"><p n=\"Name\">W</p><p n=\"ParentName\">Screen</p><p n=\"Width\">800</p>"
    "<p n=\"Height\">600</p><p n=\"HeadLine\">0;0;800;30;</p></o>"
    "<o c=\"TOrvLabel\"><p n=\"Name\">W_L</p><p n=\"ParentName\">W</p><p n=\"Width\">200</p><p n=\"Height\">40</p>"
    "<p n=\"Caption\">Hello world</p></o>"
    "<o c=\"TOrvTabForm\"><p n=\"Name\">W_T</p><p n=\"ParentName\">W</p><p n=\"Top\">50</p><p n=\"Width\">300</p>"
    "<p n=\"Height\">200</p></o>"
    "<o c=\"TOrvCheckBox\"><p n=\"Name\">W_T_CB</p><p n=\"ParentName\">W_T</p><p n=\"Width\">200</p>"
    "<p n=\"Height\">20</p><p n=\"Caption\">Check</p></o>"
    "<o c=\"TOrvRadioButton\"><p n=\"Name\">W_RB</p><p n=\"ParentName\">W</p><p n=\"Top\">300</p>"
    "<p n=\"Width\">200</p><p n=\"Height\">20</p><p n=\"Caption\">Radio</p></o>"
    "<o c=\"TOrvEdit\"><p n=\"Name\">W_E</p><p n=\"ParentName\">W</p><p n=\"Top\">330</p><p n=\"Width\">200</p>"
    "<p n=\"Height\">20</p><p n=\"FontName\">F</p><p n=\"Focused\">true</p></o>"
    "<o c=\"TOrvGrid\"><p n=\"Name\">W_G</p><p n=\"ParentName\">W</p><p n=\"Left\">300</p><p n=\"Width\">200</p>"
    "<p n=\"Height\">100</p><p n=\"AddColumns\">Width=\"100\" FontName=\"F\";Width=\"100\";</p>"
    "<p n=\"AddCells\">Text=\"a\";Text=\"b\";Text=\"c\";</p><p n=\"LinkedObjectName\">W_S</p></o>"
    "<o c=\"TOrvSlider\"><p n=\"Name\">W_S</p><p n=\"ParentName\">W</p><p n=\"Left\">500</p><p n=\"Width\">20</p>"
    "<p n=\"Height\">100</p><p n=\"Orientation\">trVertical</p></o>"
    "<o c=\"TOrvProgressBar\"><p n=\"Name\">W_PB</p><p n=\"ParentName\">W</p><p n=\"Top\">400</p>"
    "<p n=\"Width\">300</p><p n=\"StepWidth\">7</p><p n=\"BarPicture\">bar.png</p></o>"
    "<o c=\"TOrvMoving\"><p n=\"Name\">W_M</p><p n=\"ParentName\">W</p><p n=\"Picture\">m.png:4:50:100;</p></o>"
    "<o c=\"TOrvRichLabel\"><p n=\"Name\">W_R</p><p n=\"ParentName\">W</p><p n=\"Top\">450</p>"
    "<p n=\"Width\">300</p><p n=\"Height\">100</p><p n=\"Caption\">A {Link Action=HideModal;}link{/Link}</p></o>"
    "<o c=\"TOrvHint\"><p n=\"Name\">W_H</p><p n=\"ParentName\">W</p><p n=\"Width\">150</p><p n=\"Height\">40</p>"
    "<p n=\"FontName\">F</p><p n=\"Caption\">Hint</p></o>"
    "</OrvInterface>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzUi session;
    session.ui.LoadInterfaceFromString(kInterface);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string before = session.ui.GetProp("W_L", "Caption").ToString();
    for (int pass = 0; pass < 2; ++pass) {
        TFuzzUi::Try([&] { session.ui.RestoreModProps(); });
        TFuzzUi::Try([&] { session.ui.ReloadInterfaceFromString(bytes); });
    }
    bool restored = true;
    TFuzzUi::Try([&] {
        session.ui.RestoreModProps();
        restored = session.ui.FindObject("W_L") == nullptr || session.ui.GetProp("W_L", "Caption").ToString() == before;
    });
    // Only a rename of the label can hide its first text from it.
    if (!restored && session.ui.FindObject("W_L") != nullptr && bytes.find("Name") == std::string_view::npos)
        std::abort();
    session.Exercise();
    return 0;
}
