// TOrvProgressBar: a frame picture filled with copies of BarPicture, one per
// StepWidth pixels, as far as Position has come from Min to Max (the
// loading screens).
#pragma once

#include <cstdint>
#include <string>

#include "ui/OrvInterfaceObject.h"

class TOrvProgressBar : public TOrvInterfaceObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    std::string BarPicture;
    int32_t BarShiftLeft = 0;
    int32_t BarShiftTop = 0;
    int32_t Min = 0;
    int32_t Max = 100;
    int32_t Position = 0;
    int32_t StepWidth = 0;

    void SetPosition(int32_t value);
    // How many bar pictures the present position shows: the nearest integer
    // (halves to even) to the steps that fit times the share of Position
    // between Min and Max, never below 0 or above the steps that fit. 0 when
    // StepWidth is 0 or less or Min equals Max.
    int32_t BarCount() const;

    std::string GetPictureNames() const override;
    void Draw() override;
};
