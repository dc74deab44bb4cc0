// TOrvMoving: an animated picture. Its Picture is a list of sequences
// "name:frames:frameTime:pause;" (times in milliseconds), each a strip of
// equally wide frames laid side by side in one picture. The sequences play
// one after the other and the whole list repeats; during a sequence's pause
// its first frame stays. Without a picture it is an invisible area that still
// reacts to the mouse (the skill list's hover areas).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/OrvInterfaceObject.h"

struct TOrvMovingSequence {
    std::string Picture;
    int32_t Frames = 0;
    int32_t FrameTime = 0;
    int32_t Pause = 0;
    // End of the sequence from the start of the list, in milliseconds.
    int64_t EndTime = 0;
    std::vector<TRect> FrameRects;
};

class TOrvMoving : public TOrvInterfaceObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    std::vector<TOrvMovingSequence> Sequences;
    int32_t CurrentSequence = 0;
    int32_t CurrentFrame = 0;

    // Parses the sequence list and sizes the object to the first frame.
    // Throws OrvException "[TOrvMoving.SetPicture] ..." for a number that is
    // not an integer; the object keeps its old sequences then.
    void SetPicture(const std::string& value) override;
    // Picks the sequence and frame for the time (a tick count).
    void Tick(uint32_t now) override;
    void Draw() override;
    std::string GetPictureNames() const override;
    void AlignPicture() override;
    void PicturesChanged() override { SetPicture(Picture); }
};
