#include "launcher/ui/model/tip_table.h"

namespace tavo::launcher::ui {

// Plain ASCII and U+2019 only: the embedded fonts are subsets.
const Tip kTips[kTipCount] = {
    {L"CANVAS", L"One canvas", L"for the whole idea.",
     L"Pin sketches, photos and notes side by side, then zoom out to see how they fit together.", 0x38E1FF},
    {L"LAYERS", L"Stack it up,", L"move it around.",
     L"Give every element its own layer. Reorder, hide or blend them at any time without redrawing a thing.",
     0x60A5FA},
    {L"BRUSHES", L"Brushes that follow", L"your hand.",
     L"Pressure, tilt and speed shape every stroke. Tune a brush once and keep it in your own set.", 0xA78BFA},
    {L"TIMELINE", L"Set it", L"in motion.",
     L"Drop keyframes on the timeline to animate any layer, then scrub back and forth to fine-tune the timing.",
     0x7DD3FC},
    {L"COLOR", L"Palettes that", L"stay in sync.",
     L"Keep your colors in a shared palette. Change a swatch and every shape that uses it updates too.",
     0x6DDE92},
    {L"EFFECTS", L"Effects you can", L"always rethink.",
     L"Build looks from connected nodes. Change any step later and the whole chain updates live.", 0xC4A1FF},
    {L"EXPORT", L"Ready to share", L"in one step.",
     L"Export for print, web or video with presets that get the size and format right the first time.", 0x60A5FA},
};

}  // namespace tavo::launcher::ui
