#pragma once

#include "convert/lib/ConsoleStreams.h"
#include "convert/lib/ConvertOptions.h"
#include "convert/lib/ExitStatus.h"

namespace tt {

// Opens the input, runs one conversion pass over it and writes every output that was asked for,
// all through the application core (src/app) that the window's Export and saves use too. The input
// is read in pieces and the outputs are written as the pass produces them, so memory stays a few
// megabytes whatever the input's length; only the settings search (bestSettings) reads the input
// whole.
//
// Output files are created (as temporary files beside their targets) before the search and the
// pass, so a name that cannot be created costs no conversion; each replaces its target only once it
// is complete. Devices, pipes and files in folders that take no new file are written in place
// instead. Both are complete before the first is renamed into place, which leaves only the final
// rename of a second output able to fail after a first one was replaced; that is reported (exit 4)
// naming the output that was written.
ExitStatus runConversion(const ConvertOptions& options, const ConsoleStreams& console);

} // namespace tt
