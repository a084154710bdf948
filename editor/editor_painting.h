// The editor's picture: a dark theme with one accent colour for everything that moves. The top
// bar holds the name and the two lists, the graph the response of the current values with its
// grid and the handle at the cutoff, the row below the four knobs with their names and the texts
// the host shows for their values. Text that does not fit its place is drawn smaller, never cut.
// While the host's bypass is on, the output is the input: the curve shows faintly what the
// filter would do, under a flat line at 0 dB.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "editor_layout.h"
#include "parameter_access.h"
#include "program_bank.h"

namespace qr47 {

// `active` is the parameter being dragged, drawn highlighted; -1 for none.
void paintEditor(cairo_t* cr, const EditorLayout& layout, const float (&values)[kEditorValueCount],
                 float sampleRate, std::int32_t active);

}  // namespace qr47
