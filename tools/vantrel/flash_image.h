// Image segments into the probed flash banks, with the progress bar: shared by
// `flash write` and by `load` of an image that lies in flash.
#pragma once

#include <vector>

#include "image.h"

namespace vantrel::cli {

class Session;

// True when the segment shares a byte with a probed flash bank.
bool InFlash(Session& session, const Segment& segment);
// Erases, programs and verifies; prints one line per bank region written.
bool ProgramFlashSegments(Session& session, const std::vector<Segment>& segments);

}  // namespace vantrel::cli
